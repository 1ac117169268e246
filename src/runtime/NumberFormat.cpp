#include "runtime/NumberFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera {
namespace {

[[noreturn]] void badFormat(std::string_view format, const std::string& why) {
    raise(err::HostRefusal, "Unable to set the NumberFormat property: the format \"" + std::string(format) + "\" " + why);
}

enum class T {
    Literal, DateSep, TimeSep, Digit, Point, Comma, Percent, Exponent, At, General,
    Year, Month, Minute, Day, Hour, Second, SubSecond, AmPm, ElapsedH, ElapsedM, ElapsedS,
};

struct Tok {
    T kind = T::Literal;
    std::string text;  // literal text, the digit placeholder, "E+"/"E-", the AM/PM spelling
    int count = 0;     // letters in a date code
};

struct Section {
    std::vector<Tok> toks;
    bool isDate = false;
    bool hasAmPm = false;
    bool hasAt = false;
    bool hasDigits = false;
    bool hasGeneral = false;
    // A [<100]-style condition: which values the section is for.
    bool hasCondition = false;
    std::string condOp;
    double condValue = 0;

    bool accepts(double v) const {
        if (condOp == "<") return v < condValue;
        if (condOp == "<=") return v <= condValue;
        if (condOp == ">") return v > condValue;
        if (condOp == ">=") return v >= condValue;
        if (condOp == "<>") return v != condValue;
        return v == condValue;
    }
};

size_t utf8Step(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t n = (b & 0xF8) == 0xF0 ? 4 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xE0) == 0xC0 ? 2 : 1;
    return std::min(n, s.size() - i);
}

bool isDateKind(T k) {
    switch (k) {
    case T::Year: case T::Month: case T::Minute: case T::Day: case T::Hour: case T::Second:
    case T::SubSecond: case T::AmPm: case T::ElapsedH: case T::ElapsedM: case T::ElapsedS:
        return true;
    default:
        return false;
    }
}

void addLiteral(std::vector<Tok>& toks, std::string text) {
    if (!toks.empty() && toks.back().kind == T::Literal) {
        toks.back().text += text;
        return;
    }
    toks.push_back({T::Literal, std::move(text), 0});
}

