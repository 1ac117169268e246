#include "settings/frmSettings.h"

#include <limits>
#include <optional>

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "host/Platform.h"
#include "runtime/Error.h"
#include "runtime/NumberFormat.h"
#include "runtime/Text.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
using host::ControlKind;
using host::makeControl;

struct ColourRow {
    const char* label;
    const char* setting;
};
// The rows of the Colors tab, in their fixed order.
constexpr ColourRow kColourRows[frmSettings::ColourCount] = {
    {"lblTitleBack", setting::ColorTitleBack},
    {"lblTitleFront", setting::ColorTitleFront},
    {"lblMatrixBack", setting::ColorMatrixBack},
    {"lblMatrixFront", setting::ColorMatrixFront},
    {"lblMatrixEdges", setting::ColorMatrixLines},
    {"lblMatrixBackReadOnly", setting::ColorMatrixBackReadOnly},
    {"lblMatrixFrontReadOnly", setting::ColorMatrixFrontReadOnly},
    {"lblMatrixBackEdited", setting::ColorMatrixBackEdited},
    {"lblMatrixFrontEdited", setting::ColorMatrixFrontEdited},
    {"lblFormBack", setting::ColorFormBack},
};
constexpr int kBack = 2, kBackReadOnly = 5, kBackEdited = 7, kFormBack = 9;

struct CheckSetting {
    const char* control;
    const char* setting;
};
constexpr CheckSetting kChecks[] = {
    {"chkShowHeadings", setting::DisplayHeadings},
    {"chkShowFilter", setting::DisplayFilter},
    {"chkShowZeros", setting::DisplayZeros},
    {"chkShowFieldDescription", setting::DisplayFieldDescription},
    {"chkFreezeTopRow", setting::FreezeTopRow},
    {"chkAutoAdjustColumnWidths", setting::AdjustWidths},
    {"chkApplyColumnPropsAccess", setting::ApplyColumnProperties},
};

struct NumberBox {
    const char* control;
    const char* setting;
    long low, high;
    bool grouped;  // the bounds shown with thousands separators
};
constexpr NumberBox kNumbers[] = {
    {"txtCellsWarning", setting::WarningNrOfCells, 10000, 500000, true},
    {"txtFixedColumnWidth", setting::FixedColumnWidth, 2, 100, false},
};

const NumberBox* numberBox(const std::string& name) {
    for (const auto& n : kNumbers)
        if (name == n.control) return &n;
    return nullptr;
}

constexpr long kNoColour = -4142;
constexpr long kButtonFace = 13160660;  // red 212, green 208, blue 200
constexpr int kPaletteEntry = 32;

void add(host::Form& form, host::FormControl c, const std::string& container = {}) {
    c.container = container;
    form.controls.push_back(std::move(c));
}

std::string frameOf(long tab) { return "fraTab" + std::to_string(tab); }
}  // namespace

