#include "text/modGlobalization.h"

#include <algorithm>
#include <string_view>

#include "runtime/Text.h"

namespace dalvera {
namespace {

// Module state; it lives as long as the component is loaded. The texts sit in
// functions so that other modules' static initialisers may already use them.
double gCountryCode = 0;
long gErrorNumber = 0;

std::string& productName() {
    static std::string name = GetTitle();
    return name;
}

std::string& errorDescription() {
    static std::string description;
    return description;
}

constexpr long kDutchCountryCode = 31;

const MessageText* findMessage(long number) {
    auto table = MessageTable();
    auto it = std::lower_bound(table.begin(), table.end(), number,
                               [](const MessageText& m, long n) { return m.number < n; });
    return it != table.end() && it->number == number ? &*it : nullptr;
}

std::string withoutAccelerators(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '&') out += c;
    return out;
}

std::string buildMessage(long number, const Variant& arg1, const Variant& arg2, bool stripAccelerators);

// Fills the placeholders in one pass, so a value that happens to contain
// "{1}" or "{product}" is shown as it is.
std::string fill(std::string_view tpl, const Variant& arg1, const Variant& arg2) {
    std::string out;
    out.reserve(tpl.size() + 32);
    size_t i = 0;
    while (i < tpl.size()) {
        if (tpl[i] != '{') {
            out += tpl[i++];
            continue;
        }
        size_t close = tpl.find('}', i);
        if (close == std::string_view::npos) {
            out.append(tpl.substr(i));
            break;
        }
        std::string_view name = tpl.substr(i + 1, close - i - 1);
        bool known = true;
        if (name == "1") {
            out += arg1.text();
        } else if (name == "2") {
            out += arg2.text();
        } else if (name == "product") {
            out += productName();
        } else if (name == "title") {
            out += GetTitle();
        } else if (name == "error") {
            out += errorDescription();
        } else if (name == "errno") {
            out += std::to_string(gErrorNumber);
        } else if (name == "support") {
            out += GetSupportAddress();
        } else if (name.size() > 4 && name.substr(0, 4) == "msg " &&
                   std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            long embedded = std::stol(std::string(name.substr(4)));
            out += buildMessage(embedded, Variant::missing(), Variant::missing(), true);
        } else {
            known = false;
        }
        if (known) {
            i = close + 1;
        } else {
            out += '{';
            ++i;
        }
    }
    return out;
}

// An embedded message loses the "&"s of its template (menu accelerators), not
// those of the values put into it: message 182 shows an error description as is.
std::string buildMessage(long number, const Variant& arg1, const Variant& arg2, bool stripAccelerators) {
    const MessageText* m = findMessage(number);
    if (!m) raise(err::Critical, "Text ID " + std::to_string(number) + " is not implemented!", "modGlobalization");
    std::string_view tpl = IsDutch() ? m->dutch : m->english;
    if (stripAccelerators) return fill(withoutAccelerators(tpl), arg1, arg2);
    return fill(tpl, arg1, arg2);
}

}  // namespace

void SetCountryCode(int32_t code) { gCountryCode = static_cast<double>(code); }

double GetCountryCode() { return gCountryCode; }

bool IsDutch() { return gCountryCode == static_cast<double>(kDutchCountryCode); }

std::string GetMessage(int16_t number, const Variant& arg1, const Variant& arg2) {
    return buildMessage(number, arg1, arg2, false);
}

std::string GetCaption(std::string_view controlName) {
    for (const CaptionText& c : CaptionTable())
        if (controlName == c.control) return IsDutch() ? c.dutch : c.english;
    return {};
}

bool IsTrueText(const Variant& value) {
    // Null counts as no answer rather than raising, so a missing database value is False.
    const std::string text = value.text();
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    std::string word = lowerAscii(s);
    return word == "waar" || word == "ja" || word == "true" || word == "yes";
}

std::string GetTitle() { return "Dalvera"; }

void SetProductName(std::string name) { productName() = std::move(name); }

std::string GetProductName() { return productName(); }

std::string GetSupportAddress() { return "support@dalvera.example"; }

void SetCurrentError(const Error& error) { SetCurrentError(error.number(), error.description()); }

void SetCurrentError(long number, std::string description) {
    gErrorNumber = number;
    errorDescription() = std::move(description);
}

void ClearCurrentError() { SetCurrentError(0, {}); }

long CurrentErrorNumber() { return gErrorNumber; }

std::string CurrentErrorDescription() { return errorDescription(); }

CurrentErrorScope::CurrentErrorScope(const Error& error) : CurrentErrorScope(error.number(), error.description()) {}

CurrentErrorScope::CurrentErrorScope(long number, std::string description)
    : previousNumber_(gErrorNumber), previousDescription_(errorDescription()) {
    SetCurrentError(number, std::move(description));
}

CurrentErrorScope::~CurrentErrorScope() { SetCurrentError(previousNumber_, std::move(previousDescription_)); }

}  // namespace dalvera