Section parseSection(std::string_view whole, std::string_view s) {
    Section sec;
    auto& toks = sec.toks;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos) badFormat(whole, "has an unclosed quote");
            addLiteral(toks, std::string(s.substr(i + 1, end - i - 1)));
            i = end + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (i + 1 >= s.size()) badFormat(whole, std::string("ends in '") + c + "'");
            size_t n = utf8Step(s, i + 1);
            if (c == '\\') addLiteral(toks, std::string(s.substr(i + 1, n)));
            else if (c == '_') addLiteral(toks, " ");  // room for that character: one space
            // '*' repeats its character to fill the cell; a text rendering has no width to fill.
            i += 1 + n;
        } else if (c == '[') {
            size_t end = s.find(']', i + 1);
            if (end == std::string_view::npos) badFormat(whole, "has an unclosed '['");
            std::string inner(s.substr(i + 1, end - i - 1));
            std::string low = lowerAscii(inner);
            if (!inner.empty() && inner[0] == '$') {
                size_t dash = inner.find('-', 1);
                addLiteral(toks, inner.substr(1, dash == std::string::npos ? std::string::npos : dash - 1));
            } else if (!low.empty() && low.find_first_not_of('h') == std::string::npos) {
                toks.push_back({T::ElapsedH, {}, static_cast<int>(low.size())});
            } else if (!low.empty() && low.find_first_not_of('m') == std::string::npos) {
                toks.push_back({T::ElapsedM, {}, static_cast<int>(low.size())});
            } else if (!low.empty() && low.find_first_not_of('s') == std::string::npos) {
                toks.push_back({T::ElapsedS, {}, static_cast<int>(low.size())});
            } else if (!inner.empty() && (inner[0] == '<' || inner[0] == '>' || inner[0] == '=')) {
                size_t opLen = inner.size() > 1 && (inner[1] == '=' || (inner[0] == '<' && inner[1] == '>')) ? 2 : 1;
                sec.condOp = inner.substr(0, opLen);
                if (!parseNumber(inner.substr(opLen), sec.condValue))
                    badFormat(whole, "has a condition without a number: [" + inner + "]");
                sec.hasCondition = true;
            }
            // Colours change nothing in the text.
            i = end + 1;
        } else if (c == '0' || c == '#' || c == '?') {
            toks.push_back({T::Digit, std::string(1, c), 0});
            sec.hasDigits = true;
            ++i;
        } else if (c == '.') {
            toks.push_back({T::Point, {}, 0});
            ++i;
        } else if (c == ',') {
            toks.push_back({T::Comma, {}, 0});
            ++i;
        } else if (c == '%') {
            toks.push_back({T::Percent, {}, 0});
            ++i;
        } else if (lc == 'e' && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            toks.push_back({T::Exponent, std::string("E") + s[i + 1], 0});
            i += 2;
        } else if (c == '@') {
            toks.push_back({T::At, {}, 0});
            sec.hasAt = true;
            ++i;
        } else if (lc == 'g' && startsWithNoCase(s.substr(i), "general")) {
            toks.push_back({T::General, {}, 0});
            sec.hasGeneral = true;
            i += 7;
        } else if (lc == 'a' && startsWithNoCase(s.substr(i), "am/pm")) {
            toks.push_back({T::AmPm, std::string(s.substr(i, 5)), 0});
            sec.hasAmPm = true;
            i += 5;
        } else if (lc == 'a' && startsWithNoCase(s.substr(i), "a/p")) {
            toks.push_back({T::AmPm, std::string(s.substr(i, 3)), 0});
            sec.hasAmPm = true;
            i += 3;
        } else if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 's') {
            size_t j = i;
            while (j < s.size() && std::tolower(static_cast<unsigned char>(s[j])) == lc) ++j;
            T kind = lc == 'y' ? T::Year : lc == 'm' ? T::Month : lc == 'd' ? T::Day : lc == 'h' ? T::Hour : T::Second;
            toks.push_back({kind, {}, static_cast<int>(j - i)});
            i = j;
        } else if (c == '/') {
            toks.push_back({T::DateSep, "/", 0});
            ++i;
        } else if (c == ':') {
            toks.push_back({T::TimeSep, ":", 0});
            ++i;
        } else {
            size_t n = utf8Step(s, i);
            addLiteral(toks, std::string(s.substr(i, n)));
            i += n;
        }
    }
    for (const auto& t : toks) sec.isDate = sec.isDate || isDateKind(t.kind);
    if (sec.isDate) {
        // m and mm are minutes right after hours or right before seconds.
        for (size_t k = 0; k < toks.size(); ++k) {
            if (toks[k].kind != T::Month || toks[k].count > 2) continue;
            bool minute = false;
            for (size_t b = k; b-- > 0;) {
                if (!isDateKind(toks[b].kind)) continue;
                minute = toks[b].kind == T::Hour || toks[b].kind == T::ElapsedH;
                break;
            }
            for (size_t f = k + 1; !minute && f < toks.size(); ++f) {
                if (!isDateKind(toks[f].kind)) continue;
                minute = toks[f].kind == T::Second || toks[f].kind == T::ElapsedS;
                break;
            }
            if (minute) toks[k].kind = T::Minute;
        }
        // A point followed by zeros after seconds shows fractions of a second.
        std::vector<Tok> merged;
        for (size_t k = 0; k < toks.size(); ++k) {
            if (toks[k].kind == T::Point && k + 1 < toks.size() && toks[k + 1].kind == T::Digit &&
                toks[k + 1].text == "0") {
                int n = 0;
                while (k + 1 < toks.size() && toks[k + 1].kind == T::Digit && toks[k + 1].text == "0") {
                    ++n;
                    ++k;
                }
                merged.push_back({T::SubSecond, {}, std::min(n, 3)});
            } else {
                merged.push_back(toks[k]);
            }
        }
        toks = std::move(merged);
    }
    return sec;
}

std::vector<Section> parseFormat(std::string_view format) {
    std::vector<Section> sections;
    size_t start = 0;
    bool quoted = false, bracket = false;
    for (size_t i = 0; i <= format.size(); ++i) {
        if (i < format.size()) {
            char c = format[i];
            if (quoted) {
                if (c == '"') quoted = false;
                continue;
            }
            if (bracket) {
                if (c == ']') bracket = false;
                continue;
            }
            if (c == '"') { quoted = true; continue; }
            if (c == '[') { bracket = true; continue; }
            if (c == '\\' || c == '_' || c == '*') {
                if (i + 1 < format.size()) i += utf8Step(format, i + 1);
                continue;
            }
            if (c != ';') continue;
        }
        sections.push_back(parseSection(format, format.substr(start, i - start)));
        start = i + 1;
    }
    if (sections.size() > 4) badFormat(format, "has more than four sections");
    return sections;
}

