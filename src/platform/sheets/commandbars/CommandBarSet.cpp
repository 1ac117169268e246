#include "platform/sheets/commandbars/CommandBarSet.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::platform {
namespace cbdetail {

using host::BarPtr;
using host::ControlPtr;

// The automation failure code a host raises for a method on a dead object.
constexpr long MethodFailed = -2147467259;

[[noreturn]] void methodFailed(const char* method, const char* object, const std::string& why) {
    raise(MethodFailed, std::string("Method '") + method + "' of object '" + object + "' failed: " + why);
}

[[noreturn]] void invalidCall(const std::string& why) {
    raise(err::InvalidCall, "Invalid procedure call or argument: " + why);
}

struct BuiltInControl {
    long id;
    int type;
    const char* caption;
    const char* captionNl;  // as a Dutch host names it
    int faceId;
};

// The host's own controls, by id. Controls.Add with one of these ids adds a
// copy of that control; other ids than 1 are refused.
constexpr BuiltInControl kBuiltIns[] = {
    {30002, host::ctl::Popup, "&File", "&Bestand", 0},
    {30003, host::ctl::Popup, "&Edit", "Be&werken", 0},
    {30004, host::ctl::Popup, "&View", "Beel&d", 0},
    {30005, host::ctl::Popup, "&Insert", "&Invoegen", 0},
    {30006, host::ctl::Popup, "F&ormat", "Op&maak", 0},
    {30007, host::ctl::Popup, "&Tools", "E&xtra", 0},
    {30011, host::ctl::Popup, "&Data", "&Data", 0},
    {30009, host::ctl::Popup, "&Window", "&Venster", 0},
    {30010, host::ctl::Popup, "&Help", "&Help", 0},
    {18, host::ctl::Button, "&New...", "&Nieuw...", 18},
    {23, host::ctl::Button, "&Open...", "&Openen...", 23},
    {106, host::ctl::Button, "&Close", "Sl&uiten", 106},
    {3, host::ctl::Button, "&Save", "Op&slaan", 3},
    {748, host::ctl::Button, "Save &As...", "Opslaan &als...", 748},
    {4, host::ctl::Button, "&Print...", "Af&drukken...", 4},
    {752, host::ctl::Button, "E&xit", "Af&sluiten", 752},
    {128, host::ctl::Button, "&Undo", "&Ongedaan maken", 128},
    {21, host::ctl::Button, "Cu&t", "K&nippen", 21},
    {19, host::ctl::Button, "&Copy", "&Kopiëren", 19},
    {22, host::ctl::Button, "&Paste", "&Plakken", 22},
    {3125, host::ctl::Button, "Clear Co&ntents", "&Inhoud wissen", 3125},
    {113, host::ctl::Button, "&Bold", "&Vet", 113},
    {114, host::ctl::Button, "&Italic", "C&ursief", 114},
    {115, host::ctl::Button, "&Underline", "&Onderstrepen", 115},
    {984, host::ctl::Button, "&Help", "&Help", 984},
    {927, host::ctl::Button, "&About", "&Info", 927},
    {3627, host::ctl::Button, "&Options...", "&Opties...", 3627},
    {601, host::ctl::Button, "&Sort...", "&Sorteren...", 601},
    {899, host::ctl::Button, "&Filter", "&Filter", 899},
    {1849, host::ctl::Button, "&Freeze Panes", "Titels &blokkeren", 1849},
    {3183, host::ctl::Button, "&Insert...", "&Invoegen...", 3183},
    {292, host::ctl::Button, "&Delete...", "&Verwijderen...", 292},
};

const BuiltInControl* findBuiltIn(long id) {
    for (const auto& b : kBuiltIns)
        if (b.id == id) return &b;
    return nullptr;
}

class ControlImpl;
class BarImpl;

struct Hub {
    std::vector<std::shared_ptr<BarImpl>> bars;
    CommandBarSet::MacroRunner runner;
    std::function<void()> onChange;
    std::function<void(long)> onBuiltIn;
    ControlPtr action;
    int quiet = 0;
    bool dutch = false;

