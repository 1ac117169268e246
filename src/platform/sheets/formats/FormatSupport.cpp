#include "platform/sheets/formats/FormatSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "runtime/Error.h"
#include "runtime/NumberFormat.h"

namespace dalvera::platform::formats {

namespace fs = std::filesystem;

namespace {
constexpr const char* kSource = "Workbook.SaveAs";

[[noreturn]] void refuse(const std::string& path, const std::string& reason) {
    raise(err::HostRefusal, "Cannot save the workbook as '" + path + "': " + reason + ".", kSource);
}
}  // namespace

void writeFileAtomically(const std::string& path, std::string_view content) {
    if (path.empty()) raise(err::HostRefusal, "Cannot save the workbook: no file name was given.", kSource);
    fs::path target(path);
    if (target.filename().empty()) refuse(path, "the name has no file part");
    std::error_code ec;
    // Saving through a link replaces the file it points to, not the link.
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec) target = real;
    }
    if (fs::is_directory(target, ec)) refuse(path, "that is a folder");
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // A hidden name beside the target; a long target name would make it too long.
    std::string base = target.filename().string();
    if (base.size() > 200) base = "dalvera-save";
    std::string temp = (folder / ("." + base + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) refuse(path, "cannot create a file in the folder '" + folder.string() + "' (" + std::strerror(errno) + ")");

    // The new file keeps the permissions of the one it replaces.
    struct stat existing {};
    mode_t mode;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    auto fail = [&](const std::string& reason) {
        ::close(fd);
        ::unlink(temp.c_str());
        refuse(path, reason);
    };
    ::fchmod(fd, mode);
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(std::string("writing failed (") + std::strerror(errno) + ")");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) fail(std::string("writing failed (") + std::strerror(errno) + ")");
    if (::close(fd) != 0) {
        ::unlink(temp.c_str());
        refuse(path, std::string("writing failed (") + std::strerror(errno) + ")");
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        refuse(path, std::string("the file cannot be replaced (") + std::strerror(e) + ")");
    }
}

void forEachRow(const SheetModel& sheet, const Rect& used,
                const std::function<void(int32_t, const std::vector<RowCell>&)>& fn) {
    const auto width = static_cast<size_t>(used.cols());
    // forEachCell leaves out blanks that carry their column's whole-column style;
    // columns without storage may still carry row formats, so ask per row there.
    std::vector<int64_t> base(width);
    for (size_t i = 0; i < width; ++i) {
        int32_t c = used.c1 + static_cast<int32_t>(i);
        base[i] = c <= sheet.columnCount() ? static_cast<int64_t>(sheet.columnStyles(c).base()) : -1;
    }
    std::vector<RowCell> cells(width);
    auto reset = [&](int32_t row) {
        for (size_t i = 0; i < width; ++i)
            cells[i] = {CellValue{}, base[i] >= 0 ? static_cast<uint32_t>(base[i])
                                                  : sheet.styleAt(row, used.c1 + static_cast<int32_t>(i))};
    };
    int32_t current = used.r1;
    reset(current);
    sheet.forEachCell([&](int32_t r, int32_t c, const CellValue& v, uint32_t style) {
        while (current < r) {
            fn(current, cells);
            reset(++current);
        }
        if (c >= used.c1 && c <= used.c2) cells[static_cast<size_t>(c - used.c1)] = {v, style};
    }, true);
    for (; current <= used.r2; ++current) {
        fn(current, cells);
        if (current < used.r2) reset(current + 1);
    }
}

std::string displayText(const SheetModel& sheet, const CellValue& value, const CellStyle& style) {
    if (value.empty()) return {};
    return formatValue(sheet.toVariant(value), style.numberFormat, FormatLocale::english());
}

const SheetModel& activeSheet(const WorkbookModel& model) {
    const auto& sheets = model.sheets();
    int i = model.activeSheetIndex();
    if (sheets.empty() || i < 0 || i >= static_cast<int>(sheets.size()))
        raise(err::HostRefusal, "Cannot save the workbook: it has no active sheet.", kSource);
    return *sheets[static_cast<size_t>(i)];
}

std::string hexColor(int32_t hostColor) {
    const auto c = static_cast<uint32_t>(hostColor) & 0xFFFFFFu;
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
    return buf;
}

std::string fileStem(const std::string& path) {
    std::string name = path;
    if (auto slash = name.find_last_of("/\\"); slash != std::string::npos) name = name.substr(slash + 1);
    if (auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name = name.substr(0, dot);
    return name;
}

}  // namespace dalvera::platform::formats