// Rounds |a| half away from zero to nd decimals, on its 15 significant
// digits (so 2.675 shows as 2.68, as a person expects and the host shows).
// ip: integer digits without leading zeros ("" for zero); fp: nd digits.
void decimalRound(double a, int nd, std::string& ip, std::string& fp) {
    ip.clear();
    fp.assign(static_cast<size_t>(nd), '0');
    if (a == 0) return;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", a);
    std::string digits;
    digits += buf[0];
    const char* p = buf + 2;
    while (*p >= '0' && *p <= '9') digits += *p++;
    int exp = std::atoi(p + 1);
    int pointPos = exp + 1;
    std::string all;
    int intLen;
    if (pointPos <= 0) {
        all = std::string(static_cast<size_t>(-pointPos), '0') + digits;
        intLen = 0;
    } else {
        all = digits;
        if (static_cast<size_t>(pointPos) > all.size()) all.append(static_cast<size_t>(pointPos) - all.size(), '0');
        intLen = pointPos;
    }
    size_t keep = static_cast<size_t>(intLen + nd);
    if (all.size() > keep) {
        bool up = all[keep] >= '5';
        all.resize(keep);
        if (up) {
            size_t k = keep;
            while (k > 0 && all[k - 1] == '9') all[--k] = '0';
            if (k == 0) {
                all.insert(all.begin(), '1');
                ++intLen;
            } else {
                ++all[k - 1];
            }
        }
    } else {
        all.append(keep - all.size(), '0');
    }
    ip = all.substr(0, static_cast<size_t>(intLen));
    size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? std::string() : ip.substr(nz);
    fp = all.substr(static_cast<size_t>(intLen));
}

std::string generalScientific(double a, const FormatLocale& loc) {
    int exp = static_cast<int>(std::floor(std::log10(a)));
    for (int attempt = 0; attempt < 2; ++attempt) {
        int expWidth = std::abs(exp) >= 100 ? 5 : 4;  // "E+dd" or "E+ddd"
        int decimals = std::max(0, 11 - 2 - expWidth);
        std::string ip, fp;
        decimalRound(a / std::pow(10.0, exp), decimals, ip, fp);
        if (ip.size() > 1) {  // 9.99995 rounded up to 10
            ++exp;
            continue;
        }
        while (!fp.empty() && fp.back() == '0') fp.pop_back();
        std::string out = ip.empty() ? "0" : ip;
        if (!fp.empty()) out += loc.decimal + fp;
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
        return out + e;
    }
    return "#NUM!";
}

std::string renderGeneral(double v, const FormatLocale& loc) {
    if (!std::isfinite(v)) return "#NUM!";
    if (v == 0) return "0";
    double a = std::fabs(v);
    std::string sign = v < 0 ? "-" : "";
    if (a >= 1e-4 && a < 99999999999.5) {
        std::string ip, fp;
        int intLen = a < 1 ? 1 : static_cast<int>(std::floor(std::log10(a))) + 1;
        decimalRound(a, std::max(0, 11 - intLen - 1), ip, fp);
        if (ip.size() <= 11) {
            while (!fp.empty() && fp.back() == '0') fp.pop_back();
            // Rounding can add an integer digit (9999999999.99 -> 10000000000); keep within 11.
            if (ip.size() + (fp.empty() ? 0 : fp.size() + 1) > 11)
                fp = fp.substr(0, ip.size() >= 10 ? 0 : 10 - ip.size());
            std::string out = sign + (ip.empty() ? "0" : ip);
            if (!fp.empty()) out += loc.decimal + fp;
            return out;
        }
    }
    return sign + generalScientific(a, loc);
}

// ---- numbers ----------------------------------------------------------------------