    void changed() {
        if (quiet == 0 && onChange) onChange();
    }
};

// Holds back change notices while a compound change is made, then sends one.
class Batch {
public:
    explicit Batch(Hub& hub) : hub_(hub) { ++hub_.quiet; }
    ~Batch() {
        if (--hub_.quiet == 0 && hub_.onChange) {
            try {
                hub_.onChange();
            } catch (...) {
                // A front end's redraw must not turn a done change into a failure.
            }
        }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    Hub& hub_;
};

class ControlList : public host::CommandBarControls, public std::enable_shared_from_this<ControlList> {
public:
    explicit ControlList(std::weak_ptr<Hub> hub) : hub_(std::move(hub)) {}

    long Count() const override {
        check("Count");
        return static_cast<long>(items.size());
    }
    ControlPtr Item(long index) override;
    ControlPtr Add(int type, long id, const std::string& parameter, long before, bool temporary) override;

    void check(const char* method) const {
        if (dead || hub_.expired()) methodFailed(method, "CommandBarControls", "the bar or menu has been deleted");
    }
    Hub& hub() const { return *hub_.lock(); }
    std::weak_ptr<Hub> weakHub() const { return hub_; }

    size_t insertionPoint(long before) const {
        if (before == 0) return items.size();
        if (before < 1 || before > static_cast<long>(items.size()) + 1)
            invalidCall("position " + std::to_string(before) + " is outside 1 to " +
                        std::to_string(items.size() + 1));
        return static_cast<size_t>(before - 1);
    }
    void insert(std::shared_ptr<ControlImpl> c, size_t at);
    void remove(const ControlImpl* c) {
        for (auto it = items.begin(); it != items.end(); ++it)
            if (it->get() == c) {
                items.erase(it);
                return;
            }
    }
    long indexOf(const ControlImpl* c) const {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].get() == c) return static_cast<long>(i) + 1;
        return 0;
    }
    void kill();

    std::vector<std::shared_ptr<ControlImpl>> items;
    bool dead = false;

private:
    std::weak_ptr<Hub> hub_;
};

class ControlImpl : public host::CommandBarControl, public std::enable_shared_from_this<ControlImpl> {
public:
    ControlImpl(std::weak_ptr<Hub> hub, int type, long id) : hub_(std::move(hub)), type_(type), id_(id) {
        if (type_ == host::ctl::Popup) children = std::make_shared<ControlList>(hub_);
    }

    int Type() const override { check("Type"); return type_; }
    long Id() const override { check("Id"); return id_; }
    long Index() const override {
        check("Index");
        auto p = parent.lock();
        return p ? p->indexOf(this) : 0;
    }
    std::string Caption() const override { check("Caption"); return caption; }
    void SetCaption(const std::string& v) override { set(caption, v, "Caption"); }
    std::string Tag() const override { check("Tag"); return tag; }
    void SetTag(const std::string& v) override { set(tag, v, "Tag"); }
    std::string Parameter() const override { check("Parameter"); return parameter; }
    void SetParameter(const std::string& v) override { set(parameter, v, "Parameter"); }
    std::string OnAction() const override { check("OnAction"); return onAction; }
    void SetOnAction(const std::string& v) override { set(onAction, v, "OnAction"); }
    int FaceId() const override { check("FaceId"); return faceId; }
    void SetFaceId(int v) override {
        if (v < 0) {
            check("FaceId");
            invalidCall("a face id cannot be negative");
        }
        set(faceId, v, "FaceId");
    }
    std::string ToolTipText() const override {
        check("ToolTipText");
        return hasToolTip ? toolTip : caption;
    }
    void SetToolTipText(const std::string& v) override {
        check("ToolTipText");
        if (hasToolTip && toolTip == v) return;
        hasToolTip = true;
        toolTip = v;
        hub().changed();
    }
    bool BeginGroup() const override { check("BeginGroup"); return beginGroup; }
    void SetBeginGroup(bool v) override { set(beginGroup, v, "BeginGroup"); }
    bool Enabled() const override { check("Enabled"); return enabled; }
    void SetEnabled(bool v) override { set(enabled, v, "Enabled"); }
    bool Visible() const override { check("Visible"); return visible; }
    void SetVisible(bool v) override { set(visible, v, "Visible"); }
    bool Temporary() const override { check("Temporary"); return temporary; }

