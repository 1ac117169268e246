#include "platform/os/Unicode.h"

#include "runtime/Text.h"

namespace dalvera::platform {

namespace {

// Decodes one code point at s[i]; returns false on a malformed sequence.
bool decodeUtf8(std::string_view s, size_t& i, uint32_t& cp) {
    auto b = static_cast<uint8_t>(s[i]);
    size_t n;
    if (b < 0x80) { cp = b; n = 0; }
    else if (b >= 0xC2 && b < 0xE0) { cp = b & 0x1F; n = 1; }
    else if (b >= 0xE0 && b < 0xF0) { cp = b & 0x0F; n = 2; }
    else if (b >= 0xF0 && b < 0xF5) { cp = b & 0x07; n = 3; }
    else return false;
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
        auto c = static_cast<uint8_t>(s[i + k]);
        if ((c & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    i += n + 1;
    return true;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    uint32_t cp;
    while (i < s.size())
        if (!decodeUtf8(s, i, cp)) return false;
    return true;
}

std::string utf16leToUtf8(const uint8_t* data, size_t units) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = data[2 * i] | (static_cast<uint32_t>(data[2 * i + 1]) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            uint32_t v = data[2 * i + 2] | (static_cast<uint32_t>(data[2 * i + 3]) << 8);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        appendUtf8(out, u);
    }
    return out;
}

bool utf8ToUtf16le(std::string_view s, std::vector<uint8_t>& out) {
    std::vector<uint8_t> r;
    r.reserve(s.size() * 2);
    auto put = [&r](uint32_t u) {
        r.push_back(static_cast<uint8_t>(u & 0xFF));
        r.push_back(static_cast<uint8_t>(u >> 8));
    };
    size_t i = 0;
    uint32_t cp;
    while (i < s.size()) {
        if (!decodeUtf8(s, i, cp)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    out = std::move(r);
    return true;
}

std::string cp1252ToUtf8(std::string_view s) {
    // 0x80..0x9F differ from Latin-1; unassigned ones keep their C1 value.
    static const uint16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        auto b = static_cast<uint8_t>(c);
        appendUtf8(out, (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : b);
    }
    return out;
}

}  // namespace dalvera::platform
