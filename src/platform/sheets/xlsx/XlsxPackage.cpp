#include "platform/sheets/xlsx/XlsxPackage.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <xlsxwriter/utility.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform::xlsx {

namespace {

constexpr const char* kSource = "xlsx";

struct Attribute {
    std::string_view name;
    size_t valueBegin;  // offsets into the document
    size_t valueEnd;
};

struct Tag {
    size_t begin = std::string::npos;  // at '<'
    size_t close = 0;                  // at the '/' of "/>" or at the final '>'
    std::vector<Attribute> attributes;
};

// Reads the start tag at xml[begin] ('<'). Attribute values may hold '>' and
// '/' unescaped, so the scan follows the quotes.
bool readTag(std::string_view xml, size_t begin, Tag& tag) {
    tag = Tag{};
    tag.begin = begin;
    size_t i = begin + 1;
    while (i < xml.size() && xml[i] != ' ' && xml[i] != '\t' && xml[i] != '\r' && xml[i] != '\n' &&
           xml[i] != '/' && xml[i] != '>')
        ++i;
    for (;;) {
        while (i < xml.size() && (xml[i] == ' ' || xml[i] == '\t' || xml[i] == '\r' || xml[i] == '\n')) ++i;
        if (i >= xml.size()) return false;
        if (xml[i] == '>' || xml[i] == '/') {
            tag.close = i;
            return true;
        }
        const size_t nameBegin = i;
        while (i < xml.size() && xml[i] != '=' && xml[i] != ' ' && xml[i] != '>') ++i;
        const std::string_view name = xml.substr(nameBegin, i - nameBegin);
        while (i < xml.size() && xml[i] == ' ') ++i;
        if (i >= xml.size() || xml[i] != '=') return false;
        ++i;
        while (i < xml.size() && xml[i] == ' ') ++i;
        if (i >= xml.size() || (xml[i] != '"' && xml[i] != '\'')) return false;
        const char quote = xml[i++];
        const size_t valueBegin = i;
        const size_t valueEnd = xml.find(quote, i);
        if (valueEnd == std::string_view::npos) return false;
        tag.attributes.push_back({name, valueBegin, valueEnd});
        i = valueEnd + 1;
    }
}

const Attribute* findAttribute(const Tag& tag, std::string_view name) {
    for (const auto& a : tag.attributes)
        if (a.name == name) return &a;
    return nullptr;
}

// Sets an attribute of the start tag at tagBegin, replacing its value when present.
void setAttribute(std::string& xml, size_t tagBegin, std::string_view name, std::string_view value) {
    Tag tag;
    if (!readTag(xml, tagBegin, tag)) raise(err::HostRefusal, "The workbook package holds malformed XML.", kSource);
    const std::string escaped = xmlEscape(value);
    if (const Attribute* a = findAttribute(tag, name)) {
        xml.replace(a->valueBegin, a->valueEnd - a->valueBegin, escaped);
        return;
    }
    std::string text = " ";
    text.append(name).append("=\"").append(escaped).append("\"");
    xml.insert(tag.close, text);
}

// Position of the start tag <name ...> (not of a longer name that begins alike).
size_t findStartTag(std::string_view xml, std::string_view name, size_t from = 0) {
    const std::string open = "<" + std::string(name);
    for (size_t p = xml.find(open, from); p != std::string_view::npos; p = xml.find(open, p + 1)) {
        const size_t after = p + open.size();
        if (after < xml.size()) {
            const char c = xml[after];
            if (c == ' ' || c == '>' || c == '/' || c == '\t' || c == '\r' || c == '\n') return p;
        }
    }
    return std::string_view::npos;
}

[[noreturn]] void zipFailure(const std::string& what, const std::string& file) {
    raise(err::HostRefusal, "Cannot finish the workbook file '" + file + "': " + what + ".", kSource);
}

struct UnzipCloser {
    void operator()(void* f) const { unzClose(f); }
};
struct ZipCloser {
    void operator()(void* f) const { zipClose(f, nullptr); }
};

}  // namespace

std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string xmlUnescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const size_t semi = text.find(';', i);
        if (semi == std::string_view::npos) {
            out += text.substr(i);
            break;
        }
        const std::string_view entity = text.substr(i + 1, semi - i - 1);
        unsigned long code = 0;
        bool known = true;
        if (entity == "amp") code = '&';
        else if (entity == "lt") code = '<';
        else if (entity == "gt") code = '>';
        else if (entity == "quot") code = '"';
        else if (entity == "apos") code = '\'';
        else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string digits(entity.substr(hex ? 2 : 1));
            char* end = nullptr;
            code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            known = !digits.empty() && end && *end == '\0' && code <= 0x10FFFF;
        } else {
            known = false;
        }
        if (!known) {
            out += text.substr(i, semi - i + 1);
        } else {
            appendUtf8(out, static_cast<uint32_t>(code));
        }
        i = semi;
    }
    return out;
}

bool markSheetVeryHidden(std::string& workbookXml, std::string_view sheetName) {
    const size_t sheets = findStartTag(workbookXml, "sheets");
    if (sheets == std::string::npos) return false;
    for (size_t p = findStartTag(workbookXml, "sheet", sheets); p != std::string::npos;
         p = findStartTag(workbookXml, "sheet", p + 1)) {
        Tag tag;
        if (!readTag(workbookXml, p, tag)) return false;
        const Attribute* name = findAttribute(tag, "name");
        if (!name) continue;
        const std::string_view raw = std::string_view(workbookXml).substr(name->valueBegin, name->valueEnd - name->valueBegin);
        if (xmlUnescape(raw) == sheetName) {
            setAttribute(workbookXml, p, "state", "veryHidden");
            return true;
        }
    }
    return false;
}

