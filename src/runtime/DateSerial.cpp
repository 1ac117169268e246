#include "runtime/DateSerial.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace dalvera {

namespace {
// Days from civil, proleptic Gregorian (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long kEpoch = daysFromCivil(1899, 12, 30);

int daysInMonth(int y, int m) {
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return dm[m - 1];
}

// Splits on any of the separators; digits only.
bool splitNumbers(std::string_view s, const char* seps, std::vector<int>& out) {
    out.clear();
    int cur = -1;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            if (cur < 0) cur = 0;
            if (cur > 100000) return false;
            cur = cur * 10 + (c - '0');
        } else {
            bool sep = false;
            for (const char* p = seps; *p; ++p) sep = sep || *p == c;
            if (!sep || cur < 0) return false;
            out.push_back(cur);
            cur = -1;
        }
    }
    if (cur < 0) return false;
    out.push_back(cur);
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool parseTime(std::string_view t, double& frac) {
    t = trim(t);
    bool pm = false, am = false;
    auto endsWithCI = [&](std::string_view suf) {
        if (t.size() < suf.size()) return false;
        for (size_t i = 0; i < suf.size(); ++i) {
            char a = t[t.size() - suf.size() + i];
            if (std::tolower(static_cast<unsigned char>(a)) != suf[i]) return false;
        }
        return true;
    };
    if (endsWithCI("pm")) { pm = true; t = trim(t.substr(0, t.size() - 2)); }
    else if (endsWithCI("am")) { am = true; t = trim(t.substr(0, t.size() - 2)); }
    // Fractions of a second ("10:20:30.125"), as ISO stamps and the database write them.
    double fraction = 0;
    size_t point = t.find_first_of(".,");
    if (point != std::string_view::npos) {
        std::string_view digits = t.substr(point + 1);
        if (digits.empty() || digits.size() > 9 || std::count(t.begin(), t.begin() + point, ':') != 2) return false;
        double scale = 0.1;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            fraction += (c - '0') * scale;
            scale /= 10;
        }
        t = t.substr(0, point);
    }
    std::vector<int> n;
    if (!splitNumbers(t, ":", n) || n.size() < 2 || n.size() > 3) return false;
    int h = n[0], mi = n[1], se = n.size() == 3 ? n[2] : 0;
    if (am || pm) {
        if (h < 1 || h > 12) return false;
        if (pm && h != 12) h += 12;
        if (am && h == 12) h = 0;
    }
    if (h > 23 || mi > 59 || se > 59) return false;
    frac = (h * 3600 + mi * 60 + se + fraction) / 86400.0;
    return true;
}

bool finishDate(int y, int m, int d, std::string_view timePart, double& serial) {
    if (y < 100) y += y < 30 ? 2000 : 1900;
    DateParts p{y, m, d, 0, 0, 0};
    double base;
    if (!makeDateSerial(p, base)) return false;
    double frac = 0;
    if (!trim(timePart).empty() && !parseTime(timePart, frac)) return false;
    serial = base + (base < 0 ? -frac : frac);
    return true;
}

bool parseDateGeneric(std::string_view text, bool dayFirst, bool allowDot, double& serial) {
    text = trim(text);
    if (text.empty()) return false;
    std::string_view datePart = text, timePart;
    size_t sp = text.find_first_of(" T");
    if (sp != std::string_view::npos) {
        datePart = text.substr(0, sp);
        timePart = text.substr(sp + 1);
    }
    if (datePart.find(':') != std::string_view::npos && timePart.empty()) {
        double frac;
        if (!parseTime(text, frac)) return false;
        serial = frac;
        return true;
    }
    std::vector<int> n;
    const char* seps = allowDot ? "/-." : "/-";
    if (!splitNumbers(datePart, seps, n) || n.size() != 3) return false;
    // An ISO date starts with a four-digit year.
    size_t firstLen = datePart.find_first_of(seps);
    if (firstLen == 4) return finishDate(n[0], n[1], n[2], timePart, serial);
    if (dayFirst) return finishDate(n[2], n[1], n[0], timePart, serial);
    return finishDate(n[2], n[0], n[1], timePart, serial);
}
}  // namespace

bool makeDateSerial(const DateParts& p, double& serial) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > daysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
        p.minute > 59 || p.second < 0 || p.second > 59)
        return false;
    double days = static_cast<double>(daysFromCivil(p.year, static_cast<unsigned>(p.month),
                                                    static_cast<unsigned>(p.day)) - kEpoch);
    double frac = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
    // Before the epoch the fraction counts away from zero, as in the hosts.
    serial = days < 0 ? days - frac : days + frac;
    return true;
}

double dateSerial(int year, int month, int day, int hour, int minute, int second) {
    double s = 0;
    makeDateSerial(DateParts{year, month, day, hour, minute, second}, s);
    return s;
}

DateParts dateParts(double serial) {
    DateParts p;
    if (!std::isfinite(serial) || std::fabs(serial) > 1e9) return p;  // no calendar day; keeps the cast defined
    // The integer part names the day, the fraction counts forward from its
    // midnight, also before the epoch: -1.25 is 29 December 1899, 6:00.
    double days = std::trunc(serial);
    double frac = std::fabs(serial - days);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        // Rounded up to the next midnight: the next calendar day, whichever the sign.
        secs -= 86400;
        days += 1;
    }
    civilFromDays(static_cast<long long>(days) + kEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

int weekday(double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 1e9) return 1;
    // The day is the integer part, also before the epoch (-1.25 is a Friday).
    long long days = static_cast<long long>(std::trunc(serial));
    // 1899-12-30 was a Saturday (7).
    long long w = ((days + 6) % 7 + 7) % 7;  // 0 = Sunday
    return static_cast<int>(w) + 1;
}

bool parseDateText(std::string_view text, double& serial) {
    return parseDateGeneric(text, false, false, serial);
}

bool parseDateEntry(std::string_view text, bool dayFirst, double& serial) {
    return parseDateGeneric(text, dayFirst, true, serial);
}

std::string formatDateDefault(double serial) {
    DateParts p = dateParts(serial);
    char buf[64];
    bool hasTime = p.hour || p.minute || p.second;
    bool hasDate = std::trunc(serial) != 0;
    if (hasDate && hasTime)
        std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d", p.month, p.day, p.year, p.hour, p.minute, p.second);
    else if (hasDate)
        std::snprintf(buf, sizeof buf, "%d/%d/%d", p.month, p.day, p.year);
    else
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d", p.hour, p.minute, p.second);
    return buf;
}

std::string formatDateIso(double serial, bool dateOnlyWhenMidnight) {
    DateParts p = dateParts(serial);
    char buf[64];
    if (dateOnlyWhenMidnight && !p.hour && !p.minute && !p.second)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
    return buf;
}

}  // namespace dalvera