// Places integer digits into their placeholders from the right; the leftmost
// placeholder takes whatever does not fit. Missing digits show as 0 under
// '0', a space under '?', nothing under '#'. thousands: '\0' for no grouping.
void placeDigits(const std::vector<Tok>& toks, const std::vector<size_t>& slots, const std::string& digits,
                 char thousands, std::vector<std::string>& slotText) {
    auto digitWithGroup = [&](size_t fromRight, char d) {
        std::string s(1, d);
        if (thousands != '\0' && fromRight > 0 && fromRight % 3 == 0) s += thousands;
        return s;
    };
    const size_t n = slots.size();
    const size_t nDigits = digits.size();
    for (size_t r = 0; r < n; ++r) {
        size_t k = slots[n - 1 - r];
        std::string out;
        if (r == n - 1 && nDigits > r + 1) {
            for (size_t q = nDigits; q-- > r;) out += digitWithGroup(q, digits[nDigits - 1 - q]);
        } else if (r < nDigits) {
            out = digitWithGroup(r, digits[nDigits - 1 - r]);
        } else if (toks[k].text == "0") {
            out = digitWithGroup(r, '0');
        } else if (toks[k].text == "?") {
            out = " ";
        }
        slotText[k] = std::move(out);
    }
}

// A '/' with digit placeholders before it and placeholders or a fixed
// denominator after it makes the section a fraction.
bool findFraction(const Section& sec, size_t& slash) {
    const auto& toks = sec.toks;
    for (size_t k = 1; k + 1 < toks.size(); ++k) {
        if (toks[k].kind != T::DateSep || toks[k - 1].kind != T::Digit) continue;
        const Tok& next = toks[k + 1];
        if (next.kind == T::Digit || (next.kind == T::Literal && next.text[0] >= '1' && next.text[0] <= '9')) {
            slash = k;
            return true;
        }
    }
    return false;
}

std::string renderGeneral(double v, const FormatLocale& loc);

std::string renderFraction(const Section& sec, size_t slash, double v, bool sign, const FormatLocale& loc) {
    const auto& toks = sec.toks;
    double a = std::fabs(v);
    if (a >= 1e15) return (sign ? "-" : "") + renderGeneral(a, loc);  // no fraction is meaningful there
    size_t numStart = slash;
    while (numStart > 0 && toks[numStart - 1].kind == T::Digit) --numStart;
    std::vector<size_t> intSlots, numSlots, denSlots;
    for (size_t k = 0; k < numStart; ++k)
        if (toks[k].kind == T::Digit) intSlots.push_back(k);
    for (size_t k = numStart; k < slash; ++k) numSlots.push_back(k);
    size_t denEnd = slash + 1;
    long long fixedDen = 0;
    std::string denRest;
    if (toks[slash + 1].kind == T::Digit) {
        while (denEnd < toks.size() && toks[denEnd].kind == T::Digit) denSlots.push_back(denEnd++);
    } else {
        const std::string& lit = toks[slash + 1].text;
        size_t d = 0;
        while (d < lit.size() && d < 9 && lit[d] >= '0' && lit[d] <= '9') fixedDen = fixedDen * 10 + (lit[d++] - '0');
        denRest = lit.substr(d);
        denEnd = slash + 2;
    }
    const bool hasInt = !intSlots.empty();
    double whole = hasInt ? std::floor(a) : 0;
    double f = a - whole;
    long long num = 0, den = 1;
    if (fixedDen > 0) {
        den = fixedDen;
        num = std::llround(f * static_cast<double>(den));
    } else {
        long long maxDen = 1;
        for (size_t d = 0; d < std::min<size_t>(denSlots.size(), 4); ++d) maxDen *= 10;
        maxDen = std::max<long long>(maxDen - 1, 1);
        double bestErr = 2;
        for (long long d = 1; d <= maxDen; ++d) {
            long long n = std::llround(f * static_cast<double>(d));
            double e = std::fabs(f - static_cast<double>(n) / static_cast<double>(d));
            if (e < bestErr - 1e-12) {
                bestErr = e;
                num = n;
                den = d;
            }
        }
    }
    if (hasInt && num == den) {
        whole += 1;
        num = 0;
    }
    std::string ip, fp;
    decimalRound(whole, 0, ip, fp);
    const bool blankFraction = hasInt && num == 0;
    if (blankFraction && ip.empty()) ip = "0";

    std::vector<std::string> slotText(toks.size());
    placeDigits(toks, intSlots, ip, '\0', slotText);
    placeDigits(toks, numSlots, num == 0 && !hasInt ? "0" : std::to_string(num), '\0', slotText);
    std::string piece;
    for (size_t k : numSlots) piece += slotText[k];
    piece += '/';
    if (fixedDen > 0) {
        piece += std::to_string(fixedDen);
    } else {
        std::string d = std::to_string(den);
        for (size_t j = 0; j < denSlots.size(); ++j) {
            const std::string& ph = toks[denSlots[j]].text;
            if (j < d.size()) piece += d[j];
            else if (ph == "?") piece += ' ';
            else if (ph == "0") piece += '0';
        }
        if (d.size() > denSlots.size()) piece += d.substr(denSlots.size());
    }
    // A whole number keeps the fraction's width, blank, so columns line up.
    if (blankFraction) piece.assign(piece.size(), ' ');

    std::string out = sign ? "-" : "";
    for (size_t k = 0; k < toks.size(); ++k) {
        if (k == numStart) {
            out += piece + denRest;
            k = denEnd - 1;
            continue;
        }
        const Tok& t = toks[k];
        if (t.kind == T::Digit) out += slotText[k];
        else if (t.kind == T::Literal || t.kind == T::DateSep || t.kind == T::TimeSep) out += t.text;
        else if (t.kind == T::Percent) out += '%';
        else if (t.kind == T::Point) out += loc.decimal;
    }
    return out;
}

