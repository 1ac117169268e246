// A person's entry in a cell, as "<number format>\n<typed text>", read in the
// English, Dutch and British locales. Confirming the text the editor then
// shows, unchanged, must give the same value back.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sheets/Embedded.h"
#include "runtime/Error.h"
#include "runtime/NumberFormat.h"

using namespace dalvera;
using namespace dalvera::platform;

namespace {
// As a cell holds them: an empty text leaves the cell empty.
Variant held(const Variant& v) { return v.isString() && v.stringRef().empty() ? Variant() : v; }

bool same(const Variant& x, const Variant& y) {
    Variant a = held(x), b = held(y);
    if (a.isDate() && b.isDate())
        // The editor shows milliseconds: a value on the half rounds either way, give or take the double's noise.
        return std::fabs(a.toDateSerial() - b.toDateSerial()) <= 0.5001 / 86400000.0;
    return a == b;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (size > 512) return -1;
    size_t nl = in.find('\n');
    if (nl == std::string_view::npos) return 0;
    std::string format(in.substr(0, nl)), text(in.substr(nl + 1));
    try {
        checkNumberFormat(format);  // a cell only ever has a format that passed this
    } catch (const Error&) {
        return 0;
    }
    for (int country : {1, 31, 44}) {
        EntryLocale locale = entryLocale(country);
        std::string implied;
        Variant v = parseCellEntry(text, locale, format, &implied);
        // Typing into a General cell gives it the format the entry implies.
        std::string shown = !implied.empty() && format == "General" ? implied : format;
        std::string edit = entryText(v, shown, locale);
        Variant back = parseCellEntry(edit, locale, shown);
        if (!same(v, back)) std::abort();
    }
    return 0;
}
