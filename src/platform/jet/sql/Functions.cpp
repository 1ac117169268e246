// The dialect's functions as SQLite functions. Dates go in as storage text,
// serial numbers or ISO / month-first text and come out as storage text;
// Booleans come out as -1 / 0.
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "platform/jet/sql/Format.h"
#include "platform/jet/sql/JetSql.h"
#include "platform/jet/sql/Operators.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"
#include "runtime/Like.h"

namespace dalvera::jet {

namespace {

// Raised inside a function body; becomes the statement's error.
struct FunctionError {
    std::string message;
};

[[noreturn]] void fail(const std::string& message) { throw FunctionError{message}; }
// The engine's text first, so that it reads as the engine's error; the number last.
[[noreturn]] void fail(long number, const std::string& text, const std::string& detail = {}) {
    fail(text + (detail.empty() ? "" : ": " + detail) + " (error " + std::to_string(number) + ")");
}
[[noreturn]] void invalidUseOfNull() { fail(94, "Invalid use of Null"); }
[[noreturn]] void typeMismatch() { fail(3464, "Data type mismatch in criteria expression"); }
[[noreturn]] void invalidArgument(const std::string& detail = {}) {
    fail(5, "Invalid procedure call or argument", detail);
}
[[noreturn]] void overflow(const std::string& detail = {}) { fail(6, "Overflow", detail); }

// Longest text a function or an operator builds: 2^26 characters. Far above
// what a Memo shows, and it keeps Space(1e9) from taking gigabytes.
constexpr size_t kTextLimit = size_t{1} << 26;

[[noreturn]] void textTooLong(const std::string& what, size_t characters) {
    fail(14, "Out of string space",
         what + " would make a text of " + std::to_string(characters) + " characters; texts hold at most " +
             std::to_string(kTextLimit));
}
// A UTF-8 text of more bytes than the limit may still be within it in characters.
void limitText(const std::string& s, const std::string& what) {
    if (s.size() > kTextLimit) {
        size_t n = utf8Length(s);
        if (n > kTextLimit) textTooLong(what, n);
    }
}

// Below this a double rounds to a finite float (half way to the next power of two).
constexpr double kSingleLimit = 3.4028235677973366e38;

// Dates run from 1 January 100 to 31 December 9999.
bool dateInRange(double serial) { return serial > -657435.0 && serial < 2958466.0; }
const char* const kDateRange = "dates run from 1/1/100 to 12/31/9999";

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string textOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_FLOAT: return formatDouble(sqlite3_value_double(v));
    case SQLITE_NULL: return {};
    default: {
        const unsigned char* t = sqlite3_value_text(v);
        return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v)))
                 : std::string();
    }
    }
}

bool radixPrefix(std::string_view t) {
    return t.size() >= 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o');
}

// The digits of an &H or &O number from t[2] on, up to the first that is not
// one (end tells where). Up to &HFFFF the value is a 16-bit Integer and up to
// &HFFFFFFFF a 32-bit Long, so that &HFFFF is -1 as the engine reads it.
double radixNumber(std::string_view t, size_t& end) {
    const int base = (t[1] == 'H' || t[1] == 'h') ? 16 : 8;
    long long v = 0;
    size_t i = 2;
    for (; i < t.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(t[i]);
        int digit = std::isdigit(ch) ? ch - '0' : std::isxdigit(ch) ? std::tolower(ch) - 'a' + 10 : 99;
        if (digit >= base) break;
        v = v * base + digit;
        if (v > 0xFFFFFFFFLL) overflow("&H and &O numbers hold at most 32 bits");
    }
    end = i;
    if (v <= 0xFFFF) return static_cast<double>(v >= 0x8000 ? v - 0x10000 : v);
    return static_cast<double>(v >= 0x80000000LL ? v - 0x100000000LL : v);
}

double numberOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_NULL: invalidUseOfNull();
    default: {
        std::string t = trimBlanks(textOf(v));
        double d = 0;
        if (parseNumber(t, d)) return d;
        if (radixPrefix(t)) {
            size_t end = 0;
            d = radixNumber(t, end);
            if (end == t.size() && end > 2) return d;
            typeMismatch();
        }
        if (equalsNoCase(t, "True")) return -1;
        if (equalsNoCase(t, "False")) return 0;
        double serial = 0;
        if (parseDateWithMillis(t, serial)) return serial;
        typeMismatch();
    }
    }
}

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The names are the dialect's English ones, whatever language the user interface speaks.
int monthOfName(std::string_view w) {
    for (int m = 0; m < 12; ++m) {
        std::string_view full = kMonthNames[m];
        if (equalsNoCase(w, full) || equalsNoCase(w, full.substr(0, 3))) return m + 1;
    }
    return equalsNoCase(w, "Sept") ? 9 : 0;
}

bool isDayName(std::string_view w) {
    for (std::string_view full : kDayNames)
        if (equalsNoCase(w, full) || equalsNoCase(w, full.substr(0, 3))) return true;
    return false;
}

bool allDigits(std::string_view w) {
    return !w.empty() && w.size() <= 4 && w.find_first_not_of("0123456789") == std::string_view::npos;
}

// A date with its month's name, as Format's named formats write them:
// "31 Jan 2024", "January 31, 2024", "Wednesday, January 31, 2024", "31-Jan-24 1:05 PM".
bool parseNamedDate(std::string_view text, double& serial) {
    auto separator = [](char ch) {
        return ch == ' ' || ch == '\t' || ch == ',' || ch == '-' || ch == '/' || ch == '.';
    };
    std::vector<std::string_view> words;
    std::string_view timePart;
    for (size_t i = 0; i < text.size();) {
        if (separator(text[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < text.size() && !separator(text[j])) ++j;
        std::string_view w = text.substr(i, j - i);
        if (w.find(':') != std::string_view::npos) {
            timePart = text.substr(i);  // the time runs to the end
            break;
        }
        words.push_back(w);
        i = j;
    }
    if (words.size() == 4 && isDayName(words[0])) words.erase(words.begin());
    if (words.size() != 3) return false;
    int month = 0, day = 0, year = 0;
    if (monthOfName(words[0]) && allDigits(words[1]) && allDigits(words[2])) {
        month = monthOfName(words[0]);
        day = std::atoi(std::string(words[1]).c_str());
        year = std::atoi(std::string(words[2]).c_str());
    } else if (allDigits(words[0]) && monthOfName(words[1]) && allDigits(words[2])) {
        day = std::atoi(std::string(words[0]).c_str());
        month = monthOfName(words[1]);
        year = std::atoi(std::string(words[2]).c_str());
    } else {
        return false;
    }
    if (words[2].size() <= 2) year += year < 30 ? 2000 : 1900;
    double base = 0;
    if (!makeDateSerial(DateParts{year, month, day, 0, 0, 0}, base)) return false;
    double time = 0;
    if (!timePart.empty() && !parseDateText("1899-12-30 " + std::string(timePart), time)) return false;
    serial = base < 0 ? base - time : base + time;
    return true;
}

// A date as the dialect writes it, a time alone ("1:05 PM") or a date with its month's name.
bool readDate(std::string_view t, double& serial) {
    if (parseDateWithMillis(t, serial)) return true;
    if (t.find(':') != std::string_view::npos && t.find_first_of("/-") == std::string_view::npos &&
        parseDateText("1899-12-30 " + std::string(t), serial))
        return true;
    return parseNamedDate(t, serial);
}

// Every value that becomes a date passes here, so no serial outside the calendar gets through.
double dateOf(sqlite3_value* v) {
    double serial = 0;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: serial = sqlite3_value_double(v); break;
    case SQLITE_NULL: invalidUseOfNull();
    default: {
        std::string t = trimBlanks(textOf(v));
        if (!readDate(t, serial) && !parseNumber(t, serial)) typeMismatch();
    }
    }
    if (!dateInRange(serial)) overflow(kDateRange);
    return serial;
}

// Whole number the way the engine converts: half to even, within the range.
long long roundToInteger(double d, double lo, double hi) {
    double r = std::nearbyint(d);  // default rounding mode is to nearest, ties to even
    if (std::isnan(r) || r < lo || r > hi) overflow();
    return static_cast<long long>(r);
}

long long longOf(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        long long n = sqlite3_value_int64(v);
        if (n < -2147483648LL || n > 2147483647LL) overflow();
        return n;
    }
    return roundToInteger(numberOf(v), -2147483648.0, 2147483647.0);
}

