#pragma once
// Reads the parts of a written package back, for the checks on their XML.
#include <minizip/unzip.h>

#include <map>
#include <string>

namespace dalvera::platform::xlsx::test {

// All entries of the zip archive at path, by name; empty when it cannot be read.
inline std::map<std::string, std::string> readZipEntries(const std::string& path) {
    std::map<std::string, std::string> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return entries;
    char buffer[1 << 15];
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        if (unzOpenCurrentFile(zip) != UNZ_OK) break;
        std::string content;
        int n;
        while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(n));
        // A CRC mismatch shows up here.
        const bool ok = n == 0 && unzCloseCurrentFile(zip) == UNZ_OK;
        if (!ok) content = "<unreadable>";
        entries[name] = std::move(content);
    }
    unzClose(zip);
    return entries;
}

}  // namespace dalvera::platform::xlsx::test