frmSettings::frmSettings() {
    width = 430;
    height = 372;
    auto strip = makeControl("TabStrip1", ControlKind::TabStrip, 8, 8, 414, 22);
    strip.tabs = {"", "", ""};
    strip.value = Variant(0L);
    add(*this, strip);
    for (long t = 0; t < 3; ++t) add(*this, makeControl(frameOf(t), ControlKind::Frame, 8, 32, 414, 290));

    for (int i = 0; i < ColourCount; ++i) {
        const int top = 12 + i * 27;
        add(*this, makeControl(kColourRows[i].label, ControlKind::Label, 10, top + 3, 250, 16), frameOf(0));
        auto sample = makeControl("lblColor" + std::to_string(i), ControlKind::Label, 270, top, 70, 20);
        add(*this, sample, frameOf(0));
        auto change = makeControl("cmdChangeColor" + std::to_string(i), ControlKind::CommandButton, 350, top, 40, 20);
        change.caption = "...";
        add(*this, change, frameOf(0));
    }
    int top = 14;
    for (const char* name : {"chkShowHeadings", "chkShowFilter", "chkShowZeros", "chkShowFieldDescription",
                             "chkFreezeTopRow"}) {
        add(*this, makeControl(name, ControlKind::CheckBox, 12, top, 380, 20), frameOf(1));
        top += 28;
    }
    add(*this, makeControl("lblCellsWarning", ControlKind::Label, 12, 14, 300, 30), frameOf(2));
    add(*this, makeControl("txtCellsWarning", ControlKind::TextBox, 318, 16, 76, 20), frameOf(2));
    add(*this, makeControl("chkApplyColumnPropsAccess", ControlKind::CheckBox, 12, 54, 380, 20), frameOf(2));
    add(*this, makeControl("chkAutoAdjustColumnWidths", ControlKind::CheckBox, 12, 80, 380, 20), frameOf(2));
    add(*this, makeControl("lblFixedColumnWidth", ControlKind::Label, 12, 110, 300, 18), frameOf(2));
    add(*this, makeControl("txtFixedColumnWidth", ControlKind::TextBox, 318, 108, 76, 20), frameOf(2));
    add(*this, makeControl("cmdRestoreUserMsg", ControlKind::CommandButton, 12, 200, 190, 26), frameOf(2));
    add(*this, makeControl("cmdApplyDefaults", ControlKind::CommandButton, 210, 200, 190, 26), frameOf(2));

    auto ok = makeControl("cmdOK", ControlKind::CommandButton, 178, 334, 76, 26);
    ok.caption = "&OK";
    ok.isDefault = true;
    add(*this, ok);
    add(*this, makeControl("cmdApply", ControlKind::CommandButton, 262, 334, 76, 26));
    auto cancel = makeControl("cmdCancel", ControlKind::CommandButton, 346, 334, 76, 26);
    cancel.isCancel = true;
    add(*this, cancel);
}

void frmSettings::Activate() {
    try {
        host::FormControl& strip = *control("TabStrip1");
        strip.tabs = {GetMessage(205), GetMessage(206), GetMessage(207)};
        showTab(strip.value.isNumeric() ? strip.value.toLong() : 0);
        caption = GetCaption("frmSettings");
        for (auto& c : controls) {
            if (c.kind != ControlKind::Label && c.kind != ControlKind::CheckBox && c.kind != ControlKind::CommandButton)
                continue;
            const std::string text = GetCaption(c.name);
            if (!text.empty()) c.caption = text;
        }
        control("cmdApply")->caption = GetMessage(4);
        control("cmdCancel")->caption = GetMessage(3);
        LoadSettings();
    } catch (const Error& e) {
        reportError(e);
    }
}

void frmSettings::showTab(long index) {
    if (index < 0 || index > 2) index = 0;
    control("TabStrip1")->value = Variant(index);
    for (long t = 0; t < 3; ++t) control(frameOf(t))->visible = t == index;
}

bool frmSettings::checked(const std::string& name) {
    const Variant& v = control(name)->value;
    return v.isBoolean() && v.toBool();
}

void frmSettings::setChecked(const std::string& name, bool on) { control(name)->value = Variant(on); }

void frmSettings::LoadSettings() {
    clsAux& aux = goApplication->Aux();
    for (int i = 0; i < ColourCount; ++i) {
        colours_[static_cast<size_t>(i)] = aux.SettingColor(kColourRows[i].setting);
        PaintColourSample(i);
    }
    for (const auto& c : kChecks) setChecked(c.control, aux.ReadSettingOrDefault(c.setting).text() == "True");
    for (const auto& n : kNumbers) control(n.control)->value = Variant(aux.ReadSettingOrDefault(n.setting).text());
    // A server has no field descriptions or column properties of the database kind.
    const bool server = goApplication->DbKind() == 1;
    control("chkShowFieldDescription")->visible = !server;
    control("chkApplyColumnPropsAccess")->visible = !server;
    control("chkAutoAdjustColumnWidths")->enabled = !checked("chkApplyColumnPropsAccess");
    UpdateWidthControls();
}

void frmSettings::SaveSettings(bool useDefaults) {
    clsAux& aux = goApplication->Aux();
    if (useDefaults) {
        aux.ApplyDefaultSettings();
        return;
    }
    for (int i = 0; i < ColourCount; ++i)
        aux.WriteSetting(4, kColourRows[i].setting, Variant::longValue(static_cast<int32_t>(colours_[static_cast<size_t>(i)])));
    for (const auto& c : kChecks) aux.WriteSetting(1, c.setting, Variant(checked(c.control) ? "True" : "False"));
    for (const auto& n : kNumbers)
        aux.WriteSetting(4, n.setting, Variant::longValue(static_cast<int32_t>(control(n.control)->value.toLong())));
}