void resultText(sqlite3_context* c, const std::string& s) {
    if (s.size() > static_cast<size_t>(INT_MAX)) return sqlite3_result_error_toobig(c);
    sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void resultDate(sqlite3_context* c, double serial) {
    if (!dateInRange(serial)) overflow(kDateRange);
    resultText(c, dateToStorage(serial));
}
void resultBool(sqlite3_context* c, bool b) { sqlite3_result_int(c, b ? -1 : 0); }

// The value as a whole number when it is one, else a double.
void resultNumber(sqlite3_context* c, double d) {
    if (!std::isfinite(d)) overflow();
    if (std::floor(d) == d && std::fabs(d) < 9.2e18)
        sqlite3_result_int64(c, static_cast<long long>(d));
    else
        sqlite3_result_double(c, d);
}

// A Double result; beyond the range it is an Overflow, never infinity.
void resultDouble(sqlite3_context* c, double d) {
    if (!std::isfinite(d)) overflow();
    sqlite3_result_double(c, d);
}

bool truthOf(sqlite3_value* v) { return numberOf(v) != 0; }

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

template <Body F>
void call(sqlite3_context* c, int argc, sqlite3_value** argv) {
    try {
        F(c, argc, argv);
    } catch (const FunctionError& e) {
        sqlite3_result_error(c, e.message.c_str(), -1);
    } catch (const Error& e) {
        sqlite3_result_error(c, e.description().c_str(), -1);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(c);
    } catch (const std::exception& e) {
        sqlite3_result_error(c, e.what(), -1);
    }
}

// Null in any of the first n arguments gives Null.
bool anyNull(int n, sqlite3_value** argv) {
    for (int i = 0; i < n; ++i)
        if (isNull(argv[i])) return true;
    return false;
}

// ---- text helpers (UTF-8 code points) ----

std::vector<std::string> codePoints(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + len > s.size()) len = s.size() - i;
        out.push_back(s.substr(i, len));
        i += len;
    }
    return out;
}

std::string joinPoints(const std::vector<std::string>& v, size_t from, size_t count) {
    std::string r;
    for (size_t i = from; i < v.size() && i < from + count; ++i) r += v[i];
    return r;
}

// Case mapping for ASCII and the Latin-1 letters (U+00C0..U+00FE).
std::string caseMap(const std::string& s, bool upper) {
    std::string r = s;
    for (size_t i = 0; i < r.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(r[i]);
        if (b < 0x80) {
            if (upper && b >= 'a' && b <= 'z') r[i] = static_cast<char>(b - 32);
            if (!upper && b >= 'A' && b <= 'Z') r[i] = static_cast<char>(b + 32);
        } else if (b == 0xC3 && i + 1 < r.size()) {
            unsigned char n = static_cast<unsigned char>(r[i + 1]);
            if (upper && n >= 0xA0 && n <= 0xBE && n != 0xB7) r[i + 1] = static_cast<char>(n - 0x20);
            if (!upper && n >= 0x80 && n <= 0x9E && n != 0x97) r[i + 1] = static_cast<char>(n + 0x20);
            ++i;
        }
    }
    return r;
}

// ---- date and time ----

double nowSerial() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return dateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec);
}

void fnNow(sqlite3_context* c, int, sqlite3_value**) { resultDate(c, nowSerial()); }
void fnDate(sqlite3_context* c, int, sqlite3_value**) { resultDate(c, std::floor(nowSerial())); }
void fnTime(sqlite3_context* c, int, sqlite3_value**) {
    double s = nowSerial();
    resultDate(c, s - std::floor(s));
}

template <int DateParts::*Field>
void fnPart(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    sqlite3_result_int(c, dateParts(dateOf(argv[0])).*Field);
}

void fnWeekday(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    int first = argc > 1 && !isNull(argv[1]) ? static_cast<int>(longOf(argv[1])) : 1;
    if (first == 0) first = 1;
    if (first < 1 || first > 7) invalidArgument();
    sqlite3_result_int(c, (weekday(dateOf(argv[0])) - first + 7) % 7 + 1);
}

// Months added to a date; false when the result leaves the calendar.
bool addMonths(double serial, long long months, double& out) {
    DateParts p = dateParts(serial);
    long long total = static_cast<long long>(p.year) * 12 + (p.month - 1) + months;
    if (total < 100 * 12 || total > 9999 * 12 + 11) return false;
    int year = static_cast<int>(total / 12);
    int month = static_cast<int>(total % 12) + 1;
    // Past the month's end the date sticks to its last day.
    int day = p.day;
    while (day > 28) {
        DateParts q{year, month, day, 0, 0, 0};
        double probe = 0;
        if (makeDateSerial(q, probe)) break;
        --day;
    }
    out = dateSerial(year, month, day, p.hour, p.minute, p.second);
    return true;
}

std::string intervalOf(sqlite3_value* v) { return lowerAscii(trimBlanks(textOf(v))); }

void fnDateAdd(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(c);
    const std::string iv = intervalOf(argv[0]);
    const double n = std::trunc(numberOf(argv[1]));
    const double d = dateOf(argv[2]);
    const char* const beyond = "DateAdd would give a date outside 1/1/100 to 12/31/9999";
    // Ten thousand years are some 3.2e11 seconds; more leaves the calendar in any unit.
    if (!(std::fabs(n) < 1e12)) invalidArgument(beyond);
    const long long whole = static_cast<long long>(n);
    // The day and the time of day apart: before the zero day the serial's
    // fraction counts away from zero, so plain addition would move the time.
    const double day = std::trunc(d), time = std::fabs(d - day);
    auto at = [](double dayNumber, double fraction) {
        return dayNumber < 0 ? dayNumber - fraction : dayNumber + fraction;
    };
    double r = 0;
    bool ok = true;
    if (iv == "yyyy")
        ok = addMonths(d, whole * 12, r);
    else if (iv == "q")
        ok = addMonths(d, whole * 3, r);
    else if (iv == "m")
        ok = addMonths(d, whole, r);
    else if (iv == "y" || iv == "d" || iv == "w")
        r = at(day + static_cast<double>(whole), time);
    else if (iv == "ww")
        r = at(day + 7.0 * static_cast<double>(whole), time);
    else if (iv == "h" || iv == "n" || iv == "s") {
        double seconds = iv == "h" ? 3600.0 * whole : iv == "n" ? 60.0 * whole : static_cast<double>(whole);
        double secs = time * 86400.0 + seconds;
        double days = std::floor(secs / 86400.0);
        secs -= days * 86400.0;
        r = at(day + days, secs / 86400.0);
    } else {
        invalidArgument("'" + iv + "' is no interval of DateAdd");
    }
    if (!ok || !dateInRange(r)) invalidArgument(beyond);
    resultDate(c, r);
}

long long dayNumber(const DateParts& p) { return static_cast<long long>(dateSerial(p.year, p.month, p.day)); }

void fnDateDiff(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(c);
    const std::string iv = intervalOf(argv[0]);
    const DateParts a = dateParts(dateOf(argv[1]));
    const DateParts b = dateParts(dateOf(argv[2]));
    const long long da = dayNumber(a), db = dayNumber(b);
    long long r = 0;
    if (iv == "yyyy")
        r = b.year - a.year;
    else if (iv == "q")
        r = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
    else if (iv == "m")
        r = (b.year * 12LL + b.month) - (a.year * 12LL + a.month);
    else if (iv == "y" || iv == "d")
        r = db - da;
    else if (iv == "w")
        r = (db - da) / 7;
    else if (iv == "ww") {
        // Week boundaries crossed; weeks start on the given day (Sunday by default).
        int first = argc > 3 && !isNull(argv[3]) ? static_cast<int>(longOf(argv[3])) : 1;
        if (first == 0) first = 1;
        if (first < 1 || first > 7) invalidArgument();
        auto weekStart = [&](long long day) {
            int wd = weekday(static_cast<double>(day));
            return day - ((wd - first + 7) % 7);
        };
        r = (weekStart(db) - weekStart(da)) / 7;
    } else if (iv == "h" || iv == "n" || iv == "s") {
        long long sa = da * 86400 + a.hour * 3600 + a.minute * 60 + a.second;
        long long sb = db * 86400 + b.hour * 3600 + b.minute * 60 + b.second;
        long long unit = iv == "h" ? 3600 : iv == "n" ? 60 : 1;
        auto floorDiv = [](long long x, long long u) { return x >= 0 ? x / u : -((-x + u - 1) / u); };
        r = floorDiv(sb, unit) - floorDiv(sa, unit);
    } else {
        invalidArgument();
    }
    sqlite3_result_int64(c, r);
}

