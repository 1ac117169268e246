#include "platform/jet/sql/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "runtime/Variant.h"

namespace dalvera::jet {

namespace {

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The scaled value read back from its 15-digit decimal form, so that binary
// noise (2.675 * 100 = 267.49999...) does not decide a tie.
double decimalScaled(double x, int places) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", x * std::pow(10.0, places));
    return std::strtod(buf, nullptr);
}

// From 2^52 on a scaled double is a whole number: nothing is left to round, and
// its 15-digit form would lose digits (or, for huge numbers, be infinite).
bool nothingToRound(double x, int places) { return !(std::fabs(x) * std::pow(10.0, places) < 4503599627370496.0); }

double roundHalfAway(double x, int places) {
    if (nothingToRound(x, places)) return x;
    double s = decimalScaled(std::fabs(x), places);
    double r = std::floor(s + 0.5) / std::pow(10.0, places);
    return x < 0 ? -r : r;
}

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// ---- numbers ----

std::vector<std::string> splitSections(const std::string& fmt) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char ch = fmt[i];
        if (ch == '"') quoted = !quoted;
        if (!quoted && ch == '\\' && i + 1 < fmt.size()) {
            out.back() += fmt.substr(i, 2);
            ++i;
            continue;
        }
        if (!quoted && ch == ';')
            out.emplace_back();
        else
            out.back() += ch;
    }
    return out;
}

// Literal text of a format piece: quotes and backslashes undone.
std::string literal(const std::string& s, bool& percent) {
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char ch = s[i];
        if (ch == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && ch == '\\' && i + 1 < s.size()) {
            out += s[++i];
            continue;
        }
        if (!quoted && ch == '%') percent = true;
        out += ch;
    }
    return out;
}

std::string groupThousands(const std::string& digits) {
    std::string out;
    int n = 0;
    for (size_t i = digits.size(); i > 0; --i) {
        if (n > 0 && n % 3 == 0) out.insert(out.begin(), ',');
        out.insert(out.begin(), digits[i - 1]);
        ++n;
    }
    return out;
}

// One section of a number format applied to a non-negative value.
std::string formatNumberSection(double x, const std::string& section) {
    // Locate the placeholder run: from the first to the last 0 / # outside quotes.
    size_t first = std::string::npos, last = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < section.size(); ++i) {
        char ch = section[i];
        if (ch == '"') quoted = !quoted;
        if (quoted) continue;
        if (ch == '\\') {
            ++i;
            continue;
        }
        if (ch == '0' || ch == '#') {
            if (first == std::string::npos) first = i;
            last = i;
        }
    }
    bool percent = false;
    if (first == std::string::npos) return literal(section, percent);
    // A '.' right after the last placeholder belongs to the number ("#." shows "5.").
    size_t end = last + 1;
    if (end < section.size() && section[end] == '.') ++end;
    std::string prefix = literal(section.substr(0, first), percent);
    std::string suffix = literal(section.substr(end), percent);
    const std::string core = section.substr(first, end - first);
    const size_t dot = core.find('.');
    int intZeros = 0, decimals = 0, minDecimals = 0;
    bool grouping = false, scientific = false;
    for (size_t i = 0; i < core.size(); ++i) {
        char ch = core[i];
        bool fractional = dot != std::string::npos && i > dot;
        if (ch == '0' && !fractional) ++intZeros;
        if ((ch == '0' || ch == '#') && fractional) {
            ++decimals;
            if (ch == '0') minDecimals = decimals;
        }
        if (ch == ',' && !fractional) grouping = true;
        if (ch == 'E' || ch == 'e') scientific = true;
    }
    if (scientific) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*E", decimals, x);
        return prefix + buf + suffix;
    }
    if (percent) x *= 100.0;
    double r = roundHalfAway(x, decimals);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
    std::string text = buf;
    std::string intPart = text, frac;
    if (size_t p = text.find('.'); p != std::string::npos) {
        intPart = text.substr(0, p);
        frac = text.substr(p + 1);
    }
    while (static_cast<int>(frac.size()) > minDecimals && !frac.empty() && frac.back() == '0') frac.pop_back();
    if (intPart == "0" && intZeros == 0) intPart.clear();
    while (static_cast<int>(intPart.size()) < intZeros) intPart.insert(intPart.begin(), '0');
    if (grouping) intPart = groupThousands(intPart);
    std::string number = intPart;
    if (dot != std::string::npos) number += "." + frac;
    return prefix + number + suffix;
}