void frmSettings::CheckColours() {
    if (colours_[kBackReadOnly] == colours_[kBack]) raise(err::Information, GetMessage(188), "frmSettings");
    if (colours_[kBackEdited] == colours_[kBack]) raise(err::Information, GetMessage(189), "frmSettings");
}

void frmSettings::PaintColourSample(int index) {
    control("lblColor" + std::to_string(index))->backColor = colours_.at(static_cast<size_t>(index));
}

void frmSettings::UpdateWidthControls() {
    const bool fixed = !checked("chkApplyColumnPropsAccess") && !checked("chkAutoAdjustColumnWidths");
    control("lblFixedColumnWidth")->visible = fixed;
    control("txtFixedColumnWidth")->visible = fixed;
}

bool frmSettings::KeyPress(const std::string& controlName, int keyAscii) {
    if (!numberBox(controlName)) return true;
    return (keyAscii >= '0' && keyAscii <= '9') || keyAscii == 8 || keyAscii == 9 || keyAscii == 12;
}

bool frmSettings::ValidateNumberBox(const std::string& controlName) {
    const NumberBox* box = numberBox(controlName);
    if (!box) return true;
    host::FormControl& c = *control(controlName);
    const std::string text = trimBlanks(c.value.text());
    if (text.empty()) {
        focus = controlName;
        ShowMessage(GetMessage(186), host::mb::Information);
        return false;
    }
    // Digits only reach the box; a number past 32 bits is out of range all the same.
    long long value = 0;
    bool inRange = text.size() <= 10;
    for (char ch : text) {
        if (ch < '0' || ch > '9') inRange = false;
        if (inRange) value = value * 10 + (ch - '0');
    }
    inRange = inRange && value <= std::numeric_limits<int32_t>::max() && value >= box->low && value <= box->high;
    if (!inRange) {
        const FormatLocale locale = IsDutch() ? FormatLocale::dutch() : FormatLocale::english();
        auto bound = [&](long v) {
            return box->grouped ? formatValue(Variant(v), "#,###,##0", locale) : std::to_string(v);
        };
        focus = controlName;
        ShowMessage(GetMessage(187, Variant(bound(box->low)), Variant(bound(box->high))), host::mb::Information);
        return false;
    }
    return true;
}

long frmSettings::PickColour(long current) {
    auto& app = HostApp();
    host::WorkbookPtr book = app.ActiveWorkbook();
    const long remembered = book->Colors(kPaletteEntry);
    if (current == kNoColour) current = kButtonFace;
    const long red = current & 255, green = (current / 256) & 255, blue = (current / 65536) & 255;
    long result = current;
    if (app.ShowDialog(host::xl::DialogEditColor, {Variant(kPaletteEntry), Variant(red), Variant(green), Variant(blue)}))
        result = book->Colors(kPaletteEntry);
    // The workbook's own palette is not ours to change.
    book->SetColors(kPaletteEntry, remembered);
    return result;
}

void frmSettings::ApplySettings(bool closeAfter) {
    // The box with the focus first, then the other: no number out of range is written.
    if (!focus.empty() && !ValidateNumberBox(focus)) return;
    for (const auto& n : kNumbers)
        if (control(n.control)->visible && n.control != focus && !ValidateNumberBox(n.control)) return;
    CheckColours();
    SaveSettings(false);
    ApplyToTableSheet();
    if (closeAfter) Hide();
    else LoadSettings();
}