// DatePart(interval, date[, firstdayofweek[, firstweekofyear]]). Weeks start
// on firstdayofweek (0 = the system's, Sunday; 1 = Sunday .. 7 = Saturday).
// Week 1 is the week of January 1 (firstweekofyear 0 or 1), the first week with
// four days of the year (2) or the first full week (3); days before it belong
// to the last week of the year before. With four-day weeks the last days of
// December may already be week 1 of the next year; the week of January 1
// keeps them as week 53 or 54.
void fnDatePart(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[1])) return sqlite3_result_null(c);
    const std::string iv = intervalOf(argv[0]);
    const double d = dateOf(argv[1]);
    const DateParts p = dateParts(d);
    int first = argc > 2 && !isNull(argv[2]) ? static_cast<int>(longOf(argv[2])) : 0;
    int weekRule = argc > 3 && !isNull(argv[3]) ? static_cast<int>(longOf(argv[3])) : 0;
    if (first < 0 || first > 7 || weekRule < 0 || weekRule > 3) invalidArgument();
    if (first == 0) first = 1;
    if (weekRule == 0) weekRule = 1;
    // Days from the start of the week to the day, 0 to 6.
    auto intoWeek = [&](long long day) { return (weekday(static_cast<double>(day)) - first + 7) % 7; };
    auto weekOneStart = [&](int year) {
        long long jan1 = static_cast<long long>(dateSerial(year, 1, 1));
        long long start = jan1 - intoWeek(jan1);
        int daysInYear = 7 - intoWeek(jan1);
        if ((weekRule == 2 && daysInYear < 4) || (weekRule == 3 && daysInYear < 7)) start += 7;
        return start;
    };
    long long r = 0;
    if (iv == "yyyy") r = p.year;
    else if (iv == "q") r = (p.month - 1) / 3 + 1;
    else if (iv == "m") r = p.month;
    else if (iv == "y") r = dayNumber(p) - static_cast<long long>(dateSerial(p.year, 1, 1)) + 1;
    else if (iv == "d") r = p.day;
    else if (iv == "w") r = intoWeek(dayNumber(p)) + 1;
    else if (iv == "ww") {
        const long long day = dayNumber(p);
        long long start = weekOneStart(p.year);
        if (weekRule == 2 && p.year < 9999 && day >= weekOneStart(p.year + 1)) start = weekOneStart(p.year + 1);
        else if (day < start) start = weekOneStart(p.year - 1);
        r = (day - start) / 7 + 1;
    } else if (iv == "h") r = p.hour;
    else if (iv == "n") r = p.minute;
    else if (iv == "s") r = p.second;
    else invalidArgument();
    sqlite3_result_int64(c, r);
}

// An argument the engine takes as an Integer (-32768 to 32767), rounded half to even.
long long integerOf(sqlite3_value* v, const char* function) {
    double r = std::nearbyint(numberOf(v));
    if (!(r >= -32768.0 && r <= 32767.0)) overflow(std::string(function) + " takes whole numbers from -32768 to 32767");
    return static_cast<long long>(r);
}

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void fnDateSerial(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(c);
    long long y = integerOf(argv[0], "DateSerial"), m = integerOf(argv[1], "DateSerial"),
              d = integerOf(argv[2], "DateSerial");
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    // Months and days out of range roll over into the years and months, as the engine does.
    long long months = y * 12 + (m - 1);
    long long year = floorDiv(months, 12);
    if (year < 100 || year > 9999) overflow(kDateRange);
    double first = dateSerial(static_cast<int>(year), static_cast<int>(months - year * 12) + 1, 1);
    resultDate(c, first + static_cast<double>(d - 1));
}

// TimeSerial(h, m, s): seconds out of range roll over into minutes, hours and
// days; before the zero day's midnight the time lies on the days before it.
void fnTimeSerial(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(c);
    long long total = integerOf(argv[0], "TimeSerial") * 3600 + integerOf(argv[1], "TimeSerial") * 60 +
                      integerOf(argv[2], "TimeSerial");
    long long days = floorDiv(total, 86400);
    double time = static_cast<double>(total - days * 86400) / 86400.0;
    resultDate(c, days < 0 ? static_cast<double>(days) - time : static_cast<double>(days) + time);
}

// DateValue: the day of a date, its time dropped.
void fnDateValue(sqlite3_context* c, int, sqlite3_value** argv) {
    resultDate(c, std::trunc(dateOf(argv[0])));
}

// TimeValue: the time of a date, on the zero day.
void fnTimeValue(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = dateOf(argv[0]);
    resultDate(c, std::fabs(d - std::trunc(d)));
}

void fnIsDate(sqlite3_context* c, int, sqlite3_value** argv) {
    // Numbers are no dates, though they convert to one.
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return resultBool(c, false);
    double serial = 0;
    resultBool(c, readDate(trimBlanks(textOf(argv[0])), serial) && dateInRange(serial));
}

// The number of a month or a day of the week, checked.
long long ordinalOf(sqlite3_value* v, long long last, const char* what) {
    if (isNull(v)) invalidUseOfNull();
    long long n = longOf(v);
    if (n < 1 || n > last) invalidArgument(std::string(what) + " must lie between 1 and " + std::to_string(last));
    return n;
}

bool abbreviated(int argc, sqlite3_value** argv, int at) {
    if (argc <= at) return false;
    if (isNull(argv[at])) invalidUseOfNull();
    return truthOf(argv[at]);
}

void fnMonthName(sqlite3_context* c, int argc, sqlite3_value** argv) {
    std::string name = kMonthNames[ordinalOf(argv[0], 12, "The month") - 1];
    resultText(c, abbreviated(argc, argv, 1) ? name.substr(0, 3) : name);
}

// WeekdayName(n[, abbreviate[, firstdayofweek]]): day n of a week that starts on
// firstdayofweek (1 = Sunday, the default; 0 is the system's, also Sunday).
void fnWeekdayName(sqlite3_context* c, int argc, sqlite3_value** argv) {
    long long n = ordinalOf(argv[0], 7, "The day of the week");
    bool shortName = abbreviated(argc, argv, 1);
    long long first = 1;
    if (argc > 2) {
        if (isNull(argv[2])) invalidUseOfNull();
        first = longOf(argv[2]);
        if (first < 0 || first > 7) invalidArgument("The first day of the week must lie between 0 and 7");
        if (first == 0) first = 1;
    }
    std::string name = kDayNames[(n - 1 + first - 1) % 7];
    resultText(c, shortName ? name.substr(0, 3) : name);
}

// ---- logic ----

void fnIIf(sqlite3_context* c, int, sqlite3_value** argv) {
    bool cond = !isNull(argv[0]) && truthOf(argv[0]);
    sqlite3_result_value(c, argv[cond ? 1 : 2]);
}

void fnNz(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (!isNull(argv[0])) return sqlite3_result_value(c, argv[0]);
    if (argc > 1) return sqlite3_result_value(c, argv[1]);
    resultText(c, "");  // the engine's Empty, as a zero-length text
}

// Choose(i, a, b, ...): the i-th value, Null when i is out of range.
void fnChoose(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (argc < 2) fail("Choose needs an index and at least one value");
    if (isNull(argv[0])) invalidUseOfNull();
    // The index is truncated, as the engine does for Choose.
    double index = std::trunc(numberOf(argv[0]));
    if (index < 1 || index >= argc) return sqlite3_result_null(c);
    long long i = static_cast<long long>(index);
    sqlite3_result_value(c, argv[i]);
}

// Switch(c1, v1, c2, v2, ...): the value of the first true condition, else Null.
void fnSwitch(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (argc < 2 || argc % 2) fail("Switch needs pairs of conditions and values");
    for (int i = 0; i < argc; i += 2)
        if (!isNull(argv[i]) && truthOf(argv[i])) return sqlite3_result_value(c, argv[i + 1]);
    sqlite3_result_null(c);
}

// ---- text ----

void fnLen(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    sqlite3_result_int64(c, static_cast<long long>(utf8Length(textOf(argv[0]))));
}

size_t countOf(sqlite3_value* v) {
    if (isNull(v)) invalidUseOfNull();
    long long n = longOf(v);
    if (n < 0) invalidArgument();
    return static_cast<size_t>(n);
}

void fnLeft(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    size_t n = countOf(argv[1]);
    resultText(c, utf8Left(textOf(argv[0]), n));
}

void fnRight(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    size_t n = countOf(argv[1]);
    auto cp = codePoints(textOf(argv[0]));
    size_t from = n >= cp.size() ? 0 : cp.size() - n;
    resultText(c, joinPoints(cp, from, cp.size()));
}

void fnMid(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    if (isNull(argv[1])) invalidUseOfNull();
    long long start = longOf(argv[1]);
    if (start < 1) invalidArgument();
    auto cp = codePoints(textOf(argv[0]));
    size_t count = argc > 2 ? countOf(argv[2]) : cp.size();
    resultText(c, joinPoints(cp, static_cast<size_t>(start - 1), count));
}

// The compare argument: 0 compares binary, 1 (text) and 2 (the database's order)
// without regard to case.
bool binaryCompare(sqlite3_value* v) {
    if (isNull(v)) invalidUseOfNull();
    long long mode = longOf(v);
    if (mode < 0 || mode > 2) invalidArgument("compare must be 0, 1 or 2");
    return mode == 0;
}