std::string formatNumber(double x, const std::string& fmt) {
    std::vector<std::string> sections = splitSections(fmt);
    if (x < 0 && sections.size() > 1 && !sections[1].empty()) return formatNumberSection(-x, sections[1]);
    if (x == 0 && sections.size() > 2 && !sections[2].empty()) return formatNumberSection(0, sections[2]);
    std::string s = formatNumberSection(std::fabs(x), sections[0]);
    // Only a value that still shows a non-zero digit keeps its sign.
    if (x < 0 && s.find_first_of("123456789") != std::string::npos) s = "-" + s;
    return s;
}

// ---- dates ----

struct DateToken {
    enum Kind { Literal, Code } kind;
    std::string text;  // the code letters (lower case) or the literal
};

std::vector<DateToken> dateTokens(const std::string& fmt) {
    std::vector<DateToken> out;
    for (size_t i = 0; i < fmt.size();) {
        char ch = fmt[i];
        if (ch == '"') {
            size_t end = fmt.find('"', i + 1);
            if (end == std::string::npos) end = fmt.size();
            out.push_back({DateToken::Literal, fmt.substr(i + 1, end - i - 1)});
            i = end + 1;
            continue;
        }
        if (ch == '\\' && i + 1 < fmt.size()) {
            out.push_back({DateToken::Literal, fmt.substr(i + 1, 1)});
            i += 2;
            continue;
        }
        std::string rest = lowerAscii(fmt.substr(i, 5));
        if (rest == "am/pm") {
            out.push_back({DateToken::Code, fmt.substr(i, 5)});
            i += 5;
            continue;
        }
        if (rest.rfind("a/p", 0) == 0) {
            out.push_back({DateToken::Code, fmt.substr(i, 3)});
            i += 3;
            continue;
        }
        char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (std::string("ymdhnswqc").find(lc) != std::string::npos) {
            size_t j = i;
            while (j < fmt.size() && std::tolower(static_cast<unsigned char>(fmt[j])) == lc) ++j;
            out.push_back({DateToken::Code, std::string(j - i, lc)});
            i = j;
            continue;
        }
        out.push_back({DateToken::Literal, std::string(1, ch)});
        ++i;
    }
    return out;
}

std::string generalDate(double serial);

std::string formatDateCodes(double serial, const std::string& fmt) {
    // A number far outside the calendar has no year to show.
    if (!(serial > -657435.0 && serial < 2958466.0))
        raise(err::Overflow, "Overflow: dates run from 1/1/100 to 12/31/9999 (error 6)");
    std::vector<DateToken> toks = dateTokens(fmt);
    const DateParts p = dateParts(serial);
    bool twelve = false;
    auto isAmPm = [](const std::string& code) {
        std::string l = lowerAscii(code);
        return l == "am/pm" || l == "a/p";
    };
    for (const auto& t : toks)
        if (t.kind == DateToken::Code && isAmPm(t.text)) twelve = true;
    std::string out;
    for (size_t i = 0; i < toks.size(); ++i) {
        const DateToken& t = toks[i];
        if (t.kind == DateToken::Literal) {
            out += t.text;
            continue;
        }
        const std::string& c = t.text;
        auto neighbour = [&](int dir) -> std::string {
            for (long k = static_cast<long>(i) + dir; k >= 0 && k < static_cast<long>(toks.size()); k += dir)
                if (toks[static_cast<size_t>(k)].kind == DateToken::Code) return toks[static_cast<size_t>(k)].text;
            return {};
        };
        if (c[0] == 'm' && c.size() <= 2) {
            // m after an hour or before seconds is minutes.
            std::string before = neighbour(-1), after = neighbour(1);
            bool minutes = (!before.empty() && before[0] == 'h') || (!after.empty() && after[0] == 's');
            int v = minutes ? p.minute : p.month;
            out += c.size() == 2 ? twoDigits(v) : std::to_string(v);
        } else if (c[0] == 'm') {
            std::string name = kMonths[p.month - 1];
            out += c.size() == 3 ? name.substr(0, 3) : name;
        } else if (c == "yyyy" || c == "yyy") {
            out += std::to_string(p.year);
        } else if (c == "yy") {
            out += twoDigits(p.year % 100);
        } else if (c == "y") {
            out += std::to_string(static_cast<long long>(dateSerial(p.year, p.month, p.day)) -
                                  static_cast<long long>(dateSerial(p.year, 1, 1)) + 1);
        } else if (c == "d") {
            out += std::to_string(p.day);
        } else if (c == "dd") {
            out += twoDigits(p.day);
        } else if (c == "ddd") {
            out += std::string(kDays[weekday(serial) - 1]).substr(0, 3);
        } else if (c == "dddd") {
            out += kDays[weekday(serial) - 1];
        } else if (c == "ddddd") {
            out += formatDateCodes(serial, "m/d/yyyy");
        } else if (c[0] == 'd') {
            out += formatDateCodes(serial, "dddd, mmmm d, yyyy");
        } else if (c == "w") {
            out += std::to_string(weekday(serial));
        } else if (c[0] == 'w') {
            double jan1 = dateSerial(p.year, 1, 1);
            long long offset = weekday(jan1) - 1;
            long long day = static_cast<long long>(dateSerial(p.year, p.month, p.day) - jan1);
            out += std::to_string((day + offset) / 7 + 1);
        } else if (c[0] == 'q') {
            out += std::to_string((p.month - 1) / 3 + 1);
        } else if (c[0] == 'h') {
            int h = p.hour;
            if (twelve) h = h % 12 == 0 ? 12 : h % 12;
            out += c.size() >= 2 ? twoDigits(h) : std::to_string(h);
        } else if (c[0] == 'n') {
            out += c.size() >= 2 ? twoDigits(p.minute) : std::to_string(p.minute);
        } else if (c[0] == 's') {
            out += c.size() >= 2 ? twoDigits(p.second) : std::to_string(p.second);
        } else if (c[0] == 'c') {
            out += generalDate(serial);
        } else if (isAmPm(c)) {
            // AM/PM, am/pm, A/P, a/p: the case of the code is kept.
            bool pm = p.hour >= 12;
            if (c.size() == 5)
                out += pm ? c.substr(3, 2) : c.substr(0, 2);
            else
                out += pm ? c.substr(2, 1) : c.substr(0, 1);
        }
    }
    return out;
}