    std::shared_ptr<host::CommandBarControls> Controls() override {
        check("Controls");
        if (!children) raise(438, "Object doesn't support this property or method: only a popup has controls");
        return children;
    }
    ControlPtr Copy(const BarPtr& bar, long before) override;
    void Delete() override {
        check("Delete");
        Hub& h = hub();
        auto keep = shared_from_this();
        if (auto p = parent.lock()) p->remove(this);
        kill();
        h.changed();
    }
    void Execute() override;

    // A copy with its sub-controls, not yet placed anywhere.
    std::shared_ptr<ControlImpl> clone() const {
        auto c = std::make_shared<ControlImpl>(hub_, type_, id_);
        c->caption = caption;
        c->tag = tag;
        c->parameter = parameter;
        c->onAction = onAction;
        c->faceId = faceId;
        c->toolTip = toolTip;
        c->hasToolTip = hasToolTip;
        c->beginGroup = beginGroup;
        c->enabled = enabled;
        c->visible = visible;
        if (children)
            for (const auto& child : children->items) c->children->insert(child->clone(), c->children->items.size());
        return c;
    }

    void kill() {
        deleted = true;
        if (children) children->kill();
    }

    void check(const char* method) const {
        if (deleted || hub_.expired()) methodFailed(method, "CommandBarControl", "the control has been deleted");
    }
    Hub& hub() const { return *hub_.lock(); }

    std::string caption, tag, parameter, onAction, toolTip;
    int faceId = 0;
    bool hasToolTip = false, beginGroup = false, enabled = true, visible = true, temporary = false;
    bool deleted = false;
    std::weak_ptr<ControlList> parent;
    std::shared_ptr<ControlList> children;

private:
    template <typename T>
    void set(T& field, const T& v, const char* what) {
        check(what);
        if (field == v) return;
        field = v;
        hub().changed();
    }

    std::weak_ptr<Hub> hub_;
    int type_;
    long id_;
};

void ControlList::insert(std::shared_ptr<ControlImpl> c, size_t at) {
    c->parent = weak_from_this();
    items.insert(items.begin() + static_cast<long>(at), std::move(c));
}

void ControlList::kill() {
    dead = true;
    for (auto& c : items) c->kill();
}

ControlPtr ControlList::Item(long index) {
    check("Item");
    if (index < 1 || index > static_cast<long>(items.size()))
        invalidCall("there is no control " + std::to_string(index) + " (the bar has " + std::to_string(items.size()) +
                    ")");
    return items[static_cast<size_t>(index - 1)];
}

ControlPtr ControlList::Add(int type, long id, const std::string& parameter, long before, bool temporary) {
    check("Add");
    const BuiltInControl* builtIn = nullptr;
    if (id != 1 && id != 0) {
        builtIn = findBuiltIn(id);
        if (!builtIn) invalidCall("there is no built-in control with id " + std::to_string(id));
        type = builtIn->type;
    }
    if (type != host::ctl::Button && type != host::ctl::Edit && type != host::ctl::Dropdown &&
        type != host::ctl::ComboBox && type != host::ctl::Popup)
        invalidCall("control type " + std::to_string(type) + " is not one of 1, 2, 3, 4 or 10");
    size_t at = insertionPoint(before);
    auto c = std::make_shared<ControlImpl>(hub_, type, builtIn ? id : 1);
    if (builtIn) {
        c->caption = hub().dutch ? builtIn->captionNl : builtIn->caption;
        c->faceId = builtIn->faceId;
    }
    c->parameter = parameter;
    c->temporary = temporary;
    insert(c, at);
    hub().changed();
    return c;
}

class BarImpl : public host::CommandBar, public std::enable_shared_from_this<BarImpl> {
public:
    BarImpl(std::weak_ptr<Hub> hub, std::string name, int position, bool menuBar, bool builtIn, bool temporary)
        : name_(std::move(name)), position_(position), menuBar_(menuBar), builtIn_(builtIn), temporary_(temporary),
          hub_(hub), controls_(std::make_shared<ControlList>(hub)) {}