// InStr([start,] s1, s2[, compare]): text comparison (case-insensitive) unless compare is 0.
void fnInStr(sqlite3_context* c, int argc, sqlite3_value** argv) {
    long long start = 1;
    int first = 0;
    if (argc >= 3) {
        if (isNull(argv[0])) invalidUseOfNull();
        start = longOf(argv[0]);
        if (start < 1) invalidArgument();
        first = 1;
    }
    bool binary = argc == 4 && binaryCompare(argv[3]);
    if (isNull(argv[first]) || isNull(argv[first + 1])) return sqlite3_result_null(c);
    std::string hay = textOf(argv[first]), needle = textOf(argv[first + 1]);
    if (!binary) {
        hay = caseMap(hay, false);
        needle = caseMap(needle, false);
    }
    auto cp = codePoints(hay);
    if (static_cast<size_t>(start) > cp.size()) return sqlite3_result_int(c, 0);
    if (needle.empty()) return sqlite3_result_int64(c, start);
    // Byte offset of the start character, then back to a character position.
    size_t byteStart = 0;
    for (size_t i = 0; i < static_cast<size_t>(start - 1); ++i) byteStart += cp[i].size();
    size_t found = hay.find(needle, byteStart);
    if (found == std::string::npos) return sqlite3_result_int(c, 0);
    sqlite3_result_int64(c, static_cast<long long>(utf8Length(std::string_view(hay).substr(0, found))) + 1);
}

// StrComp(a, b[, compare]): -1, 0 or 1; text comparison unless compare is 0.
void fnStrComp(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    bool binary = argc == 3 && binaryCompare(argv[2]);
    std::string a = textOf(argv[0]), b = textOf(argv[1]);
    if (!binary) {
        a = caseMap(a, false);
        b = caseMap(b, false);
    }
    int r = a.compare(b);
    sqlite3_result_int(c, r < 0 ? -1 : r > 0 ? 1 : 0);
}

void fnUCase(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultText(c, caseMap(textOf(argv[0]), true));
}
void fnLCase(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultText(c, caseMap(textOf(argv[0]), false));
}

template <bool Left, bool Right>
void fnTrim(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    std::string s = textOf(argv[0]);
    size_t a = 0, b = s.size();
    if (Left)
        while (a < b && s[a] == ' ') ++a;
    if (Right)
        while (b > a && s[b - 1] == ' ') --b;
    resultText(c, s.substr(a, b - a));
}

void fnSpace(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    size_t n = countOf(argv[0]);
    if (n > kTextLimit) textTooLong("Space", n);
    resultText(c, std::string(n, ' '));
}

// Codes 128 to 159 of the Western code page, which Chr and Asc speak; the
// other codes up to 255 are the Latin-1 characters of the same number.
const uint16_t kWestern[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string westernChar(long long code) {
    std::string out;
    appendUtf8(out, code >= 128 && code < 160 ? kWestern[code - 128] : static_cast<uint32_t>(code));
    return out;
}

// The first character's code point; 0 for an empty text.
uint32_t firstCodePoint(const std::string& s) {
    if (s.empty()) return 0;
    auto b = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) & 0x3Fu : 0u; };
    unsigned char lead = static_cast<unsigned char>(s[0]);
    uint32_t cp = lead;
    if ((lead >> 5) == 6) cp = ((lead & 0x1Fu) << 6) | b(1);
    else if ((lead >> 4) == 14) cp = ((lead & 0x0Fu) << 12) | (b(1) << 6) | b(2);
    else if ((lead >> 3) == 30) cp = ((lead & 0x07u) << 18) | (b(1) << 12) | (b(2) << 6) | b(3);
    return cp;
}

void fnChr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    long long code = longOf(argv[0]);
    if (code < 0 || code > 255) invalidArgument("Chr takes codes 0 to 255; ChrW takes the others");
    resultText(c, westernChar(code));
}

// Asc: the code in the Western code page; a character it lacks reads as '?' (63).
void fnAsc(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    std::string s = textOf(argv[0]);
    if (s.empty()) invalidArgument("Asc needs at least one character");
    uint32_t cp = firstCodePoint(s);
    if (cp < 128 || (cp >= 160 && cp < 256)) return sqlite3_result_int64(c, cp);
    for (int i = 0; i < 32; ++i)
        if (kWestern[i] == cp) return sqlite3_result_int(c, 128 + i);
    sqlite3_result_int(c, 63);
}

// ChrW(-32768 to 65535): a Unicode character; negative codes count from 65536.
void fnChrW(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    long long code = longOf(argv[0]);
    if (code < -32768 || code > 65535) invalidArgument("ChrW takes codes -32768 to 65535");
    if (code < 0) code += 65536;
    if (code >= 0xD800 && code <= 0xDFFF) invalidArgument("a surrogate code is no character on its own");
    std::string out;
    appendUtf8(out, static_cast<uint32_t>(code));
    resultText(c, out);
}

// AscW: the first UTF-16 unit as a 16-bit Integer, as the engine gives it.
void fnAscW(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    std::string s = textOf(argv[0]);
    if (s.empty()) invalidArgument("AscW needs at least one character");
    uint32_t unit = firstCodePoint(s);
    if (unit > 0xFFFF) unit = 0xD800 + ((unit - 0x10000) >> 10);
    sqlite3_result_int64(c, unit >= 0x8000 ? static_cast<long long>(unit) - 65536 : static_cast<long long>(unit));
}

void fnConcat(sqlite3_context* c, int, sqlite3_value** argv) {
    // Null & Null is Null; a Null beside a value counts as "".
    if (isNull(argv[0]) && isNull(argv[1])) return sqlite3_result_null(c);
    std::string joined = textOf(argv[0]) + textOf(argv[1]);
    limitText(joined, "Joining these texts");
    resultText(c, joined);
}

// String(n, character): n times the first character of a text, or the
// character of a code (codes above 255 are taken modulo 256).
void fnString(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    size_t n = countOf(argv[0]);
    std::string unit;
    if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        std::string t = textOf(argv[1]);
        if (t.empty()) invalidArgument("String needs a character");
        unit = codePoints(t).front();
    } else {
        long long code = longOf(argv[1]);
        if (code < 0) invalidArgument("String takes character codes from 0");
        unit = westernChar(code % 256);
    }
    if (n > kTextLimit) textTooLong("String", n);
    std::string out;
    out.reserve(n * unit.size());
    for (size_t i = 0; i < n; ++i) out += unit;
    resultText(c, out);
}

// Byte offset of the character at index i (0-based); s.size() when past the end.
size_t byteOfChar(const std::string& s, size_t i) {
    size_t at = 0;
    for (; at < s.size() && i > 0; --i) {
        ++at;
        while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
    }
    return at;
}

// Replace(text, find, with[, start[, count[, compare]]]): the text from start on
// with count (all when -1) occurrences replaced; Null in the texts is an error.
void fnReplace(sqlite3_context* c, int argc, sqlite3_value** argv) {
    for (int i = 0; i < 3; ++i)
        if (isNull(argv[i])) invalidUseOfNull();
    const std::string text = textOf(argv[0]), find = textOf(argv[1]), with = textOf(argv[2]);
    long long start = 1, count = -1;
    if (argc > 3) {
        if (isNull(argv[3])) invalidUseOfNull();
        start = longOf(argv[3]);
        if (start < 1) invalidArgument("Replace starts at character 1 or later");
    }
    if (argc > 4) {
        if (isNull(argv[4])) invalidUseOfNull();
        count = longOf(argv[4]);
        if (count < -1) invalidArgument("Replace's count is -1 (all) or more");
    }
    const bool binary = argc > 5 && binaryCompare(argv[5]);
    const std::string rest = text.substr(byteOfChar(text, static_cast<size_t>(start - 1)));
    if (find.empty() || count == 0) return resultText(c, rest);
    // Lower case keeps every character's length, so positions carry over.
    const std::string hay = binary ? rest : caseMap(rest, false);
    const std::string needle = binary ? find : caseMap(find, false);
    // Counted as it grows, so that a text of many replacements stops at the limit.
    const size_t withLength = utf8Length(with);
    std::string out;
    size_t pos = 0, length = 0;
    for (long long done = 0; count < 0 || done < count; ++done) {
        size_t at = hay.find(needle, pos);
        if (at == std::string::npos) break;
        length += utf8Length(std::string_view(rest).substr(pos, at - pos)) + withLength;
        if (length > kTextLimit) textTooLong("Replace", length);
        out.append(rest, pos, at - pos);
        out += with;
        pos = at + needle.size();
    }
    length += utf8Length(std::string_view(rest).substr(pos));
    if (length > kTextLimit) textTooLong("Replace", length);
    out.append(rest, pos, std::string::npos);
    resultText(c, out);
}

