// Storage forms shared by the translator, the SQL functions and the record
// sets: dates as text with optional milliseconds, and number literals that
// SQLite reads exactly.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/jet/sql/JetSql.h"
#include "runtime/DateSerial.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace {

constexpr double MsPerDay = 86400000.0;

// A date serial from a calendar date and the milliseconds of its day; the
// fraction counts away from zero before the epoch, as everywhere else.
bool serialOf(int y, int m, int d, long long ms, double& serial) {
    double base = 0;
    if (!makeDateSerial(DateParts{y, m, d, 0, 0, 0}, base)) return false;
    double frac = static_cast<double>(ms) / MsPerDay;
    serial = base < 0 ? base - frac : base + frac;
    return true;
}

int digits(std::string_view t, size_t at, size_t n, bool& ok) {
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        char c = t[i];
        if (c < '0' || c > '9') ok = false;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "hh:mm:ss.f[f[f]]": the text without ".fff" and the milliseconds it held.
bool splitMillis(std::string_view text, std::string& rest, long long& ms) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    size_t dot = text.find('.', colon);
    if (dot == std::string_view::npos) return false;
    size_t end = dot + 1;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    size_t n = end - dot - 1;
    if (n < 1 || n > 3) return false;
    ms = 0;
    for (size_t i = dot + 1; i < end; ++i) ms = ms * 10 + (text[i] - '0');
    for (size_t i = n; i < 3; ++i) ms *= 10;
    rest = std::string(text.substr(0, dot)) + std::string(text.substr(end));
    return true;
}

}  // namespace

std::string dateToStorage(double serial) {
    double days = std::trunc(serial);
    long long ms = std::llround(std::fabs(serial - days) * MsPerDay);
    if (ms >= 86400000LL) {
        // Rounded up to the next midnight: the next calendar day, whichever the sign.
        ms -= 86400000LL;
        days += 1;
    }
    DateParts p = dateParts(days);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                          static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                          static_cast<int>(ms / 1000 % 60));
    if (ms % 1000 && n > 0) std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%03d", static_cast<int>(ms % 1000));
    return buf;
}

bool canonicalStorageDate(std::string_view t, double& serial) {
    if (t.size() != 19 && t.size() != 23) return false;
    if (t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':') return false;
    bool ok = true;
    int y = digits(t, 0, 4, ok), mo = digits(t, 5, 2, ok), d = digits(t, 8, 2, ok);
    int h = digits(t, 11, 2, ok), mi = digits(t, 14, 2, ok), s = digits(t, 17, 2, ok);
    int ms = 0;
    if (t.size() == 23) {
        if (t[19] != '.') return false;
        ms = digits(t, 20, 3, ok);
        if (ms == 0) return false;  // written without ".000"
    }
    if (!ok || h > 23 || mi > 59 || s > 59) return false;
    return serialOf(y, mo, d, ((h * 60LL + mi) * 60 + s) * 1000 + ms, serial);
}

bool storageToDate(std::string_view text, double& serial) {
    // Only ISO forms: the storage text and a bare date.
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return false;
    if (canonicalStorageDate(text, serial)) return true;
    std::string rest;
    long long ms = 0;
    if (splitMillis(text, rest, ms)) {
        double whole = 0;
        if (!parseDateText(rest, whole)) return false;
        double frac = static_cast<double>(ms) / MsPerDay;
        serial = whole < 0 ? whole - frac : whole + frac;
        return true;
    }
    return parseDateText(text, serial);
}

bool parseDateWithMillis(std::string_view text, double& serial) {
    std::string rest;
    long long ms = 0;
    if (!splitMillis(text, rest, ms)) {
        // Finer than a millisecond cannot be stored as written.
        size_t colon = text.rfind(':'), dot = colon == std::string_view::npos ? colon : text.find('.', colon);
        if (dot != std::string_view::npos) return false;
        return parseDateText(text, serial);
    }
    double whole = 0;
    if (!parseDateText(rest, whole)) return false;
    double frac = static_cast<double>(ms) / MsPerDay;
    serial = whole < 0 ? whole - frac : whole + frac;
    return true;
}

// Dates written with a month name: "31-Jan-2024", "Jan 31, 2024", "January 31 2024 10:00".
bool parseNamedMonthDate(std::string_view text, double& serial) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    std::string datePart(text), timePart;
    // The time starts at the first word holding ':'.
    if (size_t colon = datePart.find(':'); colon != std::string::npos) {
        size_t start = datePart.rfind(' ', colon);
        if (start == std::string::npos) return false;
        timePart = datePart.substr(start + 1);
        datePart = datePart.substr(0, start);
    }
    std::vector<std::string> words;
    std::string cur;
    for (char ch : datePart + " ") {
        if (std::isalnum(static_cast<unsigned char>(ch))) {
            cur += ch;
        } else if (ch == ' ' || ch == '-' || ch == ',' || ch == '/' || ch == '.') {
            if (!cur.empty()) words.push_back(cur);
            cur.clear();
        } else {
            return false;
        }
    }
    if (words.size() != 3) return false;
    int month = 0;
    std::vector<std::string> numbers;
    for (const auto& w : words) {
        if (std::isalpha(static_cast<unsigned char>(w[0]))) {
            if (month || w.size() < 3) return false;
            const std::string lw = lowerAscii(w);
            for (int m = 0; m < 12; ++m)
                if (lw.compare(0, 3, months[m]) == 0) month = m + 1;
            if (!month) return false;
        } else {
            numbers.push_back(w);
        }
    }
    if (!month || numbers.size() != 2) return false;
    // The year is the number with four digits, else the last one.
    size_t yearIndex = numbers[0].size() == 4 ? 0 : 1;
    std::string composed = std::to_string(month) + "/" + numbers[1 - yearIndex] + "/" + numbers[yearIndex];
    if (!timePart.empty()) composed += " " + timePart;
    return parseDateText(composed, serial);
}

