// Number-format rendering. The input is "<kind><value>\n<format code>": kind
// d double, t date, c currency, i whole number, s text, b Boolean, e Empty;
// an upper-case kind renders in the Dutch locale. A code that
// checkNumberFormat accepts must render every value; one it refuses must be
// refused by the renderer with the same error 1004.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/Error.h"
#include "runtime/NumberFormat.h"

using namespace dalvera;

namespace {
Variant valueOf(char kind, const std::string& text) {
    double d = std::strtod(text.c_str(), nullptr);
    switch (kind | 0x20) {
    case 'd': return Variant(d);
    case 't': return Variant::date(d);
    case 'c': return Variant::currency(std::isfinite(d) && std::fabs(d) < 9e14 ? d : 0);
    case 'i': return Variant::longLong(std::strtoll(text.c_str(), nullptr, 10));
    case 'b': return Variant(!text.empty() && text[0] == '1');
    case 'e': return Variant();
    default: return Variant(text);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (in.empty() || size > 1024) return -1;
    size_t nl = in.find('\n');
    if (nl == std::string_view::npos) return 0;
    char kind = in[0];
    std::string value(in.substr(1, nl - 1));
    std::string_view format = in.substr(nl + 1);
    FormatLocale locale = (kind >= 'A' && kind <= 'Z') ? FormatLocale::dutch() : FormatLocale::english();
    bool valid = true;
    try {
        checkNumberFormat(format);
    } catch (const Error& e) {
        if (e.number() != err::HostRefusal) std::abort();
        valid = false;
    }
    try {
        (void)formatValue(valueOf(kind, value), format, locale);
        if (!valid) std::abort();
    } catch (const Error& e) {
        if (valid || e.number() != err::HostRefusal) std::abort();
    }
    if (!valid) return 0;
    (void)isDateTimeFormat(format);
    (void)isTextFormat(format);
    (void)dateOrder(format);
    return 0;
}