bool hasPlaceholders(const std::string& fmt) {
    bool quoted = false;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '"') quoted = !quoted;
        if (quoted) continue;
        if (fmt[i] == '\\') {
            ++i;
            continue;
        }
        if (fmt[i] == '0' || fmt[i] == '#') return true;
    }
    return false;
}

// "m/d/yyyy h:nn:ss AM/PM", leaving out a midnight time and the zero day.
std::string generalDate(double serial) {
    const double day = std::floor(serial);
    const bool hasTime = std::fabs(serial - day) * 86400.0 >= 0.5;
    if (day == 0 && hasTime) return formatDateCodes(serial, "h:nn:ss AM/PM");
    if (!hasTime) return formatDateCodes(serial, "m/d/yyyy");
    return formatDateCodes(serial, "m/d/yyyy h:nn:ss AM/PM");
}

}  // namespace

double roundHalfEven(double x, int places) {
    if (nothingToRound(x, places)) return x;
    double s = decimalScaled(std::fabs(x), places);
    double fl = std::floor(s);
    double diff = s - fl;
    double r = diff > 0.5 ? fl + 1 : diff < 0.5 ? fl : (std::fmod(fl, 2.0) == 0 ? fl : fl + 1);
    r /= std::pow(10.0, places);
    return x < 0 ? -r : r;
}

std::string formatValue(const FormatValue& v, const std::string& format) {
    const std::string named = lowerAscii(trimBlanks(format));
    if (named.empty()) {
        if (v.kind == FormatValue::Date) return generalDate(v.number);
        if (v.kind == FormatValue::Number) return formatDouble(v.number);
        return v.text;
    }
    if (named == ">") return upperAscii(v.kind == FormatValue::Text ? v.text : formatValue(v, ""));
    if (named == "<") return lowerAscii(v.kind == FormatValue::Text ? v.text : formatValue(v, ""));
    if (v.kind == FormatValue::Text) return v.text;  // number and date formats leave other texts alone
    const double x = v.number;
    if (named == "general date") return generalDate(x);
    if (named == "long date") return formatDateCodes(x, "dddd, mmmm d, yyyy");
    if (named == "medium date") return formatDateCodes(x, "dd-mmm-yy");
    if (named == "short date") return formatDateCodes(x, "m/d/yyyy");
    if (named == "long time") return formatDateCodes(x, "h:nn:ss AM/PM");
    if (named == "medium time") return formatDateCodes(x, "hh:nn AM/PM");
    if (named == "short time") return formatDateCodes(x, "hh:nn");
    if (named == "general number") return formatDouble(x);
    if (named == "currency") return formatNumber(x, "$#,##0.00;($#,##0.00)");
    if (named == "fixed") return formatNumber(x, "0.00");
    if (named == "standard") return formatNumber(x, "#,##0.00");
    if (named == "percent") return formatNumber(x, "0.00%");
    if (named == "scientific") return formatNumber(x, "0.00E+00");
    if (named == "yes/no") return x != 0 ? "Yes" : "No";
    if (named == "true/false") return x != 0 ? "True" : "False";
    if (named == "on/off") return x != 0 ? "On" : "Off";
    if (hasPlaceholders(format)) return formatNumber(x, format);
    return formatDateCodes(x, format);
}

}  // namespace dalvera::jet
