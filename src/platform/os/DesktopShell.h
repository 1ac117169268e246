#pragma once
// The desktop services of this machine behind host::Shell: XDG folders, the
// environment, opening documents through xdg-open, GUIDs and shortcut files.
#include "host/Shell.h"

namespace dalvera::platform {

class DesktopShell : public host::Shell {
public:
    // systemRoot: where /etc and /proc are read for SystemInfo ("" is this machine).
    explicit DesktopShell(std::string systemRoot = {}) : systemRoot_(std::move(systemRoot)) {}
    std::string TempFolder() override;
    std::string DocumentsFolder() override;
    std::string Environ(const std::string& name) override;
    void OpenDocument(const std::string& target) override;
    std::string ComponentFolder() override;
    host::ComponentVersion Version() override;
    std::string CreateGuid() override;
    host::Shortcut ReadShortcut(const std::string& path) override;
    std::vector<std::pair<std::string, std::string>> SystemInfo() override;

    // The program that opens documents; found on PATH.
    static constexpr const char* Opener = "xdg-open";

private:
    std::string systemRoot_;
};

}  // namespace dalvera::platform