    std::string Name() const override { check("Name"); return name_; }
    void SetName(const std::string& v) override {
        check("Name");
        if (v == name_) return;
        if (trimBlanks(v).empty()) invalidCall("a command bar needs a name");
        for (const auto& b : hub().bars)
            if (b.get() != this && equalsNoCase(b->name_, v)) invalidCall("a command bar named '" + v + "' exists");
        name_ = v;
        hub().changed();
    }
    bool Visible() const override { check("Visible"); return visible_; }
    void SetVisible(bool v) override {
        check("Visible");
        if (v == visible_) return;
        visible_ = v;
        hub().changed();
    }
    bool BuiltIn() const override { check("BuiltIn"); return builtIn_; }
    bool Temporary() const override { check("Temporary"); return temporary_; }
    int Position() const override { check("Position"); return position_; }
    long Index() const override {
        check("Index");
        const auto& bars = hub().bars;
        for (size_t i = 0; i < bars.size(); ++i)
            if (bars[i].get() == this) return static_cast<long>(i) + 1;
        return 0;
    }
    std::shared_ptr<host::CommandBarControls> Controls() override {
        check("Controls");
        return controls_;
    }
    ControlPtr FindControl(int type, long id, const std::string& tag, bool visibleOnly, bool recursive) override;
    void Delete() override {
        check("Delete");
        if (builtIn_) invalidCall("the built-in bar '" + name_ + "' cannot be deleted");
        Hub& h = hub();
        auto keep = shared_from_this();
        std::erase_if(h.bars, [this](const auto& b) { return b.get() == this; });
        deleted_ = true;
        controls_->kill();
        h.changed();
    }

    void check(const char* method) const {
        if (deleted_ || hub_.expired()) methodFailed(method, "CommandBar", "the bar has been deleted");
    }
    Hub& hub() const { return *hub_.lock(); }
    ControlList& list() { return *controls_; }
    bool menuBar() const { return menuBar_; }
    bool visibleRaw() const { return visible_; }
    void setVisibleRaw(bool v) { visible_ = v; }
    const std::string& nameRaw() const { return name_; }
    bool builtInRaw() const { return builtIn_; }
    bool temporaryRaw() const { return temporary_; }
    int positionRaw() const { return position_; }
    void markDeleted() {
        deleted_ = true;
        controls_->kill();
    }

private:
    std::string name_;
    int position_;
    bool menuBar_;
    bool builtIn_;
    bool temporary_;
    bool visible_ = false;
    bool deleted_ = false;
    std::weak_ptr<Hub> hub_;
    std::shared_ptr<ControlList> controls_;
};

// Depth first, in the order the controls show, as a person reads the menus.
ControlPtr search(const ControlList& list, int type, long id, const std::string& tag, bool visibleOnly,
                  bool recursive) {
    for (const auto& c : list.items) {
        if (visibleOnly && !c->visible) continue;
        if ((type == 0 || c->Type() == type) && (id == 0 || c->Id() == id) && (tag.empty() || c->tag == tag))
            return c;
        if (recursive && c->children)
            if (auto found = search(*c->children, type, id, tag, visibleOnly, recursive)) return found;
    }
    return nullptr;
}

ControlPtr BarImpl::FindControl(int type, long id, const std::string& tag, bool visibleOnly, bool recursive) {
    check("FindControl");
    return search(*controls_, type, id, tag, visibleOnly, recursive);
}

ControlPtr ControlImpl::Copy(const BarPtr& bar, long before) {
    check("Copy");
    std::shared_ptr<ControlList> target;
    if (bar) {
        auto impl = std::dynamic_pointer_cast<BarImpl>(bar);
        if (!impl) invalidCall("the bar does not belong to this application");
        impl->check("Copy");
        target = std::static_pointer_cast<ControlList>(impl->Controls());
    } else {
        target = parent.lock();
        if (!target) methodFailed("Copy", "CommandBarControl", "the control has no place to be copied to");
    }
    size_t at = target->insertionPoint(before);
    auto copy = clone();
    target->insert(copy, at);
    hub().changed();
    return copy;
}

void ControlImpl::Execute() {
    check("Execute");
    if (!enabled) methodFailed("Execute", "CommandBarControl", "the control '" + caption + "' is disabled");
    if (type_ == host::ctl::Popup) return;  // a click on a popup only opens it
    auto hubPtr = hub_.lock();
    // The macro may click other controls; each click restores the one before.
    struct Scope {
        Hub& hub;
        ControlPtr previous;
        ~Scope() { hub.action = std::move(previous); }
    } scope{*hubPtr, hubPtr->action};
    hubPtr->action = shared_from_this();
    if (!onAction.empty()) {
        if (!hubPtr->runner)
            raise(err::HostRefusal, "Cannot run the macro '" + onAction + "'. No macros are available.");
        hubPtr->runner(onAction);
    } else if (id_ != 1 && hubPtr->onBuiltIn) {
        hubPtr->onBuiltIn(id_);
    }
}