void frmSettings::ApplyToTableSheet() {
    clsApplication& controller = *goApplication;
    clsForm& form = controller.Form();
    host::WorksheetPtr sheet = form.Sheet();
    if (!sheet) return;
    auto& app = HostApp();
    clsAux& aux = controller.Aux();
    std::string address;
    std::optional<Error> failure;
    try {
        sheet->Activate();
        sheet->Unprotect(clsAux::ProtectionPassword());
        if (auto selection = app.Selection()) address = selection->Address();
        app.SetCursor(host::xl::CursorWait);
        app.SetScreenUpdating(false);
        sheet->Cells()->Interior()->SetColor(colours_[kFormBack]);
        auto window = app.ActiveWindow();
        window->SetDisplayHeadings(checked("chkShowHeadings"));
        if (controller.HasTableSheet() && form.Matrix()) {
            window->SetDisplayZeros(checked("chkShowZeros"));
            if (checked("chkShowFilter")) {
                if (!sheet->AutoFilterMode()) form.Matrix()->DataRange()->AutoFilter();
            } else {
                sheet->SetAutoFilterMode(false);
            }
            form.FormatSheet(true, false, address);
            aux.ApplyFreezeTopRow(sheet);
            // Rows not yet written stay marked as edited in the new colours.
            clsMatrix& matrix = *form.Matrix();
            for (size_t i = 0; i < form.RowChanged().size(); ++i) {
                if (form.RowChanged()[i] != "1") continue;
                for (long c = 0; c < matrix.FieldCount(); ++c) {
                    const clsField& field = matrix.Field(c);
                    if (field.ReadOnly()) continue;
                    host::RangePtr cell = field.Cell()->Offset(static_cast<long>(i) + 1, 0);
                    cell->Interior()->SetColor(colours_[kBackEdited]);
                    cell->Font()->SetColor(colours_[8]);
                }
            }
        }
    } catch (const Error& e) {
        failure = e;
    }
    try {
        if (!address.empty()) {
            host::RangePtr selection = sheet->Range(address);
            selection->Select();
            form.ScrollIntoView(selection->Cells(1, 1));
        }
    } catch (const Error& e) {
        if (!failure) failure = e;
    }
    host::ProtectOptions options;
    options.allowFormattingColumns = true;
    options.allowFiltering = true;
    sheet->Protect(clsAux::ProtectionPassword(), options);
    app.SetCursor(host::xl::CursorDefault);
    app.SetScreenUpdating(true);
    if (failure) throw *failure;
}

void frmSettings::reportError(const Error& e) {
    CurrentErrorScope current(e);
    if (e.number() == err::Information) ShowMessage(e.description(), host::mb::Information);
    else ShowMessage(GetMessage(2), host::mb::Critical);
}

void frmSettings::Click(const std::string& controlName) {
    try {
        if (controlName == "TabStrip1") {
            showTab(control("TabStrip1")->value.toLong());
        } else if (controlName == "cmdOK" || controlName == "cmdApply") {
            ApplySettings(controlName == "cmdOK");
        } else if (controlName == "cmdCancel") {
            Hide();
        } else if (controlName == "chkAutoAdjustColumnWidths") {
            UpdateWidthControls();
        } else if (controlName == "chkApplyColumnPropsAccess") {
            control("chkAutoAdjustColumnWidths")->enabled = !checked("chkApplyColumnPropsAccess");
            UpdateWidthControls();
        } else if (controlName.starts_with("cmdChangeColor")) {
            const int index = std::stoi(controlName.substr(std::string("cmdChangeColor").size()));
            if (!HostApp().ActiveWorkbook()) {
                ShowMessage(GetMessage(185), host::mb::Information);
                return;
            }
            colours_.at(static_cast<size_t>(index)) = PickColour(colours_.at(static_cast<size_t>(index)));
            PaintColourSample(index);
        } else if (controlName == "cmdApplyDefaults") {
            if (ShowMessage(GetMessage(15), host::mb::YesNo | host::mb::Question) != host::answer::Yes) return;
            SaveSettings(true);
            LoadSettings();
            ApplyToTableSheet();
            ShowMessage(GetMessage(212), host::mb::Information);
        } else if (controlName == "cmdRestoreUserMsg") {
            if (ShowMessage(GetMessage(15), host::mb::YesNo | host::mb::Question) != host::answer::Yes) return;
            goApplication->Aux().RestoreUserMessages();
            ShowMessage(GetMessage(211), host::mb::Information);
        }
    } catch (const Error& e) {
        reportError(e);
    }
}

}  // namespace dalvera