// InStrRev(text, find[, start[, compare]]): the last position of find that
// ends at or before character start (-1: the end).
void fnInStrRev(sqlite3_context* c, int argc, sqlite3_value** argv) {
    long long start = -1;
    if (argc > 2) {
        if (isNull(argv[2])) invalidUseOfNull();
        start = longOf(argv[2]);
        if (start == 0 || start < -1) invalidArgument("InStrRev starts at character 1 or later, or -1 for the end");
    }
    const bool binary = argc > 3 && binaryCompare(argv[3]);
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    std::string hay = textOf(argv[0]), needle = textOf(argv[1]);
    const long long length = static_cast<long long>(utf8Length(hay));
    if (start == -1) start = length;
    if (length == 0 || start > length) return sqlite3_result_int(c, 0);
    if (needle.empty()) return sqlite3_result_int64(c, start);
    if (!binary) {
        hay = caseMap(hay, false);
        needle = caseMap(needle, false);
    }
    hay.resize(byteOfChar(hay, static_cast<size_t>(start)));
    size_t found = hay.rfind(needle);
    if (found == std::string::npos) return sqlite3_result_int(c, 0);
    sqlite3_result_int64(c, static_cast<long long>(utf8Length(std::string_view(hay).substr(0, found))) + 1);
}

void fnStrReverse(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    auto cp = codePoints(textOf(argv[0]));
    std::string out;
    for (size_t i = cp.size(); i > 0; --i) out += cp[i - 1];
    resultText(c, out);
}

// StrConv(text, 1 | 2 | 3): upper case, lower case, or each word capitalised.
void fnStrConv(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[1])) invalidUseOfNull();
    long long how = longOf(argv[1]);
    if (how < 1 || how > 3) invalidArgument("StrConv converts with 1 (upper case), 2 (lower case) or 3 (proper case)");
    if (isNull(argv[0])) return sqlite3_result_null(c);
    std::string t = textOf(argv[0]);
    if (how != 3) return resultText(c, caseMap(t, how == 1));
    std::string out;
    bool wordStart = true;
    for (const auto& ch : codePoints(t)) {
        out += caseMap(ch, wordStart);
        unsigned char b = static_cast<unsigned char>(ch[0]);
        wordStart = ch.size() == 1 && (b == ' ' || b == 0 || (b >= 9 && b <= 13));
    }
    resultText(c, out);
}

// ---- + and - ----

struct Operand {
    enum Kind { Integer, Real, Date, Text } kind = Text;
    long long integer = 0;
    double number = 0;  // the value, or the date serial
    std::string text;
};

Operand operandOf(sqlite3_value* v) {
    Operand o;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        o.kind = Operand::Integer;
        o.integer = sqlite3_value_int64(v);
        o.number = static_cast<double>(o.integer);
        return o;
    case SQLITE_FLOAT:
        o.kind = Operand::Real;
        o.number = sqlite3_value_double(v);
        return o;
    default:
        o.text = textOf(v);
        if (storageToDate(o.text, o.number)) o.kind = Operand::Date;
        return o;
    }
}

// A text operand beside a number must read as a number.
double numericOperand(const Operand& o) {
    if (o.kind != Operand::Text) return o.number;
    double d = 0;
    if (!parseNumber(trimBlanks(o.text), d)) typeMismatch();
    return d;
}

void fnAdd(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    Operand a = operandOf(argv[0]), b = operandOf(argv[1]);
    if (a.kind == Operand::Text && b.kind == Operand::Text) {
        a.text += b.text;
        limitText(a.text, "Joining these texts");
        return resultText(c, a.text);
    }
    if (a.kind == Operand::Date || b.kind == Operand::Date) return resultDate(c, numericOperand(a) + numericOperand(b));
    long long sum = 0;
    if (a.kind == Operand::Integer && b.kind == Operand::Integer && !__builtin_add_overflow(a.integer, b.integer, &sum))
        return sqlite3_result_int64(c, sum);
    resultDouble(c, numericOperand(a) + numericOperand(b));
}

void fnSubtract(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    Operand a = operandOf(argv[0]), b = operandOf(argv[1]);
    if (a.kind == Operand::Date && b.kind == Operand::Date) return sqlite3_result_double(c, a.number - b.number);
    if (a.kind == Operand::Date) return resultDate(c, a.number - numericOperand(b));
    long long diff = 0;
    if (a.kind == Operand::Integer && b.kind == Operand::Integer && !__builtin_sub_overflow(a.integer, b.integer, &diff))
        return sqlite3_result_int64(c, diff);
    resultDouble(c, numericOperand(a) - numericOperand(b));
}

// ---- conversions and numbers ----

void fnCStr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    resultText(c, textOf(argv[0]));
}
void fnCLng(sqlite3_context* c, int, sqlite3_value** argv) { sqlite3_result_int64(c, longOf(argv[0])); }
void fnCInt(sqlite3_context* c, int, sqlite3_value** argv) {
    sqlite3_result_int64(c, roundToInteger(numberOf(argv[0]), -32768.0, 32767.0));
}
void fnCByte(sqlite3_context* c, int, sqlite3_value** argv) {
    sqlite3_result_int64(c, roundToInteger(numberOf(argv[0]), 0.0, 255.0));
}
void fnCDbl(sqlite3_context* c, int, sqlite3_value** argv) { sqlite3_result_double(c, numberOf(argv[0])); }
// CCur: four decimals, half to even on the number's decimal form (1.00005 is a tie).
void fnCCur(sqlite3_context* c, int, sqlite3_value** argv) {
    int64_t units = 0;
    if (!currencyUnits(numberOf(argv[0]), units))
        overflow("Currency runs from -922337203685477.5808 to 922337203685477.5807");
    if (units % 10000 == 0) return sqlite3_result_int64(c, units / 10000);
    sqlite3_result_double(c, currencyDouble(units));
}
// CSng: the nearest Single, kept as the double it is.
void fnCSng(sqlite3_context* c, int, sqlite3_value** argv) {
    double d = numberOf(argv[0]);
    if (!(std::fabs(d) < kSingleLimit)) overflow("a Single holds about -3.4E+38 to 3.4E+38");
    sqlite3_result_double(c, static_cast<double>(static_cast<float>(d)));
}
// CDec: there is no decimal storage; the number stays as it is, within Decimal's range.
void fnCDec(sqlite3_context* c, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, argv[0]);
    double d = numberOf(argv[0]);
    if (!(std::fabs(d) < 7.9228162514264337593543950335e28)) overflow("a Decimal holds 29 digits at most");
    resultNumber(c, d);
}
void fnCBool(sqlite3_context* c, int, sqlite3_value** argv) { resultBool(c, truthOf(argv[0])); }
void fnCDate(sqlite3_context* c, int, sqlite3_value** argv) { resultDate(c, dateOf(argv[0])); }
// CVDate, unlike CDate, lets Null through.
void fnCVDate(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultDate(c, dateOf(argv[0]));
}

void fnIsNull(sqlite3_context* c, int, sqlite3_value** argv) { resultBool(c, isNull(argv[0])); }

// IsNumeric: a number, or a text the conversions read as one (not a date, not True).
void fnIsNumeric(sqlite3_context* c, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return resultBool(c, true);
    case SQLITE_TEXT: {
        std::string t = trimBlanks(textOf(argv[0]));
        double d = 0;
        size_t end = 0;
        if (parseNumber(t, d)) return resultBool(c, true);
        if (radixPrefix(t)) {
            // Too many digits is an Overflow when converted, but still a number.
            try {
                radixNumber(t, end);
            } catch (const FunctionError&) {
                return resultBool(c, true);
            }
            return resultBool(c, end == t.size() && end > 2);
        }
        return resultBool(c, false);
    }
    default: resultBool(c, false);
    }
}

void fnVal(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    // Blanks, tabs and line feeds are skipped anywhere; reading stops at the first other non-number character.
    std::string s;
    for (char ch : textOf(argv[0]))
        if (ch != ' ' && ch != '\t' && ch != '\n' && ch != '\r') s += ch;
    if (radixPrefix(s)) {
        size_t end = 0;
        return resultNumber(c, radixNumber(s, end));
    }
    size_t i = 0;
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
    bool digits = false, dot = false;
    for (; i < s.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            num += s[i];
            digits = true;
        } else if (s[i] == '.' && !dot) {
            num += s[i];
            dot = true;
        } else {
            break;
        }
    }
    if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
        size_t expDigits = 0;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exp += s[j++];
            ++expDigits;
        }
        if (expDigits) num += exp;
    }
    if (!digits) return sqlite3_result_int(c, 0);
    double d = std::strtod(num.c_str(), nullptr);
    if (!std::isfinite(d)) overflow("the number is beyond a Double's range");
    resultNumber(c, d);
}

void fnRound(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    long long places = 0;
    if (argc > 1) {
        if (isNull(argv[1])) invalidUseOfNull();
        places = longOf(argv[1]);
    }
    if (places < 0 || places > 15) invalidArgument("Round takes 0 to 15 decimal places");
    if (places == 0 && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, argv[0]);
    resultNumber(c, roundHalfEven(numberOf(argv[0]), static_cast<int>(places)));
}