std::string renderNumber(const Section& sec, double v, bool sign, const FormatLocale& loc) {
    const auto& toks = sec.toks;
    if (!std::isfinite(v)) return "#NUM!";
    // Where the parts of the number sit among the tokens.
    size_t expAt = toks.size(), pointAt = toks.size();
    for (size_t k = 0; k < toks.size(); ++k)
        if (toks[k].kind == T::Exponent && expAt == toks.size()) expAt = k;
    for (size_t k = 0; k < expAt; ++k)
        if (toks[k].kind == T::Point && pointAt == toks.size()) pointAt = k;
    size_t intEnd = std::min(pointAt, expAt);
    std::vector<size_t> intSlots, fracSlots, expSlots;
    for (size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].kind != T::Digit) continue;
        if (k < intEnd) intSlots.push_back(k);
        else if (k < expAt) fracSlots.push_back(k);
        else expSlots.push_back(k);
    }
    // A comma between integer placeholders groups; commas right after the last
    // one scale by a thousand each.
    bool grouping = false;
    int scale = 0;
    if (!intSlots.empty()) {
        for (size_t k = intSlots.front(); k < intSlots.back(); ++k)
            if (toks[k].kind == T::Comma) grouping = true;
        for (size_t k = intSlots.back() + 1; k < intEnd && toks[k].kind == T::Comma; ++k) ++scale;
    }
    if (!fracSlots.empty())
        for (size_t k = fracSlots.back() + 1; k < expAt && toks[k].kind == T::Comma; ++k) ++scale;
    int percents = 0;
    for (const auto& t : toks) percents += t.kind == T::Percent;
    double a = std::fabs(v);
    for (int k = 0; k < percents; ++k) a *= 100;
    for (int k = 0; k < scale; ++k) a /= 1000;
    // Percent signs can scale a finite number past the largest double.
    if (!std::isfinite(a)) return "#NUM!";

    int exponent = 0;
    const bool scientific = expAt < toks.size();
    const int nInt = static_cast<int>(intSlots.size());
    const int nFrac = static_cast<int>(fracSlots.size());
    std::string ip, fp;
    if (scientific) {
        bool engineering = false;
        for (size_t k : intSlots) engineering = engineering || toks[k].text == "#";
        if (a != 0) {
            int e10 = static_cast<int>(std::floor(std::log10(a)));
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (engineering && nInt > 1)
                    exponent = static_cast<int>(std::floor(static_cast<double>(e10) / nInt)) * nInt;
                else
                    exponent = e10 - std::max(nInt, 1) + 1;
                decimalRound(a / std::pow(10.0, exponent), nFrac, ip, fp);
                if (static_cast<int>(ip.size()) <= std::max(nInt, 1)) break;
                ++e10;  // rounding carried into a new digit
            }
        } else {
            decimalRound(0, nFrac, ip, fp);
        }
    } else {
        decimalRound(a, nFrac, ip, fp);
    }

    std::vector<std::string> slotText(toks.size());
    placeDigits(toks, intSlots, ip, grouping ? loc.thousands : '\0', slotText);
    // Trailing fraction zeros vanish under # and turn to spaces under ?.
    std::vector<std::string> fracText(fracSlots.size());
    bool trailing = true;
    for (size_t j = fracSlots.size(); j-- > 0;) {
        const std::string& ph = toks[fracSlots[j]].text;
        char d = fp[j];
        if (trailing && d == '0' && ph == "#") fracText[j] = "";
        else if (trailing && d == '0' && ph == "?") fracText[j] = " ";
        else {
            trailing = false;
            fracText[j] = std::string(1, d);
        }
    }
    for (size_t j = 0; j < fracSlots.size(); ++j) slotText[fracSlots[j]] = fracText[j];
    if (scientific) {
        std::string e = std::to_string(std::abs(exponent));
        int minDigits = 0;
        for (size_t k : expSlots) minDigits += toks[k].text == "0";
        while (static_cast<int>(e.size()) < minDigits) e.insert(e.begin(), '0');
        std::string head = toks[expAt].text.substr(0, 1);
        head += exponent < 0 ? "-" : (toks[expAt].text[1] == '+' ? "+" : "");
        slotText[expAt] = head + e;
        for (size_t k : expSlots) slotText[k].clear();
    }

    std::string out = sign ? "-" : "";
    bool intPlaced = nInt > 0;
    for (size_t k = 0; k < toks.size(); ++k) {
        const Tok& t = toks[k];
        switch (t.kind) {
        case T::Digit: out += slotText[k]; break;
        case T::Point:
            if (k == pointAt) {
                // With no integer placeholder the integer digits still show.
                if (!intPlaced) {
                    out += ip;
                    intPlaced = true;
                }
                out += loc.decimal;
            } else {
                out += '.';
            }
            break;
        case T::Exponent: out += slotText[k]; break;
        case T::Percent: out += '%'; break;
        case T::Comma: break;
        case T::General: out += renderGeneral(a, loc); break;
        case T::At: break;
        case T::DateSep: case T::TimeSep: out += t.text; break;
        case T::Literal: out += t.text; break;
        default: break;
        }
    }
    return out;
}