void addStructureProtection(std::string& workbookXml, std::string_view password) {
    std::string element = "<workbookProtection";
    if (!password.empty()) {
        char hash[8];
        std::snprintf(hash, sizeof hash, "%04X", lxw_hash_password(std::string(password).c_str()));
        element += " workbookPassword=\"";
        element += hash;
        element += "\"";
    }
    element += " lockStructure=\"1\"/>";
    // Its place is after workbookPr, before the book views and the sheets.
    size_t at = findStartTag(workbookXml, "bookViews");
    if (at == std::string::npos) at = findStartTag(workbookXml, "sheets");
    if (at == std::string::npos)
        raise(err::HostRefusal, "The workbook part has no sheet list to protect.", kSource);
    workbookXml.insert(at, element);
}

bool patchSheetView(std::string& sheetXml, bool hideHeadings, std::string_view topLeftCell) {
    const size_t view = findStartTag(sheetXml, "sheetView");
    if (view == std::string::npos) return false;
    if (hideHeadings) setAttribute(sheetXml, view, "showRowColHeaders", "0");
    if (!topLeftCell.empty()) setAttribute(sheetXml, view, "topLeftCell", topLeftCell);
    return true;
}

bool setValidationCount(std::string& sheetXml, size_t count) {
    const size_t at = findStartTag(sheetXml, "dataValidations");
    if (at == std::string::npos) return false;
    setAttribute(sheetXml, at, "count", std::to_string(count));
    return true;
}

std::string cellName(long row, long col) {
    std::string letters;
    for (long c = col; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

void rewriteZip(const std::string& source, const std::string& target,
                const std::map<std::string, EntryTransform>& transforms) {
    std::unique_ptr<void, UnzipCloser> in(unzOpen64(source.c_str()));
    if (!in) zipFailure("the written package cannot be read back", target);
    std::unique_ptr<void, ZipCloser> out(zipOpen64(target.c_str(), APPEND_STATUS_CREATE));
    if (!out) zipFailure("the file cannot be created", target);

    std::set<std::string> done;
    std::vector<char> buffer(1 << 16);
    int rc = unzGoToFirstFile(in.get());
    while (rc == UNZ_OK) {
        unz_file_info64 info{};
        char name[512];
        if (unzGetCurrentFileInfo64(in.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            zipFailure("an entry of the package cannot be read", target);
        zip_fileinfo zi{};
        zi.dosDate = info.dosDate;
        zi.internal_fa = info.internal_fa;
        zi.external_fa = info.external_fa;
        const auto transform = transforms.find(name);
        if (transform != transforms.end()) {
            std::string content;
            content.reserve(static_cast<size_t>(info.uncompressed_size));
            if (unzOpenCurrentFile(in.get()) != UNZ_OK) zipFailure(std::string("cannot read ") + name, target);
            int n;
            while ((n = unzReadCurrentFile(in.get(), buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
                content.append(buffer.data(), static_cast<size_t>(n));
            if (unzCloseCurrentFile(in.get()) != UNZ_OK || n < 0)
                zipFailure(std::string("cannot read ") + name, target);
            transform->second(content);
            const int zip64 = content.size() >= 0xFFFFFFFFull ? 1 : 0;
            if (zipOpenNewFileInZip64(out.get(), name, &zi, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_DEFAULT_COMPRESSION, zip64) != ZIP_OK)
                zipFailure(std::string("cannot write ") + name, target);
            for (size_t off = 0; off < content.size();) {
                const unsigned chunk = static_cast<unsigned>(std::min<size_t>(content.size() - off, 1u << 30));
                if (zipWriteInFileInZip(out.get(), content.data() + off, chunk) != ZIP_OK)
                    zipFailure(std::string("cannot write ") + name, target);
                off += chunk;
            }
            if (zipCloseFileInZip(out.get()) != ZIP_OK) zipFailure(std::string("cannot write ") + name, target);
            done.insert(name);
        } else {
            // Copied still compressed: no inflating and deflating of the big sheets.
            int method = 0, level = 0;
            if (unzOpenCurrentFile2(in.get(), &method, &level, 1) != UNZ_OK)
                zipFailure(std::string("cannot read ") + name, target);
            const int zip64 = info.uncompressed_size >= 0xFFFFFFFFull ? 1 : 0;
            if (zipOpenNewFileInZip2_64(out.get(), name, &zi, nullptr, 0, nullptr, 0, nullptr, method, level, 1,
                                        zip64) != ZIP_OK)
                zipFailure(std::string("cannot write ") + name, target);
            int n;
            while ((n = unzReadCurrentFile(in.get(), buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
                if (zipWriteInFileInZip(out.get(), buffer.data(), static_cast<unsigned>(n)) != ZIP_OK)
                    zipFailure(std::string("cannot write ") + name, target);
            if (n < 0) zipFailure(std::string("cannot read ") + name, target);
            unzCloseCurrentFile(in.get());
            if (zipCloseFileInZipRaw64(out.get(), info.uncompressed_size, info.crc) != ZIP_OK)
                zipFailure(std::string("cannot write ") + name, target);
        }
        rc = unzGoToNextFile(in.get());
    }
    if (rc != UNZ_END_OF_LIST_OF_FILE) zipFailure("the written package is damaged", target);
    for (const auto& [name, _] : transforms)
        if (!done.count(name)) zipFailure("the package has no part " + name, target);
    if (zipClose(out.release(), nullptr) != ZIP_OK) zipFailure("the file cannot be completed", target);
}

}  // namespace dalvera::platform::xlsx