void fnAbs(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        long long n = sqlite3_value_int64(argv[0]);
        if (n == INT64_MIN) overflow();
        return sqlite3_result_int64(c, n < 0 ? -n : n);
    }
    resultNumber(c, std::fabs(numberOf(argv[0])));
}

void fnSqr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = numberOf(argv[0]);
    if (d < 0) invalidArgument("Sqr of a negative number");
    sqlite3_result_double(c, std::sqrt(d));
}

// Str: the number's text with a leading blank for non-negative values and no
// zero before the decimal point (" .5", "-.25").
void fnStr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = numberOf(argv[0]);
    std::string t = formatDouble(d);
    if (t.rfind("0.", 0) == 0) t.erase(0, 1);
    else if (t.rfind("-0.", 0) == 0) t.erase(1, 1);
    resultText(c, (d >= 0 ? " " : "") + t);
}

void fnSgn(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = numberOf(argv[0]);
    sqlite3_result_int(c, d > 0 ? 1 : d < 0 ? -1 : 0);
}

// Integer parts toward zero, as the engine's Int and Fix differ for negatives.
void fnInt(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultNumber(c, std::floor(numberOf(argv[0])));
}
void fnFix(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultNumber(c, std::trunc(numberOf(argv[0])));
}

// Exp, Log (natural), Sin, Cos, Tan and Atn give Doubles; Null gives Null.
void fnExp(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultDouble(c, std::exp(numberOf(argv[0])));
}
void fnLog(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = numberOf(argv[0]);
    if (!(d > 0)) invalidArgument("Log of a number that is not positive");
    resultDouble(c, std::log(d));
}
template <double (*F)(double)>
void fnCircular(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    resultDouble(c, F(numberOf(argv[0])));
}
double sine(double x) { return std::sin(x); }
double cosine(double x) { return std::cos(x); }
double tangent(double x) { return std::tan(x); }
double arcTangent(double x) { return std::atan(x); }

// Hex and Oct of a Long (rounded half to even); negatives as their 32 bits.
template <bool Hexadecimal>
void fnRadix(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    long long n = longOf(argv[0]);
    unsigned long bits = static_cast<unsigned long>(n < 0 ? n + 4294967296LL : n);
    char buf[24];
    std::snprintf(buf, sizeof buf, Hexadecimal ? "%lX" : "%lo", bits);
    resultText(c, buf);
}

// Rnd's sequence, one per connection: 24-bit linear congruential steps, starting
// where the engine starts, so that a seed gives the engine's numbers.
struct RndState {
    uint32_t seed = 0x50000;
};

void destroyRnd(void* p) { delete static_cast<std::shared_ptr<RndState>*>(p); }

// Rnd(): the next number; Rnd(n > 0) the same; Rnd(0) the last again;
// Rnd(n < 0) the number that n always gives (a new sequence starts from it).
void fnRnd(sqlite3_context* c, int argc, sqlite3_value** argv) {
    RndState& state = **static_cast<std::shared_ptr<RndState>*>(sqlite3_user_data(c));
    double n = 1;
    if (argc > 0) {
        if (isNull(argv[0])) invalidUseOfNull();
        n = numberOf(argv[0]);
        if (!(std::fabs(n) < kSingleLimit)) overflow("Rnd takes a Single");
    }
    if (n < 0) {
        float f = static_cast<float>(n);
        uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        state.seed = (bits + (bits >> 24)) & 0xFFFFFFu;
    }
    if (n != 0) state.seed = (state.seed * 1140671485u + 12820163u) & 0xFFFFFFu;
    sqlite3_result_double(c, static_cast<double>(state.seed) / 16777216.0);
}

// Partition(n, start, stop, interval): the range holding n as "low:high", both
// padded to the width of stop plus one, so that the ranges sort as texts.
void fnPartition(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(4, argv)) return sqlite3_result_null(c);
    const long long n = longOf(argv[0]), start = longOf(argv[1]), stop = longOf(argv[2]),
                    interval = longOf(argv[3]);
    if (start < 0) invalidArgument("Partition's start cannot be below 0");
    if (stop <= start) invalidArgument("Partition's stop must lie above its start");
    if (interval < 1) invalidArgument("Partition's interval must be 1 or more");
    const size_t width = std::to_string(stop).size() + 1;
    auto pad = [width](const std::string& t) { return t.size() < width ? std::string(width - t.size(), ' ') + t : t; };
    std::string low, high;
    if (n < start) {
        high = std::to_string(start - 1);
    } else if (n > stop) {
        low = std::to_string(stop + 1);
    } else {
        long long first = start + (n - start) / interval * interval;
        low = std::to_string(first);
        high = std::to_string(std::min(first + interval - 1, stop));
    }
    resultText(c, pad(low) + ":" + pad(high));
}

void fnIntDiv(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    long long a = roundToInteger(numberOf(argv[0]), -9.2e18, 9.2e18);
    long long b = roundToInteger(numberOf(argv[1]), -9.2e18, 9.2e18);
    if (b == 0) fail("Division by zero");
    sqlite3_result_int64(c, a / b);
}

void fnPow(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    double r = std::pow(numberOf(argv[0]), numberOf(argv[1]));
    if (!std::isfinite(r)) invalidArgument();
    resultNumber(c, r);
}

// Format's firstdayofweek (0 to 7) and firstweekofyear (0 to 3). Only the
// defaults are known to the week codes, so others are refused where they count.
void formatWeekOptions(int argc, sqlite3_value** argv, const std::string& fmt) {
    const bool weekCodes = fmt.find_first_of("wW") != std::string::npos;
    for (int i = 2; i < argc; ++i) {
        if (isNull(argv[i])) continue;
        long long v = longOf(argv[i]);
        long long last = i == 2 ? 7 : 3;
        if (v < 0 || v > last)
            invalidArgument(i == 2 ? "firstdayofweek must lie between 0 and 7"
                                   : "firstweekofyear must lie between 0 and 3");
        if (weekCodes && v > 1)
            invalidArgument("Format's week codes count weeks from Sunday and from January 1 only");
    }
}

void fnFormat(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    std::string fmt = argc > 1 && !isNull(argv[1]) ? textOf(argv[1]) : std::string();
    formatWeekOptions(argc, argv, fmt);
    FormatValue v;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        v.kind = FormatValue::Number;
        v.number = sqlite3_value_double(argv[0]);
        break;
    default: {
        v.text = textOf(argv[0]);
        double d = 0;
        // Storage text is a date; other texts count as numbers or dates when they read as one.
        if (storageToDate(v.text, d) || (!parseNumber(v.text, d) && parseDateText(trimBlanks(v.text), d))) {
            v.kind = FormatValue::Date;
            v.number = d;
        } else if (parseNumber(v.text, d)) {
            v.kind = FormatValue::Number;
            v.number = d;
        }
    }
    }
    resultText(c, formatValue(v, fmt));
}

// jet_like(value, pattern): LIKE with the dialect's wildcards, comparing without regard to case.
void fnLike(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    const std::string value = caseMap(textOf(argv[0]), false);
    const std::string pattern = caseMap(textOf(argv[1]), false);
    sqlite3_result_int(c, Like(value, pattern) ? 1 : 0);
}

// First and Last: the value of the first or last row the group delivers.
struct Kept {
    sqlite3_value* value;
    bool seen;
};

template <bool Last>
void keepStep(sqlite3_context* c, int, sqlite3_value** argv) {
    auto* k = static_cast<Kept*>(sqlite3_aggregate_context(c, sizeof(Kept)));
    if (!k) return sqlite3_result_error_nomem(c);
    if (k->seen && !Last) return;
    if (k->value) sqlite3_value_free(k->value);
    k->value = sqlite3_value_dup(argv[0]);
    k->seen = true;
}

void keepFinal(sqlite3_context* c) {
    auto* k = static_cast<Kept*>(sqlite3_aggregate_context(c, 0));
    if (!k || !k->value) return sqlite3_result_null(c);
    sqlite3_result_value(c, k->value);
    sqlite3_value_free(k->value);
    k->value = nullptr;
}

// Max and Min are aggregates only. Numbers rank before texts, texts before
// binary data; texts compare without regard to case, as the columns do.
int rankOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return 1;
    case SQLITE_TEXT: return 2;
    default: return 3;
    }
}

