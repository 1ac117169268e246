#include "app/clsAux.h"

#include "app/clsApplication.h"
#include "app/frmMessage.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "runtime/Like.h"
#include "runtime/Text.h"
#include "settings/clsRegistry.h"
#include "sheet/clsForm.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
const DisplaySetting kDisplaySettings[] = {
    {setting::ColorTitleBack, 4, "8404992"},          // &H804000
    {setting::ColorTitleFront, 4, "16777215"},        // white
    {setting::ColorMatrixBack, 4, "10092543"},        // &H99FFFF
    {setting::ColorMatrixFront, 4, "0"},
    {setting::ColorMatrixBackReadOnly, 4, "16777215"},
    {setting::ColorMatrixFrontReadOnly, 4, "8421504"},  // grey 128
    {setting::ColorMatrixBackEdited, 4, "65535"},     // yellow
    {setting::ColorMatrixFrontEdited, 4, "255"},      // red
    {setting::ColorMatrixLines, 4, "8404992"},
    {setting::ColorFormBack, 4, "16777215"},
    {setting::DisplayHeadings, 1, "False"},
    {setting::DisplayFilter, 1, "True"},
    {setting::DisplayZeros, 1, "True"},
    {setting::DisplayFieldDescription, 1, "False"},
    {setting::FreezeTopRow, 1, "True"},
    {setting::WarningNrOfCells, 4, "100000"},
    {setting::AdjustWidths, 1, "False"},
    {setting::ApplyColumnProperties, 1, "False"},
    {setting::FixedColumnWidth, 4, "20"},
};

const char* const kMessageSwitches[] = {
    setting::ShowSelectDb,       setting::ShowSelectTable,   setting::ShowUpdatedRecords,
    setting::ShowDeletedRecords, setting::ShowQueryExecuted, setting::ShowNoPrimaryKey,
};

const DisplaySetting* findDisplaySetting(const std::string& name) {
    for (const auto& s : kDisplaySettings)
        if (equalsNoCase(s.name, name)) return &s;
    return nullptr;
}

clsRegistry& sharedRegistry() { return goApplication->Registry(); }

// Where a missing component's instructions are: pages of our own manual.
struct Component {
    const char* progId;
    const char* name;
    const char* page;
};
}  // namespace

const DisplaySetting* DisplaySettings(size_t& count) {
    count = std::size(kDisplaySettings);
    return kDisplaySettings;
}

const char* const* MessageSwitches(size_t& count) {
    count = std::size(kMessageSwitches);
    return kMessageSwitches;
}

int ShowMessage(const std::string& text, int style, const std::string& title) {
    return host::ui().MsgBox(text, style | host::mb::SetForeground, title.empty() ? GetProductName() : title);
}

std::string clsAux::SettingsKeyPath() {
    return "SOFTWARE\\" + GetTitle() + std::to_string(goApplication->VariantCode());
}

void clsAux::WriteRegistryValue(const std::string& keyPath, int32_t kind, const std::string& valueName,
                                const Variant& value) {
    clsRegistry& reg = sharedRegistry();
    reg.RootKey(host::hkey::CurrentUser);
    reg.KeyPath(keyPath);
    if (!reg.KeyExists()) reg.CreateKey();
    reg.ValueKind(kind);
    reg.ValueName(valueName);
    reg.Value(value);
}

Variant clsAux::ReadRegistryValue(const std::string& keyPath, const std::string& valueName) {
    clsRegistry& reg = sharedRegistry();
    reg.RootKey(host::hkey::CurrentUser);
    reg.KeyPath(keyPath);
    reg.ValueName(valueName);
    return reg.Value();
}

void clsAux::WriteSetting(int32_t kind, const std::string& valueName, const Variant& value) {
    WriteRegistryValue(SettingsKeyPath(), kind, valueName, value);
}

Variant clsAux::ReadSetting(const std::string& valueName) { return ReadRegistryValue(SettingsKeyPath(), valueName); }

bool clsAux::MachineKeyExists(const std::string& keyPath) {
    clsRegistry& reg = sharedRegistry();
    reg.RootKey(host::hkey::LocalMachine);
    reg.KeyPath(keyPath);
    return reg.KeyExists();
}

Variant clsAux::ReadSettingOrDefault(const std::string& valueName) {
    std::string text = ReadSetting(valueName).text();
    if (text.empty()) {
        const DisplaySetting* def = findDisplaySetting(valueName);
        if (!def) raise(err::Critical, "Setting '" + valueName + "' has no default!");
        text = def->value;
        Variant v(text);
        if (v.isNumeric())
            WriteSetting(def->kind, def->name, Variant::longValue(v.toLong()));
        else
            WriteSetting(def->kind, def->name, Variant(text));
    }
    Variant v(text);
    if (v.isNumeric()) return Variant::longValue(v.toLong());
    return v;
}