// ---- saving ------------------------------------------------------------------------

constexpr const char* kFileHeader = "DalveraCommandBars\t1";

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

bool unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size()) return false;
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

void writeControls(std::ostream& os, const ControlList& list, int depth) {
    for (const auto& c : list.items) {
        if (c->temporary) continue;
        os << "control\t" << depth << '\t' << c->Type() << '\t' << c->Id() << '\t' << escape(c->caption) << '\t'
           << escape(c->tag) << '\t' << escape(c->parameter) << '\t' << escape(c->onAction) << '\t' << c->faceId
           << '\t' << (c->hasToolTip ? 1 : 0) << '\t' << escape(c->toolTip) << '\t' << (c->beginGroup ? 1 : 0)
           << '\t' << (c->enabled ? 1 : 0) << '\t' << (c->visible ? 1 : 0) << '\n';
        if (c->children) writeControls(os, *c->children, depth + 1);
    }
}

struct SavedControl {
    int depth = 1, type = 1;
    long id = 1;
    std::string caption, tag, parameter, onAction, toolTip;
    int faceId = 0;
    bool hasToolTip = false, beginGroup = false, enabled = true, visible = true;
};

struct SavedBar {
    std::string name;
    int position = host::barpos::Floating;
    bool visible = false, menuBar = false;
    std::vector<SavedControl> controls;
};

bool readInt(const std::string& s, long& v) {
    if (s.empty()) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9' || s.size() > 12) return false;
    v = std::stol(s);
    return true;
}

bool readFlag(const std::string& s, bool& v) {
    if (s != "0" && s != "1") return false;
    v = s == "1";
    return true;
}

}  // namespace cbdetail

using namespace cbdetail;

namespace {

std::shared_ptr<BarImpl> addBar(Hub& hub, const std::shared_ptr<Hub>& self, const std::string& name, int position,
                                bool menuBar, bool builtIn, bool temporary) {
    auto bar = std::make_shared<BarImpl>(self, name, position, menuBar, builtIn, temporary);
    hub.bars.push_back(bar);
    return bar;
}

void addBuiltIns(ControlList& list, std::initializer_list<long> ids) {
    for (long id : ids) list.Add(0, id, {}, 0, false);
}

void buildStartState(Hub& hub, const std::shared_ptr<Hub>& self, const CommandBarOptions& options) {
    auto menu = addBar(hub, self, "Worksheet Menu Bar", host::barpos::Top, true, true, false);
    menu->setVisibleRaw(true);
    auto& m = menu->list();
    auto popup = [&](long id, std::initializer_list<long> items) {
        auto c = std::static_pointer_cast<ControlImpl>(m.Add(0, id, {}, 0, false));
        addBuiltIns(*c->children, items);
        return c;
    };
    popup(30002, {18, 23, 106, 3, 748, 4, 752});
    popup(30003, {128, 21, 19, 22, 3125});
    popup(30004, {});
    popup(30005, {3183});
    popup(30006, {});
    popup(30007, {3627});
    popup(30011, {601, 899});
    popup(30009, {1849});
    if (options.helpMenu) popup(30010, {984, 927});

    auto standard = addBar(hub, self, "Standard", host::barpos::Top, false, true, false);
    standard->setVisibleRaw(true);
    addBuiltIns(standard->list(), {18, 23, 3, 4, 21, 19, 22, 128, 984});
    auto formatting = addBar(hub, self, "Formatting", host::barpos::Top, false, true, false);
    formatting->setVisibleRaw(true);
    addBuiltIns(formatting->list(), {113, 114, 115});
    auto cell = addBar(hub, self, "Cell", host::barpos::Popup, false, true, false);
    addBuiltIns(cell->list(), {21, 19, 22, 3183, 292, 3125});
    addBar(hub, self, "Task Pane", host::barpos::Right, false, true, false);
}

}  // namespace

