#include "app/frmSysInfo.h"

#include <cstdio>

#include "app/clsAux.h"
#include "host/Platform.h"
#include "text/modGlobalization.h"

namespace dalvera {

using host::makeControl;

namespace {
constexpr int kRow = 22;
constexpr int kTop = 12;
}  // namespace

std::string FormatMemory(const std::string& bytes) {
    if (bytes.empty() || bytes.find_first_not_of("0123456789") != std::string::npos) return bytes;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(std::stoull(bytes)) / (1024.0 * 1024.0 * 1024.0));
    std::string number = buf;
    if (IsDutch())
        for (char& c : number)
            if (c == '.') c = ',';
    return GetMessage(244, Variant(number));
}

frmSysInfo::frmSysInfo() { width = 460; }

bool frmSysInfo::Prepare() {
    caption = GetCaption("frmSysInfo");
    host::SystemFacts facts;
    try {
        facts = host::systemFacts();
    } catch (const Error&) {
        facts.clear();
    }
    if (facts.empty()) {
        ShowMessage(GetMessage(177), host::mb::Information);
        return false;
    }
    controls.clear();
    int top = kTop;
    int n = 0;
    for (const auto& [key, value] : facts) {
        std::string name = GetCaption("fact" + key);
        if (name.empty()) continue;  // a fact this version cannot name in the person's language
        ++n;
        auto label = makeControl("lblName" + std::to_string(n), host::ControlKind::Label, 12, top, 150, 20);
        label.caption = name;
        controls.push_back(label);
        auto text = makeControl("lblValue" + std::to_string(n), host::ControlKind::Label, 170, top, width - 182, 20);
        text.caption = key == "memory" ? FormatMemory(value) : value;
        controls.push_back(text);
        top += kRow;
    }
    auto ok = makeControl("cmdOK", host::ControlKind::CommandButton, width - 92, top + 12, 80, 24);
    ok.caption = "&OK";
    ok.isDefault = ok.isCancel = true;
    controls.push_back(ok);
    height = top + 48;
    return true;
}

void frmSysInfo::Click(const std::string& controlName) {
    if (controlName == "cmdOK") Hide();
}

}  // namespace dalvera
