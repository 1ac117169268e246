#pragma once
// The desktop services of this machine behind host::Shell: XDG folders, the
// environment, opening documents through xdg-open, GUIDs and shortcut files.
#include "host/Shell.h"

namespace dalvera::platform {

class DesktopShell : public host::Shell {
public:
    std::string TempFolder() override;
    std::string DocumentsFolder() override;
    std::string Environ(const std::string& name) override;
    void OpenDocument(const std::string& target) override;
    std::string ComponentFolder() override;
    host::ComponentVersion Version() override;
    std::string CreateGuid() override;
    host::Shortcut ReadShortcut(const std::string& path) override;

    // The program that opens documents; found on PATH.
    static constexpr const char* Opener = "xdg-open";
};

}  // namespace dalvera::platform
