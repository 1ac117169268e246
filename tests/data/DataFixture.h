#pragma once
// A session with the add-in open, plus what the data-source tests build:
// copies of the sample database, small databases of their own, shortcut files.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/IDS.h"
#include "entry/SessionFixture.h"
#include "menus/ICB.h"
#include "menus/clsCommandBar.h"
#include "menus/clsMenuBarControl.h"
#include "platform/jet/Jet.h"

namespace dalvera::testing {

class DataTest : public SessionTest {
protected:
    // Starts the add-in of the variant and accepts its start-up hint.
    Session& startAddin(int variant = 12, const std::string& hostVersion = "16.0") {
        SessionOptions o;
        o.variant = variant;
        o.hostVersion = hostVersion;
        Session& s = start(o);
        if (variant % 10 == 1 && hostVersion != "11.0") ui_.expectMsgBox(host::answer::No);
        openAddinAcceptingHint();
        return s;
    }

    // A fresh copy of the sample database in the scratch folder.
    std::string sampleCopy(const std::string& name = "sample.sqlite") {
        std::string from = DALVERA_SAMPLE_DATABASE;
        if (!std::filesystem::exists(from)) throw std::runtime_error("The sample database was not built: " + from);
        std::string to = dir_ + "/" + name;
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
        return to;
    }

    // A new database built from statements of the database dialect.
    std::shared_ptr<jet::Database> makeDatabase(const std::string& name, const std::vector<std::string>& statements,
                                                std::string* path = nullptr) {
        std::string p = dir_ + "/" + name;
        auto db = jet::CreateDatabase(p);
        for (const auto& s : statements) db->Execute(s);
        if (path) *path = p;
        return db;
    }

    // Clicks "Open database" on the toolbar, as a person would.
    void clickOpenDatabase() {
        auto control = goApplication->Toolbar().FindControlByTag(tag::OpenDatabase);
        ASSERT_NE(control, nullptr);
        session_->user().clickControl(control);
    }

    // The hint after a successful open: the optional-notice form; its text is kept.
    void expectHint(std::string* text = nullptr) {
        ui_.expectForm("frmMessage", [text](host::Form& f) {
            if (text) *text = f.control("lblText")->caption;
            click(f, "cmdOK");
        });
    }

    // Chooses the file in the dialog and expects the hint of a successful open.
    void openThroughDialog(const std::string& path, std::string* hint = nullptr) {
        ui_.expectOpenFile(path);
        expectHint(hint);
        clickOpenDatabase();
    }

    static std::vector<std::string> captions(ICB& bar, const char* t) {
        std::vector<std::string> out;
        auto popup = bar.FindControlByTag(t);
        if (!popup) return {"<no popup>"};
        auto controls = popup->Controls();
        for (long i = 1; i <= controls->Count(); ++i) out.push_back(controls->Item(i)->Caption());
        return out;
    }
};

// Writes a shortcut file: the target as the link information's local path,
// the arguments as string data (UTF-16 or ANSI).
inline void writeShortcut(const std::string& file, const std::string& target, const std::string& arguments,
                          bool unicode = true) {
    std::vector<uint8_t> b;
    auto u16 = [&](uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    const uint32_t HasLinkInfo = 0x2, HasArguments = 0x20, IsUnicode = 0x80;
    u32(0x4C);
    const uint8_t clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    b.insert(b.end(), clsid, clsid + 16);
    u32(HasLinkInfo | HasArguments | (unicode ? IsUnicode : 0));
    b.resize(0x4C, 0);  // attributes, times, size, icon, show command, hot key, reserved
    // Link information: header, volume id (empty label), local base path, empty suffix.
    const uint32_t header = 0x1C, volumeSize = 0x11;
    uint32_t baseOffset = header + volumeSize;
    uint32_t suffixOffset = baseOffset + static_cast<uint32_t>(target.size()) + 1;
    uint32_t total = suffixOffset + 1;
    u32(total);
    u32(header);
    u32(0x1);  // volume id and local base path
    u32(header);
    u32(baseOffset);
    u32(0);
    u32(suffixOffset);
    u32(volumeSize);
    u32(3);  // fixed drive
    u32(0x1234);
    u32(0x10);
    b.push_back(0);
    b.insert(b.end(), target.begin(), target.end());
    b.push_back(0);
    b.push_back(0);
    u16(static_cast<uint32_t>(arguments.size()));
    for (char c : arguments) {
        b.push_back(static_cast<uint8_t>(c));
        if (unicode) b.push_back(0);
    }
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace dalvera::testing