int compareValues(sqlite3_value* a, sqlite3_value* b) {
    int ra = rankOf(a), rb = rankOf(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    if (ra == 1) {
        if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
            long long x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (ra == 2) {
        int r = caseMap(textOf(a), false).compare(caseMap(textOf(b), false));
        return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    int na = sqlite3_value_bytes(a), nb = sqlite3_value_bytes(b);
    int r = std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b), static_cast<size_t>(std::min(na, nb)));
    return r != 0 ? (r < 0 ? -1 : 1) : na < nb ? -1 : na > nb ? 1 : 0;
}

template <bool Largest>
void extremeStep(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    auto* k = static_cast<Kept*>(sqlite3_aggregate_context(c, sizeof(Kept)));
    if (!k) return sqlite3_result_error_nomem(c);
    if (k->value) {
        int r = compareValues(argv[0], k->value);
        if (Largest ? r <= 0 : r >= 0) return;
        sqlite3_value_free(k->value);
    }
    k->value = sqlite3_value_dup(argv[0]);
    if (!k->value) return sqlite3_result_error_nomem(c);
    k->seen = true;
}

// A dialect name called with the wrong number of arguments; SQLite's own
// function of that name must not answer instead.
void fnWrongArguments(sqlite3_context* c, int, sqlite3_value**) {
    fail(3075, "Wrong number of arguments used with function in query expression",
         std::string(static_cast<const char*>(sqlite3_user_data(c))) + "(...)");
}

// StDev / StDevP / Var / VarP over the non-Null values (Welford's method).
struct Spread {
    long long n;
    double mean;
    double m2;
};

void spreadStep(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return;
    auto* k = static_cast<Spread*>(sqlite3_aggregate_context(c, sizeof(Spread)));
    if (!k) return sqlite3_result_error_nomem(c);
    try {
        double x = numberOf(argv[0]);
        ++k->n;
        double delta = x - k->mean;
        k->mean += delta / static_cast<double>(k->n);
        k->m2 += delta * (x - k->mean);
    } catch (const FunctionError& e) {
        sqlite3_result_error(c, e.message.c_str(), -1);
    }
}

template <bool Sample, bool Root>
void spreadFinal(sqlite3_context* c) {
    auto* k = static_cast<Spread*>(sqlite3_aggregate_context(c, 0));
    long long n = k ? k->n : 0;
    if (n < (Sample ? 2 : 1)) return sqlite3_result_null(c);
    double var = k->m2 / static_cast<double>(Sample ? n - 1 : n);
    sqlite3_result_double(c, Root ? std::sqrt(var) : var);
}

// ---- values written to typed columns ----

// A refused value: the engine's number, where, and what.
[[noreturn]] void refuse(int number, sqlite3_value** argv, const std::string& shown) {
    std::string m = StoreErrorTag + std::to_string(number);
    for (int i : {2, 3}) m += StoreErrorSeparator + textOf(argv[i]);
    m += StoreErrorSeparator + std::to_string(sqlite3_value_int(argv[1]));
    fail(m + StoreErrorSeparator + shown);
}

std::string shownValue(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        char buf[40];
        auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_value_double(v));
        return std::string(buf, r.ptr);
    }
    if (sqlite3_value_type(v) == SQLITE_BLOB) return "(binary data)";
    std::string t = textOf(v);
    return t.size() > 40 ? t.substr(0, 40) + "..." : t;
}

// The number a written value stands for: numbers as they are, texts that read
// as numbers; false for other texts and binary data.
bool storedNumber(sqlite3_value* v, bool& integral, long long& n, double& d) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        integral = true;
        n = sqlite3_value_int64(v);
        return true;
    case SQLITE_FLOAT:
        integral = false;
        d = sqlite3_value_double(v);
        return true;
    case SQLITE_TEXT: {
        std::string t = trimBlanks(textOf(v));
        // Whole numbers keep all 64 bits.
        errno = 0;
        char* end = nullptr;
        long long whole = std::strtoll(t.c_str(), &end, 10);
        if (!t.empty() && end == t.c_str() + t.size() && errno == 0) {
            integral = true;
            n = whole;
            return true;
        }
        integral = false;
        return parseNumber(t, d);
    }
    default: return false;
    }
}

void fnStore(sqlite3_context* c, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    if (isNull(v)) return sqlite3_result_null(c);
    const auto kind = static_cast<StoreKind>(sqlite3_value_int(argv[1]));
    const std::string shown = shownValue(v);
    bool integral = false;
    long long n = 0;
    double d = 0;
    switch (kind) {
    case StoreKind::Boolean: {
        if (sqlite3_value_type(v) == SQLITE_TEXT) {
            std::string t = lowerAscii(trimBlanks(textOf(v)));
            for (const char* w : {"true", "yes", "on"})
                if (t == w) return resultBool(c, true);
            for (const char* w : {"false", "no", "off"})
                if (t == w) return resultBool(c, false);
        }
        if (!storedNumber(v, integral, n, d)) refuse(3464, argv, shown);
        return resultBool(c, integral ? n != 0 : d != 0);
    }
    case StoreKind::Byte:
    case StoreKind::Integer:
    case StoreKind::Long:
    case StoreKind::BigInt: {
        if (!storedNumber(v, integral, n, d)) refuse(3464, argv, shown);
        if (!integral) {
            double r = std::nearbyint(d);  // half to even
            if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) refuse(3349, argv, shown);
            n = static_cast<long long>(r);
        }
        long long lo = INT64_MIN, hi = INT64_MAX;
        if (kind == StoreKind::Byte) lo = 0, hi = 255;
        if (kind == StoreKind::Integer) lo = -32768, hi = 32767;
        if (kind == StoreKind::Long) lo = INT32_MIN, hi = INT32_MAX;
        if (n < lo || n > hi) refuse(3349, argv, shown);
        return sqlite3_result_int64(c, n);
    }
    case StoreKind::Currency: {
        if (!storedNumber(v, integral, n, d)) refuse(3464, argv, shown);
        int64_t units = 0;
        if (integral) {
            if (n < -922337203685477LL || n > 922337203685477LL) refuse(3349, argv, shown);
            return sqlite3_result_int64(c, n);
        }
        if (!currencyUnits(d, units)) refuse(3349, argv, shown);
        if (units % 10000 == 0) return sqlite3_result_int64(c, units / 10000);
        return sqlite3_result_double(c, currencyDouble(units));
    }
    case StoreKind::Single: {
        if (!storedNumber(v, integral, n, d)) refuse(3464, argv, shown);
        if (integral) d = static_cast<double>(n);
        // Checked before the conversion: a double beyond float's range does not convert.
        if (!(std::fabs(d) < kSingleLimit)) refuse(3349, argv, shown);
        return sqlite3_result_double(c, static_cast<double>(static_cast<float>(d)));
    }
    case StoreKind::Double: {
        if (!storedNumber(v, integral, n, d)) refuse(3464, argv, shown);
        if (integral) return sqlite3_result_int64(c, n);
        if (!std::isfinite(d)) refuse(3349, argv, shown);
        return sqlite3_result_double(c, d);
    }
    case StoreKind::Date: {
        double serial = 0;
        int type = sqlite3_value_type(v);
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            serial = sqlite3_value_double(v);
        } else if (type == SQLITE_TEXT) {
            if (!readDateText(textOf(v), serial)) refuse(3464, argv, shown);
        } else {
            refuse(3464, argv, shown);
        }
        if (!(serial > -657435.0 && serial < 2958466.0)) refuse(3349, argv, shown);  // years 100 to 9999
        return resultText(c, dateToStorage(serial));
    }
    case StoreKind::Decimal: {
        if (!storedNumber(v, integral, n, d)) refuse(3464, argv, shown);
        if (integral) return sqlite3_result_int64(c, n);
        if (!std::isfinite(d)) refuse(3349, argv, shown);
        return sqlite3_result_double(c, d);
    }
    case StoreKind::Guid: {
        // One spelling, so that a GUID typed in lower case finds its row.
        if (sqlite3_value_type(v) == SQLITE_BLOB && sqlite3_value_bytes(v) == 16) return sqlite3_result_value(c, v);
        std::string g;
        if (sqlite3_value_type(v) != SQLITE_TEXT || !normalizeGuid(trimBlanks(textOf(v)), g)) refuse(3464, argv, shown);
        return resultText(c, g);
    }
    case StoreKind::Any:
    default: sqlite3_result_value(c, v);
    }
}

struct Definition {
    const char* name;
    int args;
    Body body;
    bool deterministic;
};

}  // namespace