// ---- dates ------------------------------------------------------------------------

const char* const kMonthsEn[] = {"January", "February", "March", "April", "May", "June", "July",
                                 "August", "September", "October", "November", "December"};
const char* const kMonthsNl[] = {"januari", "februari", "maart", "april", "mei", "juni", "juli",
                                 "augustus", "september", "oktober", "november", "december"};
const char* const kMonthsShortNl[] = {"jan", "feb", "mrt", "apr", "mei", "jun",
                                      "jul", "aug", "sep", "okt", "nov", "dec"};
const char* const kDaysEn[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kDaysNl[] = {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag"};
const char* const kDaysShortNl[] = {"zo", "ma", "di", "wo", "do", "vr", "za"};

std::string pad2(long long v, int count) {
    std::string s = std::to_string(v);
    if (count >= 2 && s.size() < 2) s.insert(s.begin(), '0');
    return s;
}

// The first day of year 100 and of year 10000: the calendar that serials reach.
constexpr double kFirstSerial = -657434, kEndSerial = 2958466;

std::string renderDate(const Section& sec, double serial, const FormatLocale& loc) {
    if (!std::isfinite(serial) || std::trunc(serial) < kFirstSerial || serial >= kEndSerial) return "########";
    int subDigits = 0;
    bool elapsed = false;
    for (const auto& t : sec.toks) {
        if (t.kind == T::SubSecond) subDigits = std::max(subDigits, t.count);
        elapsed = elapsed || t.kind == T::ElapsedH || t.kind == T::ElapsedM || t.kind == T::ElapsedS;
    }
    // A negative duration has no [h]:mm form.
    if (elapsed && serial < 0) return "########";
    // Round once, to the finest unit shown, so 23:59:59.6 becomes the next day.
    // The integer part is the day and the fraction counts forward from its
    // midnight, also before 1899-12-30 (-1.25 is 29 December 1899, 6:00).
    const long long unitsPerSecond = subDigits == 0 ? 1 : subDigits == 1 ? 10 : subDigits == 2 ? 100 : 1000;
    const long long unitsPerDay = 86400 * unitsPerSecond;
    const double whole = std::trunc(serial);
    long long days = static_cast<long long>(whole);
    long long units = std::llround(std::fabs(serial - whole) * static_cast<double>(unitsPerDay));
    if (units >= unitsPerDay) {
        units -= unitsPerDay;
        days += 1;
    }
    const DateParts date = dateParts(static_cast<double>(days));
    const int dow = weekday(static_cast<double>(days)) - 1;
    const long long secs = units / unitsPerSecond;
    const long long sub = units % unitsPerSecond;
    long long hour = secs / 3600, minute = secs / 60 % 60, second = secs % 60;
    const bool nl = loc.language == FormatLocale::Language::Dutch;

    std::string out;
    for (const auto& t : sec.toks) {
        switch (t.kind) {
        case T::Year:
            if (t.count <= 2) out += pad2(date.year % 100, 2);
            else out += std::string(date.year < 1000 ? 4 - std::to_string(date.year).size() : 0, '0') + std::to_string(date.year);
            break;
        case T::Month:
            if (t.count <= 2) out += pad2(date.month, t.count);
            else {
                std::string name = nl ? kMonthsNl[date.month - 1] : kMonthsEn[date.month - 1];
                if (t.count == 3) name = nl ? kMonthsShortNl[date.month - 1] : name.substr(0, 3);
                else if (t.count >= 5) name = name.substr(0, 1);
                out += name;
            }
            break;
        case T::Day:
            if (t.count <= 2) out += pad2(date.day, t.count);
            else if (t.count == 3) out += nl ? kDaysShortNl[dow] : std::string(kDaysEn[dow]).substr(0, 3);
            else out += nl ? kDaysNl[dow] : kDaysEn[dow];
            break;
        case T::Hour: {
            long long h = hour;
            if (sec.hasAmPm) {
                h %= 12;
                if (h == 0) h = 12;
            }
            out += pad2(h, t.count);
            break;
        }
        case T::Minute: out += pad2(minute, t.count); break;
        case T::Second: out += pad2(second, t.count); break;
        case T::SubSecond: {
            std::string digits = std::to_string(sub);
            while (static_cast<int>(digits.size()) < subDigits) digits.insert(digits.begin(), '0');
            out += loc.decimal + digits.substr(0, static_cast<size_t>(t.count));
            break;
        }
        case T::ElapsedH: out += pad2(days * 24 + hour, t.count); break;
        case T::ElapsedM: out += pad2((days * 24 + hour) * 60 + minute, t.count); break;
        case T::ElapsedS: out += pad2(((days * 24 + hour) * 60 + minute) * 60 + second, t.count); break;
        case T::AmPm: {
            bool pm = hour >= 12;
            if (t.text.size() == 3) {  // A/P keeps the case written
                out += pm ? t.text[2] : t.text[0];
            } else {
                bool lower = std::islower(static_cast<unsigned char>(t.text[0])) != 0;
                out += pm ? (lower ? "pm" : "PM") : (lower ? "am" : "AM");
            }
            break;
        }
        case T::DateSep: out += loc.dateSeparator; break;
        case T::TimeSep: out += loc.timeSeparator; break;
        case T::Literal: out += t.text; break;
        case T::Point: out += '.'; break;
        case T::Comma: out += ','; break;
        case T::Percent: out += '%'; break;
        case T::Digit: out += t.text; break;
        default: break;
        }
    }
    return out;
}

std::string renderText(const Section& sec, const std::string& text) {
    std::string out;
    for (const auto& t : sec.toks) {
        if (t.kind == T::At) out += text;
        else if (t.kind == T::Literal || t.kind == T::DateSep || t.kind == T::TimeSep) out += t.text;
    }
    return out;
}

std::string formatNumberWith(const std::vector<Section>& secs, double v, bool dateValue, const FormatLocale& loc) {
    const Section* sec = &secs[0];
    bool sign = false;
    double x = v;
    const size_t numberSections = std::min<size_t>(secs.size(), 3);
    bool conditional = false;
    for (size_t k = 0; k < numberSections; ++k) conditional = conditional || secs[k].hasCondition;
    if (conditional) {
        // The first section whose condition holds; the first one without a
        // condition takes the rest; a value no section takes cannot be shown.
        sec = nullptr;
        for (size_t k = 0; k < numberSections && !sec; ++k)
            if (secs[k].hasCondition && secs[k].accepts(v)) sec = &secs[k];
        for (size_t k = 0; k < numberSections && !sec; ++k)
            if (!secs[k].hasCondition) sec = &secs[k];
        if (!sec) return "########";
        sign = v < 0;
        x = std::fabs(v);
    } else if (v < 0) {
        if (secs.size() >= 2) {
            sec = &secs[1];
            x = -v;
        } else {
            sign = true;
        }
    } else if (v == 0 && secs.size() >= 3) {
        sec = &secs[2];
    }
    if (sec->isDate) {
        // A date keeps its sign: a serial below zero is a day before 1899-12-30.
        if (dateValue) return renderDate(*sec, v, loc);
        if (sign) return "########";
        return renderDate(*sec, x, loc);
    }
    // A text-only section shows the number as General where the @ stands.
    if (!sec->hasDigits && !sec->hasGeneral && sec->hasAt) {
        std::string out;
        for (const auto& t : sec->toks) {
            if (t.kind == T::At) out += renderGeneral(v, loc);
            else if (t.kind == T::Literal) out += t.text;
        }
        return out;
    }
    if (!sec->hasDigits && !sec->hasGeneral && sec->toks.empty()) return {};
    size_t slash = 0;
    if (findFraction(*sec, slash)) return renderFraction(*sec, slash, x, sign, loc);
    return renderNumber(*sec, x, sign, loc);
}

bool isGeneral(std::string_view format) {
    std::string t = trimBlanks(format);
    return t.empty() || equalsNoCase(t, "General");
}

}  // namespace

std::string formatGeneral(double value, const FormatLocale& locale) { return renderGeneral(value, locale); }

void checkNumberFormat(std::string_view format) { (void)parseFormat(format); }

bool isDateTimeFormat(std::string_view format) {
    if (isGeneral(format)) return false;
    auto secs = parseFormat(format);
    return secs[0].isDate;
}

bool isTextFormat(std::string_view format) {
    if (isGeneral(format)) return false;
    auto secs = parseFormat(format);
    const Section& s = secs[0];
    return secs.size() == 1 && s.hasAt && !s.hasDigits && !s.hasGeneral && !s.isDate;
}

DateOrder dateOrder(std::string_view format) {
    if (isGeneral(format)) return DateOrder::Neither;
    auto secs = parseFormat(format);
    if (!secs[0].isDate) return DateOrder::Neither;
    const auto& toks = secs[0].toks;
    size_t day = toks.size(), month = toks.size();
    for (size_t k = 0; k < toks.size(); ++k) {
        // ddd and dddd name the weekday; they say nothing of the order.
        if (toks[k].kind == T::Day && toks[k].count <= 2 && day == toks.size()) day = k;
        if (toks[k].kind == T::Month && month == toks.size()) month = k;
    }
    if (day == toks.size() || month == toks.size()) return DateOrder::Neither;
    return day < month ? DateOrder::DayFirst : DateOrder::MonthFirst;
}

std::string formatValue(const Variant& value, std::string_view format, const FormatLocale& loc) {
    const bool general = isGeneral(format);
    std::vector<Section> secs;
    if (!general) secs = parseFormat(format);
    const bool nl = loc.language == FormatLocale::Language::Dutch;
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Error:
        return {};
    case VarType::Boolean:
        return value.toBool() ? (nl ? "WAAR" : "TRUE") : (nl ? "ONWAAR" : "FALSE");
    case VarType::String: {
        if (general) return value.stringRef();
        if (secs.size() >= 4) return renderText(secs[3], value.stringRef());
        if (secs.size() == 1 && secs[0].hasAt) return renderText(secs[0], value.stringRef());
        return value.stringRef();
    }
    case VarType::ByteArray:
        return value.toString();
    default: {
        double v = value.type() == VarType::Date ? value.toDateSerial() : value.toDouble();
        if (value.type() == VarType::Single) {
            // Show a single as the 7 digits it holds, not its binary tail.
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.7g", v);
            v = std::strtod(buf, nullptr);
        }
        if (general) return renderGeneral(v, loc);
        return formatNumberWith(secs, v, value.type() == VarType::Date, loc);
    }
    }
}

}  // namespace dalvera