bool clsAux::IsSettingOn(const std::string& valueName) {
    Variant v = ReadSettingOrDefault(valueName);
    return v.isString() && v.stringRef() == "True";
}

long clsAux::SettingColor(const std::string& valueName) {
    Variant v = ReadSettingOrDefault(valueName);
    return v.isNumeric() ? static_cast<long>(v.toLong()) : 0;
}

bool clsAux::IsMessageEnabled(const std::string& valueName) {
    Variant v = ReadSetting(valueName);
    if (v.isEmpty()) {
        WriteSetting(1, valueName, Variant("True"));
        return true;
    }
    // Only a clear "False" silences a notice; anything unreadable keeps it on.
    std::string t = lowerAscii(trimBlanks(v.text()));
    if (t == "false") return false;
    if (t == "true") return true;
    if (v.isNumeric() && !v.isString()) return v.toDouble() != 0;
    return true;
}

void clsAux::ShowOptionalMessage(const std::string& valueName, const std::string& text) {
    if (!IsMessageEnabled(valueName)) return;
    HostApp().SetScreenUpdating(true);
    frmMessage form;
    form.SetMessageSetting(valueName);
    form.SetText(text);
    form.Load();
    form.markShown();
    host::ui().ShowForm(form);
}

void clsAux::FormatTitleRow(const host::RangePtr& range) {
    host::RangePtr title = HostApp().Intersect(range->Rows(1), range);
    if (!title) return;
    title->SetLocked(true);
    title->Font()->SetBold(true);
    title->Interior()->SetColor(SettingColor(setting::ColorTitleBack));
    title->Font()->SetColor(SettingColor(setting::ColorTitleFront));
}

void clsAux::DrawGridLines(const host::RangePtr& range) {
    long c = SettingColor(setting::ColorMatrixLines);
    range->BorderAround(host::xl::Continuous, host::xl::Thin, host::xl::ColorIndexAutomatic, Variant::longValue(c));
    if (range->ColumnsCount() > 1) {
        auto b = range->Borders()->Item(host::xl::InsideVertical);
        b->SetLineStyle(host::xl::Continuous);
        b->SetColor(c);
    }
    if (range->RowsCount() > 1) {
        auto b = range->Borders()->Item(host::xl::InsideHorizontal);
        b->SetLineStyle(host::xl::Continuous);
        b->SetColor(c);
    }
}

void clsAux::SetColumnWidths(const host::RangePtr& range) {
    clsForm& form = goApplication->Form();
    host::WorksheetPtr tableSheet = form.Sheet();
    if (tableSheet && range->Worksheet() == tableSheet && IsSettingOn(setting::ApplyColumnProperties)) {
        long column = 0;
        for (const auto& field : form.ColumnLayout()) {
            ++column;
            host::RangePtr whole = tableSheet->Columns(column);
            whole->SetHidden(field.hidden);
            if (!field.hidden && field.width != -1) whole->SetColumnWidth(static_cast<double>(field.width) / 110.0);
        }
        return;
    }
    if (IsSettingOn(setting::AdjustWidths)) {
        range->EntireColumn()->AutoFit();
        return;
    }
    range->SetColumnWidth(ReadSettingOrDefault(setting::FixedColumnWidth).toDouble());
}

void clsAux::FormatDataRange(const host::RangePtr& range) {
    FormatTitleRow(range);
    DrawGridLines(range);
    SetColumnWidths(range);
}

void clsAux::ApplyFreezeTopRow(const host::WorksheetPtr& sheet) {
    sheet->Activate();
    auto window = HostApp().ActiveWindow();
    window->SetFreezePanes(false);
    if (IsSettingOn(setting::FreezeTopRow)) {
        sheet->Rows(2)->Select();
        window->SetFreezePanes(true);
        sheet->Cells(1, 1)->Select();
    }
}

bool clsAux::ConfirmLargeResult(long fieldCount, long recordCount) {
    long long cells = static_cast<long long>(fieldCount) * recordCount;
    long long limit = ReadSettingOrDefault(setting::WarningNrOfCells).toLongLong();
    if (limit < cells) {
        int answer = ShowMessage(GetMessage(32), host::mb::YesNo | host::mb::Question);
        return answer == host::answer::No;
    }
    return false;
}

