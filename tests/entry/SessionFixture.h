#pragma once
// A session in a scratch folder of its own: the registry file and the temporary
// folder live there, so every test starts as a fresh user.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "addin/Session.h"
#include "app/clsApplication.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "support/ScriptedUI.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dalvera-session-XXXXXX";
        dir_ = mkdtemp(tmpl);
        temp_ = dir_ + "/temp";
        std::filesystem::create_directories(temp_);
        oldTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        setenv("TMPDIR", temp_.c_str(), 1);
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        SetCountryCode(0);
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        session_.reset();
        if (oldTmp_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        SetCountryCode(0);
        std::filesystem::remove_all(dir_);
    }

    Session& start(SessionOptions options = {}) {
        options.registryFile = dir_ + "/registry.reg";
        if (!options.countryCode) options.countryCode = 1;
        session_ = std::make_unique<Session>(ui_, options);
        return *session_;
    }

    // Opens the add-in and accepts the first-run hint as a person who reads it.
    void openAddinAcceptingHint() {
        ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
        session_->openAddin();
    }

    // An opener that writes what it was given to a file, as the desktop's would open it.
    std::string installOpener() {
        std::string bin = dir_ + "/bin";
        std::filesystem::create_directories(bin);
        std::string log = dir_ + "/opened.txt";
        std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << log << ".tmp' && mv '" << log
                                         << ".tmp' '" << log << "'\n";
        std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        setenv("PATH", (bin + ":" + oldPath_).c_str(), 1);
        return log;
    }
    // A system without any opener.
    void removeOpener() { setenv("PATH", (dir_ + "/nothing").c_str(), 1); }
    static std::string waitFor(const std::string& file) {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(file);
            if (in) return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }
    // True while the workbook is in the host's list of open workbooks.
    bool isOpen(const host::WorkbookPtr& workbook) {
        auto& books = session_->app().Workbooks();
        for (long i = 1; i <= books.Count(); ++i)
            if (books.Item(i) == workbook) return true;
        return false;
    }

    std::string settingsKey() const {
        return "SOFTWARE\\Dalvera" + std::to_string(session_->options().variant);
    }
    // A value straight from the registry, bypassing the engine.
    bool rawValue(const std::string& name, uint32_t& kind, std::vector<uint8_t>& data) {
        return host::registry().QueryValue(host::hkey::CurrentUser, settingsKey(), name, kind, data) == 0;
    }
    std::string rawText(const std::string& name) {
        uint32_t kind = 0;
        std::vector<uint8_t> data;
        if (!rawValue(name, kind, data)) return "<missing>";
        std::string s(data.begin(), data.end());
        while (!s.empty() && s.back() == '\0') s.pop_back();
        return s;
    }

    ScriptedUI ui_;
    std::unique_ptr<Session> session_;
    std::string dir_, temp_, oldTmp_, oldPath_;
};

}  // namespace dalvera::testing