CommandBarSet::CommandBarSet(MacroRunner runner, CommandBarOptions options) : hub_(std::make_shared<Hub>()) {
    hub_->runner = std::move(runner);
    hub_->dutch = options.dutch;
    ++hub_->quiet;
    buildStartState(*hub_, hub_, options);
    --hub_->quiet;
}

CommandBarSet::~CommandBarSet() {
    // Objects the engine still holds raise on use instead of reaching a dead host.
    for (auto& b : hub_->bars) b->markDeleted();
}

long CommandBarSet::Count() const { return static_cast<long>(hub_->bars.size()); }

host::BarPtr CommandBarSet::Item(long index) {
    if (index < 1 || index > Count())
        invalidCall("there is no command bar " + std::to_string(index) + " (there are " + std::to_string(Count()) +
                    ")");
    return hub_->bars[static_cast<size_t>(index - 1)];
}

host::BarPtr CommandBarSet::Item(const std::string& name) {
    for (const auto& b : hub_->bars)
        if (equalsNoCase(b->nameRaw(), name)) return b;
    raise(err::InvalidCall, "Invalid procedure call or argument: there is no command bar named '" + name + "'");
}

host::BarPtr CommandBarSet::Add(const std::string& name, int position, bool menuBar, bool temporary) {
    if (position < host::barpos::Left || position > host::barpos::MenuBar)
        invalidCall("bar position " + std::to_string(position) + " is not one of 0 to 6");
    std::string n = name;
    if (trimBlanks(n).empty()) {
        // The host numbers unnamed bars.
        for (int k = 1;; ++k) {
            n = "Custom " + std::to_string(k);
            bool taken = false;
            for (const auto& b : hub_->bars) taken = taken || equalsNoCase(b->nameRaw(), n);
            if (!taken) break;
        }
    }
    for (const auto& b : hub_->bars)
        if (equalsNoCase(b->nameRaw(), n)) invalidCall("a command bar named '" + n + "' exists");
    auto bar = addBar(*hub_, hub_, n, position, menuBar, false, temporary);
    hub_->changed();
    return bar;
}

host::ControlPtr CommandBarSet::FindControl(int type, long id, const std::string& tag, bool visibleOnly) {
    for (const auto& b : hub_->bars) {
        if (visibleOnly && !b->visibleRaw()) continue;
        if (auto c = search(b->list(), type, id, tag, visibleOnly, true)) return c;
    }
    return nullptr;
}

host::ControlPtr CommandBarSet::ActionControl() { return hub_->action; }

void CommandBarSet::setChangeHandler(std::function<void()> handler) { hub_->onChange = std::move(handler); }
void CommandBarSet::setBuiltInHandler(std::function<void(long id)> handler) { hub_->onBuiltIn = std::move(handler); }
void CommandBarSet::setMacroRunner(MacroRunner runner) { hub_->runner = std::move(runner); }

void CommandBarSet::save(const std::string& path) const {
    std::ostringstream os;
    os << kFileHeader << '\n';
    for (const auto& b : hub_->bars) {
        if (b->builtInRaw() || b->temporaryRaw()) continue;
        os << "bar\t" << escape(b->nameRaw()) << '\t' << b->positionRaw() << '\t' << (b->visibleRaw() ? 1 : 0) << '\t'
           << (b->menuBar() ? 1 : 0) << '\n';
        writeControls(os, b->list(), 1);
    }
    os << "end\n";
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f) raise(err::PathNotFound, "Cannot write the command bars to '" + path + "': the folder is not there");
        f << os.str();
        f.flush();
        if (!f) {
            f.close();
            std::remove(tmp.c_str());
            raise(err::HostRefusal, "Cannot write the command bars to '" + path + "'");
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        raise(err::PermissionDenied, "Cannot replace the command bar file '" + path + "'");
    }
}