void clsAux::ApplyDefaultSettings() {
    for (const auto& s : kDisplaySettings) {
        Variant v(s.value);
        if (s.kind == 4)
            WriteSetting(4, s.name, Variant::longValue(v.toLong()));
        else
            WriteSetting(s.kind, s.name, v);
    }
}

void clsAux::RestoreUserMessages() {
    for (const char* name : kMessageSwitches) WriteSetting(1, name, Variant("True"));
}

std::string clsAux::GetFileName(const std::string& path) { return host::fileSystem().GetFileName(path); }

std::string clsAux::GetExtension(const std::string& path) {
    return lowerAscii(host::fileSystem().GetExtensionName(path));
}

bool clsAux::CheckEdition() {
    // The edition decides the settings key and what is probed: a workbook that
    // names none is refused as what it is, not as a missing component.
    bool known = false;
    try {
        int code = goApplication->VariantCode();
        known = code == 11 || code == 12 || code == 21 || code == 22;
    } catch (const Error&) {
        known = false;
    }
    if (known) return true;
    // Asked before the host is attached; the host's country still picks the language.
    auto& running = host::platform().runningApplication;
    if (auto app = running ? running() : nullptr) {
        try {
            SetCountryCode(app->International(host::xl::CountryCode).toLong());
        } catch (const Error&) {
        }
    }
    std::string revision;
    try {
        revision = goWorkbook ? goWorkbook->BuiltinDocumentProperties("Revision Number").text() : std::string();
    } catch (const Error&) {
        revision.clear();
    }
    ShowMessage(GetMessage(242, Variant(revision.empty() ? GetMessage(243) : revision)), host::mb::Critical);
    return false;
}

bool clsAux::CheckComponents() {
    static const Component kRowEngine{"ADODB.Connection", "Microsoft Data Access Components (MDAC) 2.8",
                                      "components-rows.html"};
    static const Component kEngine36{"DAO.DBEngine.36", "Microsoft Jet 4.0 database-engine", "components-engine.html"};
    static const Component kEngine120Of2007{"DAO.DBEngine.120",
                                            "2007 Office System Driver: Data Connectivity Components",
                                            "components-engine.html"};
    static const Component kEngine120{"DAO.DBEngine.120", "Microsoft Access Database Engine 2010 Redistributable",
                                      "components-engine.html"};
    const Component* probing = &kRowEngine;
    auto& create = host::platform().createObject;
    try {
        if (!create) raise(429, "ActiveX component can't create object");
        create(probing->progId);
        int code = goApplication->VariantCode();
        if (code == 11) {
            probing = &kEngine36;
            create(probing->progId);
        } else if (code == 12) {
            probing = Variant(HostApp().Version()).toDouble() == 12 ? &kEngine120Of2007 : &kEngine120;
            create(probing->progId);
        }
        return true;
    } catch (const Error&) {
        ShowMessage(GetMessage(29, Variant(probing->name)), host::mb::Information);
        try {
            goApplication->OpenUrl(host::fileSystem().BuildPath(
                host::fileSystem().BuildPath(host::shell().ComponentFolder(), "help"), probing->page));
        } catch (const Error&) {
            // The page is a courtesy; the message already said what is missing.
        }
        return false;
    }
}

bool clsAux::CheckOtherVersions() {
    try {
        int16_t count = 0;
        bool exempt = false;
        clsRegistry& reg = sharedRegistry();
        reg.RootKey(host::hkey::CurrentUser);
        reg.KeyPath("Software\\Microsoft\\Office\\" + HostApp().Version() + "\\Excel\\Options");
        std::vector<std::string> names;
        int16_t n = 0;
        if (!reg.ListValueNames(names, n)) return true;
        for (const auto& name : names) {
            if (!Like(name, "OPEN*")) continue;
            reg.ValueName(name);
            std::string text = reg.Value().text();
            if (Like(text, "*" + GetTitle() + "*")) ++count;
            if (name == "OPEN1") {
                std::string cleaned = lowerAscii(replaceAll(text, "\"", ""));
                if (goWorkbook && cleaned == lowerAscii(goWorkbook->FullName())) exempt = true;
            }
        }
        if (count > 1 && !exempt) {
            ShowMessage(GetMessage(30), host::mb::Information);
            return false;
        }
        return true;
    } catch (const Error& e) {
        CurrentErrorScope current(e);
        ShowMessage(GetMessage(2), host::mb::Critical);
        return false;
    }
}

}  // namespace dalvera