bool readDateText(std::string_view text, double& serial) {
    std::string t = trimBlanks(text);
    return storageToDate(t, serial) || parseDateWithMillis(t, serial) || parseNamedMonthDate(t, serial);
}

bool currencyUnits(double d, int64_t& units) {
    if (!std::isfinite(d)) return false;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::fixed);
    if (r.ec != std::errc()) return false;
    std::string_view t(buf, static_cast<size_t>(r.ptr - buf));
    size_t dot = t.find('.');
    std::string_view whole = t.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view() : t.substr(dot + 1);
    if (whole.size() > 16) return false;
    __int128 u = 0;
    for (char c : whole) u = u * 10 + (c - '0');
    for (size_t i = 0; i < 4; ++i) u = u * 10 + (i < frac.size() ? frac[i] - '0' : 0);
    if (frac.size() > 4) {
        int next = frac[4] - '0';
        bool rest = frac.find_first_not_of('0', 5) != std::string_view::npos;
        if (next > 5 || (next == 5 && (rest || (u & 1)))) ++u;
    }
    if (d < 0) u = -u;
    if (u > INT64_MAX || u < INT64_MIN) return false;
    units = static_cast<int64_t>(u);
    return true;
}

double currencyDouble(int64_t units) {
    // Below 2^53 the division is exact to the last bit; above, the decimal text is.
    if (units > -(1LL << 53) && units < (1LL << 53)) return static_cast<double>(units) / 10000.0;
    unsigned long long a = units < 0 ? 0ULL - static_cast<unsigned long long>(units) : static_cast<unsigned long long>(units);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", units < 0 ? "-" : "", a / 10000, a % 10000);
    return std::strtod(buf, nullptr);
}

bool normalizeGuid(std::string_view text, std::string& out) {
    std::string_view t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    if (t.size() != 36) return false;
    // Every GUID of a table passes here when it is read: plain ASCII, no locale.
    char r[38];
    r[0] = '{', r[37] = '}';
    for (size_t i = 0; i < 36; ++i) {
        char c = t[i];
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash) {
            if (c != '-') return false;
        } else if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
        r[i + 1] = c;
    }
    out.assign(r, sizeof r);
    return true;
}

std::string exactNumberText(std::string_view literal) {
    std::string text(literal);
    if (text.find_first_not_of("0123456789") == std::string::npos &&
        (text.size() < 19 || (text.size() == 19 && text <= "9223372036854775807")))
        return text;  // a 64-bit integer, read exactly
    // The decimal significand D (without leading and trailing zeros) and exponent E.
    std::string sig;
    long exponent = 0;
    bool point = false;
    size_t i = 0;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            point = true;
            continue;
        }
        sig += text[i];
        if (point) --exponent;
    }
    if (i < text.size()) exponent += std::strtol(text.c_str() + i + 1, nullptr, 10);
    size_t lead = sig.find_first_not_of('0');
    if (lead == std::string::npos) return "0.0";
    sig.erase(0, lead);
    while (sig.size() > 1 && sig.back() == '0') {
        sig.pop_back();
        ++exponent;
    }
    double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value)) return text;  // SQLite reads it as infinity too
    // SQLite multiplies such a number into a 64-bit integer before converting it.
    if (exponent >= 0 && static_cast<long>(sig.size()) + exponent <= 18) return text;
    // One division by 10, 100 or 1000 of a 53-bit integer: no double rounding
    // in SQLite's 64-bit arithmetic.
    if (exponent < 0 && exponent >= -3 && sig.size() <= 16 && std::strtoull(sig.c_str(), nullptr, 10) < (1ULL << 53))
        return text;
    // Otherwise value = m * 2^p exactly, written as m.0 scaled by powers of two,
    // each step of which is exact in double arithmetic.
    int e2 = 0;
    double f = std::frexp(value, &e2);
    auto m = static_cast<uint64_t>(std::ldexp(f, 53));
    long p = e2 - 53;
    if (m == 0) return "0.0";
    while ((m & 1) == 0) {
        m >>= 1;
        ++p;
    }
    std::string r = "(" + std::to_string(m) + ".0";
    const char op = p < 0 ? '/' : '*';
    unsigned long left = static_cast<unsigned long>(p < 0 ? -p : p);
    while (left > 0) {
        unsigned step = left > 62 ? 62 : static_cast<unsigned>(left);
        r += op + std::to_string(1ULL << step);
        left -= step;
    }
    return r + ")";
}

}  // namespace dalvera::jet