void registerFunctions(sqlite3* db) {
    static const Definition defs[] = {
        {"Now", 0, call<fnNow>, false},
        {"Date", 0, call<fnDate>, false},
        {"Time", 0, call<fnTime>, false},
        {"Year", 1, call<fnPart<&DateParts::year>>, true},
        {"Month", 1, call<fnPart<&DateParts::month>>, true},
        {"Day", 1, call<fnPart<&DateParts::day>>, true},
        {"Hour", 1, call<fnPart<&DateParts::hour>>, true},
        {"Minute", 1, call<fnPart<&DateParts::minute>>, true},
        {"Second", 1, call<fnPart<&DateParts::second>>, true},
        {"Weekday", 1, call<fnWeekday>, true},
        {"Weekday", 2, call<fnWeekday>, true},
        {"DateAdd", 3, call<fnDateAdd>, true},
        {"DateDiff", 3, call<fnDateDiff>, true},
        {"DateDiff", 4, call<fnDateDiff>, true},
        {"DateSerial", 3, call<fnDateSerial>, true},
        {"TimeSerial", 3, call<fnTimeSerial>, true},
        {"DateValue", 1, call<fnDateValue>, true},
        {"TimeValue", 1, call<fnTimeValue>, true},
        {"IsDate", 1, call<fnIsDate>, true},
        {"MonthName", 1, call<fnMonthName>, true},
        {"MonthName", 2, call<fnMonthName>, true},
        {"WeekdayName", 1, call<fnWeekdayName>, true},
        {"WeekdayName", 2, call<fnWeekdayName>, true},
        {"WeekdayName", 3, call<fnWeekdayName>, true},
        {"DatePart", 2, call<fnDatePart>, true},
        {"DatePart", 3, call<fnDatePart>, true},
        {"DatePart", 4, call<fnDatePart>, true},
        {"IIf", 3, call<fnIIf>, true},
        {"Nz", 1, call<fnNz>, true},
        {"Nz", 2, call<fnNz>, true},
        {"IsNull", 1, call<fnIsNull>, true},
        {"IsNumeric", 1, call<fnIsNumeric>, true},
        {"Len", 1, call<fnLen>, true},
        {"Left", 2, call<fnLeft>, true},
        {"Right", 2, call<fnRight>, true},
        {"Mid", 2, call<fnMid>, true},
        {"Mid", 3, call<fnMid>, true},
        {"InStr", 2, call<fnInStr>, true},
        {"InStr", 3, call<fnInStr>, true},
        {"InStr", 4, call<fnInStr>, true},
        {"StrComp", 2, call<fnStrComp>, true},
        {"StrComp", 3, call<fnStrComp>, true},
        {"UCase", 1, call<fnUCase>, true},
        {"LCase", 1, call<fnLCase>, true},
        {"Trim", 1, call<fnTrim<true, true>>, true},
        {"LTrim", 1, call<fnTrim<true, false>>, true},
        {"RTrim", 1, call<fnTrim<false, true>>, true},
        {"Space", 1, call<fnSpace>, true},
        {"String", 2, call<fnString>, true},
        {"Replace", 3, call<fnReplace>, true},
        {"Replace", 4, call<fnReplace>, true},
        {"Replace", 5, call<fnReplace>, true},
        {"Replace", 6, call<fnReplace>, true},
        {"InStrRev", 2, call<fnInStrRev>, true},
        {"InStrRev", 3, call<fnInStrRev>, true},
        {"InStrRev", 4, call<fnInStrRev>, true},
        {"StrReverse", 1, call<fnStrReverse>, true},
        {"StrConv", 2, call<fnStrConv>, true},
        {"Chr", 1, call<fnChr>, true},
        {"Asc", 1, call<fnAsc>, true},
        {"ChrW", 1, call<fnChrW>, true},
        {"AscW", 1, call<fnAscW>, true},
        {"Str", 1, call<fnStr>, true},
        {"Sqr", 1, call<fnSqr>, true},
        {"Exp", 1, call<fnExp>, true},
        {"Log", 1, call<fnLog>, true},
        {"Sin", 1, call<fnCircular<sine>>, true},
        {"Cos", 1, call<fnCircular<cosine>>, true},
        {"Tan", 1, call<fnCircular<tangent>>, true},
        {"Atn", 1, call<fnCircular<arcTangent>>, true},
        {"Hex", 1, call<fnRadix<true>>, true},
        {"Oct", 1, call<fnRadix<false>>, true},
        {"Partition", 4, call<fnPartition>, true},
        {"CStr", 1, call<fnCStr>, true},
        {"CLng", 1, call<fnCLng>, true},
        {"CInt", 1, call<fnCInt>, true},
        {"CByte", 1, call<fnCByte>, true},
        {"CDbl", 1, call<fnCDbl>, true},
        {"CSng", 1, call<fnCSng>, true},
        {"CCur", 1, call<fnCCur>, true},
        {"CDec", 1, call<fnCDec>, true},
        {"CBool", 1, call<fnCBool>, true},
        {"CDate", 1, call<fnCDate>, true},
        {"CVDate", 1, call<fnCVDate>, true},
        {"Format", 1, call<fnFormat>, true},
        {"Format", 2, call<fnFormat>, true},
        {"Format", 3, call<fnFormat>, true},
        {"Format", 4, call<fnFormat>, true},
        {"Val", 1, call<fnVal>, true},
        {"Round", 1, call<fnRound>, true},
        {"Round", 2, call<fnRound>, true},
        {"Abs", 1, call<fnAbs>, true},
        {"Sgn", 1, call<fnSgn>, true},
        {"Int", 1, call<fnInt>, true},
        {"Fix", 1, call<fnFix>, true},
        {"jet_like", 2, call<fnLike>, true},
        {"jet_concat", 2, call<fnConcat>, true},
        {"jet_intdiv", 2, call<fnIntDiv>, true},
        {"jet_add", 2, call<fnAdd>, true},
        {"jet_sub", 2, call<fnSubtract>, true},
        {"jet_pow", 2, call<fnPow>, true},
        {"jet_store", 4, call<fnStore>, true},
    };
    if (!db) raise(err::InvalidCall, "No database connection to register the SQL functions on.", "Jet SQL");
    auto check = [db](int rc, const std::string& name) {
        if (rc != SQLITE_OK)
            raise(err::Database, "Could not register the SQL function " + name + ": " + sqlite3_errmsg(db), "Jet SQL");
    };
    // The text functions also go by their names with '$' (Left$, Format$, ...).
    static const std::string dollarNames[] = {"Left",  "Right", "Mid",   "UCase", "LCase", "Trim",   "LTrim",
                                              "RTrim", "Format", "Space", "Chr",  "ChrW",  "Str",    "String",
                                              "Hex",   "Oct"};
    for (const auto& d : defs) {
        int flags = SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0);
        check(sqlite3_create_function_v2(db, d.name, d.args, flags, nullptr, d.body, nullptr, nullptr, nullptr), d.name);
        for (const auto& n : dollarNames)
            if (n == d.name)
                check(sqlite3_create_function_v2(db, (n + "$").c_str(), d.args, flags, nullptr, d.body, nullptr,
                                                 nullptr, nullptr),
                      n + "$");
    }
    check(sqlite3_create_function_v2(db, "Choose", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, call<fnChoose>,
                                     nullptr, nullptr, nullptr),
          "Choose");
    check(sqlite3_create_function_v2(db, "Switch", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, call<fnSwitch>,
                                     nullptr, nullptr, nullptr),
          "Switch");
    const struct {
        const char* name;
        void (*final)(sqlite3_context*);
    } spreads[] = {{"StDev", spreadFinal<true, true>},
                   {"StDevP", spreadFinal<false, true>},
                   {"Var", spreadFinal<true, false>},
                   {"VarP", spreadFinal<false, false>}};
    for (const auto& a : spreads)
        check(sqlite3_create_function_v2(db, a.name, 1, SQLITE_UTF8, nullptr, nullptr, spreadStep, a.final, nullptr),
              a.name);
    check(sqlite3_create_function_v2(db, "First", 1, SQLITE_UTF8, nullptr, nullptr, keepStep<false>, keepFinal,
                                     nullptr),
          "First");
    check(sqlite3_create_function_v2(db, "Max", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                     extremeStep<true>, keepFinal, nullptr),
          "Max");
    check(sqlite3_create_function_v2(db, "Min", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                     extremeStep<false>, keepFinal, nullptr),
          "Min");
    // One sequence for Rnd() and Rnd(n); each registration holds a share of it.
    auto rnd = std::make_shared<RndState>();
    for (int args : {0, 1})
        check(sqlite3_create_function_v2(db, "Rnd", args, SQLITE_UTF8, new std::shared_ptr<RndState>(rnd), call<fnRnd>,
                                         nullptr, nullptr, destroyRnd),
              "Rnd");
    // SQLite has functions of these names; with any other number of arguments
    // they would answer in their own way (Log(2, 8), Trim(s, 'x'), Max(a, b)).
    static const char* const shadowed[] = {"Abs",  "Cos",  "Exp", "Format", "Hex",   "IIf", "InStr", "Log",  "LTrim",
                                           "Max",  "Min",  "Replace", "Round", "RTrim", "Sin", "Tan", "Trim"};
    for (const char* name : shadowed)
        check(sqlite3_create_function_v2(db, name, -1, SQLITE_UTF8, const_cast<char*>(name), call<fnWrongArguments>,
                                         nullptr, nullptr, nullptr),
              name);
    check(sqlite3_create_function_v2(db, "Last", 1, SQLITE_UTF8, nullptr, nullptr, keepStep<true>, keepFinal, nullptr),
          "Last");
    check(detail::registerLogicalOperators(db), "jet_xor");
    registerOperators(db);
}

}  // namespace dalvera::jet