bool CommandBarSet::load(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::vector<SavedBar> bars;
    std::string line;
    long lineNo = 0;
    bool ended = false;
    auto damaged = [&](const std::string& why) {
        raise(err::HostRefusal,
              "The command bar file '" + path + "' is damaged at line " + std::to_string(lineNo) + ": " + why);
    };
    while (std::getline(f, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNo == 1) {
            if (line != kFileHeader) damaged("not a command bar file");
            continue;
        }
        if (ended) damaged("text after the end");
        if (line == "end") {
            ended = true;
            continue;
        }
        auto fields = split(line, '\t');
        if (fields.empty()) damaged("empty line");
        if (fields[0] == "bar") {
            if (fields.size() != 5) damaged("a bar needs 5 fields");
            SavedBar b;
            long pos = 0;
            if (!unescape(fields[1], b.name) || trimBlanks(b.name).empty()) damaged("bad bar name");
            if (!readInt(fields[2], pos) || pos < 0 || pos > host::barpos::MenuBar) damaged("bad position");
            b.position = static_cast<int>(pos);
            if (!readFlag(fields[3], b.visible) || !readFlag(fields[4], b.menuBar)) damaged("bad flag");
            for (const auto& other : bars)
                if (equalsNoCase(other.name, b.name)) damaged("bar '" + b.name + "' appears twice");
            bars.push_back(std::move(b));
        } else if (fields[0] == "control") {
            if (bars.empty()) damaged("a control before any bar");
            if (fields.size() != 14) damaged("a control needs 14 fields");
            SavedControl c;
            long depth = 0, type = 0, faceId = 0;
            if (!readInt(fields[1], depth) || depth < 1) damaged("bad depth");
            if (!readInt(fields[2], type)) damaged("bad control type");
            if (!readInt(fields[3], c.id)) damaged("bad id");
            if (!unescape(fields[4], c.caption) || !unescape(fields[5], c.tag) || !unescape(fields[6], c.parameter) ||
                !unescape(fields[7], c.onAction) || !unescape(fields[10], c.toolTip))
                damaged("bad text");
            if (!readInt(fields[8], faceId) || faceId < 0 || faceId > 1000000) damaged("bad face id");
            if (!readFlag(fields[9], c.hasToolTip) || !readFlag(fields[11], c.beginGroup) ||
                !readFlag(fields[12], c.enabled) || !readFlag(fields[13], c.visible))
                damaged("bad flag");
            c.depth = static_cast<int>(depth);
            c.type = static_cast<int>(type);
            c.faceId = static_cast<int>(faceId);
            if (c.type != host::ctl::Button && c.type != host::ctl::Edit && c.type != host::ctl::Dropdown &&
                c.type != host::ctl::ComboBox && c.type != host::ctl::Popup)
                damaged("unknown control type");
            if (c.id != 1 && !findBuiltIn(c.id)) damaged("unknown built-in id");
            // A control can only sit one level below a popup that precedes it.
            auto& list = bars.back().controls;
            int maxDepth = 1;
            if (!list.empty()) maxDepth = list.back().depth + (list.back().type == host::ctl::Popup ? 1 : 0);
            if (c.depth > maxDepth) damaged("a control outside any popup");
            list.push_back(std::move(c));
        } else {
            damaged("unknown record '" + fields[0] + "'");
        }
    }
    if (lineNo == 0) damaged("the file is empty");
    if (!ended) damaged("the file is cut short");

    Batch batch(*hub_);
    for (const auto& sb : bars) {
        std::shared_ptr<BarImpl> existing;
        for (const auto& b : hub_->bars)
            if (equalsNoCase(b->nameRaw(), sb.name)) existing = b;
        if (existing && existing->builtInRaw()) continue;
        if (existing) existing->Delete();
        auto bar = addBar(*hub_, hub_, sb.name, sb.position, sb.menuBar, false, false);
        bar->setVisibleRaw(sb.visible);
        std::vector<ControlList*> levels{&bar->list()};
        for (const auto& sc : sb.controls) {
            levels.resize(static_cast<size_t>(sc.depth));
            ControlList& into = *levels.back();
            auto c = std::make_shared<ControlImpl>(hub_, sc.type, sc.id);
            c->caption = sc.caption;
            c->tag = sc.tag;
            c->parameter = sc.parameter;
            c->onAction = sc.onAction;
            c->faceId = sc.faceId;
            c->hasToolTip = sc.hasToolTip;
            c->toolTip = sc.toolTip;
            c->beginGroup = sc.beginGroup;
            c->enabled = sc.enabled;
            c->visible = sc.visible;
            into.insert(c, into.items.size());
            if (c->children) levels.push_back(c->children.get());
        }
    }
    return true;
}

}  // namespace dalvera::platform
