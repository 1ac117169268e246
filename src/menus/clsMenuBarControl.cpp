#include "menus/clsMenuBarControl.h"

#include "app/clsApplication.h"
#include "app/clsAux.h"
#include "entry/Globals.h"
#include "text/modGlobalization.h"

namespace dalvera {

namespace {
bool hasHost() { return goExcel && goExcel->GetApplication(); }

host::BarPtr worksheetMenuBar() { return HostApp().CommandBars().Item(1); }

struct MenuItem {
    int type;
    int caption;             // message number, 0 when literal
    const char* literal;
    int faceId;
    const char* tag;
    const char* macro;
    bool group;
};
}  // namespace

clsMenuBarControl::~clsMenuBarControl() {
    try {
        DeleteObject();
    } catch (const Error&) {
        // The host may be gone already; nothing is left to remove then.
    }
}

std::string clsMenuBarControl::Name() {
    std::string product = GetProductName();
    size_t end = product.find(' ');
    if (end == std::string::npos) end = product.size();
    if (end < 2) return product;
    return product.substr(0, end - 2) + "&" + product.substr(end - 2);
}

host::ControlPtr clsMenuBarControl::MenuControl() {
    auto controls = worksheetMenuBar()->Controls();
    std::string name = Name();
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        if (c->Caption() == name) return c;
    }
    raise(5, "Invalid procedure call or argument");
}

bool clsMenuBarControl::ObjectExists() {
    if (!hasHost()) return false;
    auto controls = worksheetMenuBar()->Controls();
    std::string name = Name();
    for (long i = 1; i <= controls->Count(); ++i)
        if (controls->Item(i)->Caption() == name) return true;
    return false;
}

void clsMenuBarControl::DeleteObject() {
    if (ObjectExists()) MenuControl()->Delete();
}

host::ControlPtr clsMenuBarControl::FindControlByTag(const std::string& sTag) {
    return FindSubmenuControlByTag(MenuControl(), sTag);
}

host::ControlPtr clsMenuBarControl::FindSubmenuControlByTag(const host::ControlPtr& oSubMenuControl,
                                                            const std::string& sTag) {
    auto controls = oSubMenuControl->Controls();
    for (long i = 1; i <= controls->Count(); ++i) {
        auto c = controls->Item(i);
        if (c->Tag() == sTag) return c;
    }
    return nullptr;
}

void clsMenuBarControl::AddObject() {
    DeleteObject();
    long position = 0;
    try {
        auto controls = worksheetMenuBar()->Controls();
        std::string help = GetMessage(136);
        for (long i = 1; i <= controls->Count(); ++i)
            if (controls->Item(i)->Caption() == help) {
                position = i;
                break;
            }
    } catch (const Error&) {
        position = 0;
    }
    if (position == 0) position = 2;

    auto menu = worksheetMenuBar()->Controls()->Add(host::ctl::Popup, 1, {}, position, true);
    menu->SetCaption(Name());

    int kind = goApplication->DbKind();
    double hostVersion = Variant(HostApp().Version()).toDouble();
    int openFace = kind == 0 ? 264 : (hostVersion <= 10 ? 6457 : 9965);
    std::vector<MenuItem> items = {
        {host::ctl::Button, 122, nullptr, openFace, tag::OpenDatabase, "ThisWorkbook.GetDatabase", false},
        {host::ctl::Popup, 124, nullptr, 0, tag::Tables, nullptr, false},
    };
    if (kind == 1) items.push_back({host::ctl::Popup, 0, "&Views", 0, tag::Views, nullptr, false});
    items.push_back({host::ctl::Popup, 0, kind == 1 ? "&Stored procedures" : "&Queries", 0, tag::Queries, nullptr, false});
    items.push_back({host::ctl::Button, 125, nullptr, 539, tag::RowAdd, "ThisWorkbook.AddRow", true});
    items.push_back({host::ctl::Button, 126, nullptr, 538, tag::RowUpdate, "ThisWorkbook.WriteData", false});
    items.push_back({host::ctl::Button, 127, nullptr, 644, tag::RowDelete, "ThisWorkbook.DeleteRows", false});
    items.push_back({host::ctl::Button, 128, nullptr, 1020, tag::RefreshData, "ThisWorkbook.Refresh", false});
    items.push_back({host::ctl::Button, 133, nullptr, 528, tag::ExecuteSql, "ThisWorkbook.ExecuteSQL", true});
    items.push_back({host::ctl::Button, 255, nullptr, 3, tag::ConvertDatabase, "ThisWorkbook.ConvertDatabase", false});
    items.push_back({host::ctl::Button, 134, nullptr, 548, tag::Settings, "ThisWorkbook.ShowSettings", false});
    items.push_back({host::ctl::Popup, 136, nullptr, 0, tag::Help, nullptr, false});
    items.push_back({host::ctl::Button, 138, nullptr, 923, tag::CloseApplication, "ThisWorkbook.CloseWorkbook", true});

    auto controls = menu->Controls();
    for (const auto& item : items) {
        auto c = controls->Add(item.type);
        if (item.group) c->SetBeginGroup(true);
        c->SetCaption(item.caption ? GetMessage(static_cast<int16_t>(item.caption)) : std::string(item.literal));
        if (item.faceId) c->SetFaceId(item.faceId);
        c->SetTag(item.tag);
        if (item.macro) c->SetOnAction(item.macro);
        if (std::string(item.tag) == tag::Help) {
            auto help = c->Controls()->Add(host::ctl::Button);
            help->SetCaption(GetMessage(136));
            help->SetFaceId(984);
            help->SetOnAction("ThisWorkbook.ShowHelp");
            auto info = c->Controls()->Add(host::ctl::Button);
            info->SetCaption(GetMessage(135));
            info->SetFaceId(487);
            info->SetOnAction("ThisWorkbook.ShowInfo");
        }
    }
    goApplication->Aux().ResetControlStates(*this);
}

}  // namespace dalvera
