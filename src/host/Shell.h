#pragma once
// Operating-system services the engine uses: file names and existence, deletion,
// the well-known folders, the environment, opening documents and web addresses,
// the component's own folder and version, new GUIDs and shortcut files.
#include <string>
#include <utility>
#include <vector>

namespace dalvera::host {

// File names and files. The name helpers accept "/" and "\" as separators, because
// paths read from shortcut files and settings may come from the other platform.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Last element of the path ("" for a root).
    virtual std::string GetFileName(const std::string& path) = 0;
    // Text after the last dot of the last element, without the dot; "" when none.
    virtual std::string GetExtensionName(const std::string& path) = 0;
    // Last element without its extension.
    virtual std::string GetBaseName(const std::string& path) = 0;
    // Everything before the last element, without a trailing separator except a root.
    virtual std::string GetParentFolderName(const std::string& path) = 0;
    // path + "/" + name, without doubling a separator.
    virtual std::string BuildPath(const std::string& path, const std::string& name) = 0;
    // Error 53 when the file does not exist, 70 when it cannot be deleted.
    virtual void DeleteFile(const std::string& path) = 0;
};

// What a shortcut file points at.
struct Shortcut {
    std::string TargetPath;
    std::string Arguments;
    std::string WorkingDirectory;
    std::string Description;
    std::string RelativePath;
    std::string IconLocation;
};

struct ComponentVersion {
    int Major = 0;
    int Minor = 0;
    int Patch = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // The folder for temporary files, without a trailing separator.
    virtual std::string TempFolder() = 0;
    // The user's documents folder.
    virtual std::string DocumentsFolder() = 0;
    // "" when the variable is not set.
    virtual std::string Environ(const std::string& name) = 0;
    // Hands a web address or a file to the desktop's opener and returns at once.
    // A local file that does not exist raises 53; a missing opener raises 668.
    virtual void OpenDocument(const std::string& target) = 0;
    // Folder of the running program.
    virtual std::string ComponentFolder() = 0;
    virtual ComponentVersion Version() = 0;
    // "{XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX}", upper-case, random (version 4).
    virtual std::string CreateGuid() = 0;
    // This machine as (key, value) pairs: "os", "kernel", "cpu", "cpus", "memory"
    // (bytes). A fact that cannot be read is left out; error 75 when none can.
    virtual std::vector<std::pair<std::string, std::string>> SystemInfo() = 0;
    // Reads a shortcut (.lnk) file; 53 when it is missing, 5 when it is no valid shortcut.
    virtual Shortcut ReadShortcut(const std::string& path) = 0;
};

}  // namespace dalvera::host
