#pragma once
// The file system of this machine behind host::FileSystem.
#include "host/Shell.h"

namespace dalvera::platform {

class LocalFileSystem : public host::FileSystem {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::string GetFileName(const std::string& path) override;
    std::string GetExtensionName(const std::string& path) override;
    std::string GetBaseName(const std::string& path) override;
    std::string GetParentFolderName(const std::string& path) override;
    std::string BuildPath(const std::string& path, const std::string& name) override;
    void DeleteFile(const std::string& path) override;
};

}  // namespace dalvera::platform
