// The dialect's functions as SQLite functions. Dates go in as storage text,
// serial numbers or ISO / month-first text and come out as storage text;
// Booleans come out as -1 / 0.
#include <sqlite3.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>

#include "platform/jet/sql/Format.h"
#include "platform/jet/sql/JetSql.h"
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
[[noreturn]] void invalidUseOfNull() { fail("Invalid use of Null"); }
[[noreturn]] void typeMismatch() { fail("Data type mismatch in criteria expression"); }
[[noreturn]] void invalidArgument() { fail("Invalid procedure call or argument"); }

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

double numberOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_NULL: invalidUseOfNull();
    default: {
        std::string t = trimBlanks(textOf(v));
        double d = 0;
        if (parseNumber(t, d)) return d;
        if (equalsNoCase(t, "True")) return -1;
        if (equalsNoCase(t, "False")) return 0;
        double serial = 0;
        if (parseDateWithMillis(t, serial)) return serial;
        typeMismatch();
    }
    }
}

double dateOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_NULL: invalidUseOfNull();
    default: {
        std::string t = trimBlanks(textOf(v));
        double serial = 0;
        if (parseDateWithMillis(t, serial)) return serial;
        if (parseNumber(t, serial)) return serial;
        typeMismatch();
    }
    }
}

// Whole number the way the engine converts: half to even, within the range.
long long roundToInteger(double d, double lo, double hi) {
    double r = std::nearbyint(d);  // default rounding mode is to nearest, ties to even
    if (std::isnan(r) || r < lo || r > hi) fail("Overflow");
    return static_cast<long long>(r);
}

long long longOf(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        long long n = sqlite3_value_int64(v);
        if (n < -2147483648LL || n > 2147483647LL) fail("Overflow");
        return n;
    }
    return roundToInteger(numberOf(v), -2147483648.0, 2147483647.0);
}

void resultText(sqlite3_context* c, const std::string& s) {
    sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void resultDate(sqlite3_context* c, double serial) {
    if (!(serial > -657435.0 && serial < 2958466.0)) fail("Overflow");  // years 100 to 9999
    resultText(c, dateToStorage(serial));
}
void resultBool(sqlite3_context* c, bool b) { sqlite3_result_int(c, b ? -1 : 0); }

// The value as a whole number when it is one, else a double.
void resultNumber(sqlite3_context* c, double d) {
    if (std::floor(d) == d && std::fabs(d) < 9.2e18)
        sqlite3_result_int64(c, static_cast<long long>(d));
    else
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

double addMonths(double serial, long long months) {
    DateParts p = dateParts(serial);
    long long total = static_cast<long long>(p.year) * 12 + (p.month - 1) + months;
    int year = static_cast<int>(total / 12);
    int month = static_cast<int>(total % 12) + 1;
    if (year < 100 || year > 9999) fail("Overflow");
    // Past the month's end the date sticks to its last day.
    int day = p.day;
    while (day > 28) {
        DateParts q{year, month, day, 0, 0, 0};
        double probe = 0;
        if (makeDateSerial(q, probe)) break;
        --day;
    }
    return dateSerial(year, month, day, p.hour, p.minute, p.second);
}

std::string intervalOf(sqlite3_value* v) { return lowerAscii(trimBlanks(textOf(v))); }

void fnDateAdd(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(c);
    const std::string iv = intervalOf(argv[0]);
    const double n = numberOf(argv[1]);
    const double d = dateOf(argv[2]);
    const long long whole = static_cast<long long>(std::trunc(n));
    double r = 0;
    if (iv == "yyyy")
        r = addMonths(d, whole * 12);
    else if (iv == "q")
        r = addMonths(d, whole * 3);
    else if (iv == "m")
        r = addMonths(d, whole);
    else if (iv == "y" || iv == "d" || iv == "w")
        r = d + static_cast<double>(whole);
    else if (iv == "ww")
        r = d + 7.0 * static_cast<double>(whole);
    else if (iv == "h" || iv == "n" || iv == "s") {
        DateParts p = dateParts(d);
        double seconds = iv == "h" ? 3600.0 * whole : iv == "n" ? 60.0 * whole : static_cast<double>(whole);
        double day = dateSerial(p.year, p.month, p.day);
        double secs = p.hour * 3600.0 + p.minute * 60.0 + p.second + seconds;
        double days = std::floor(secs / 86400.0);
        secs -= days * 86400.0;
        r = day + days + secs / 86400.0;
    } else {
        invalidArgument();
    }
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

void fnDatePart(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[1])) return sqlite3_result_null(c);
    const std::string iv = intervalOf(argv[0]);
    const double d = dateOf(argv[1]);
    const DateParts p = dateParts(d);
    long long r = 0;
    if (iv == "yyyy") r = p.year;
    else if (iv == "q") r = (p.month - 1) / 3 + 1;
    else if (iv == "m") r = p.month;
    else if (iv == "y") r = dayNumber(p) - static_cast<long long>(dateSerial(p.year, 1, 1)) + 1;
    else if (iv == "d") r = p.day;
    else if (iv == "w") r = weekday(d);
    else if (iv == "ww") {
        // Week 1 holds January 1; weeks start on Sunday.
        long long jan1 = static_cast<long long>(dateSerial(p.year, 1, 1));
        r = (dayNumber(p) - jan1 + weekday(static_cast<double>(jan1)) - 1) / 7 + 1;
    } else if (iv == "h") r = p.hour;
    else if (iv == "n") r = p.minute;
    else if (iv == "s") r = p.second;
    else invalidArgument();
    sqlite3_result_int64(c, r);
}

void fnDateSerial(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) return sqlite3_result_null(c);
    long long y = longOf(argv[0]), m = longOf(argv[1]), d = longOf(argv[2]);
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    // Months and days out of range roll over, as the engine does.
    double first = addMonths(dateSerial(static_cast<int>(y), 1, 1), m - 1);
    resultDate(c, first + static_cast<double>(d - 1));
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
    bool binary = false;
    if (argc == 4) {
        if (isNull(argv[3])) invalidUseOfNull();
        long long mode = longOf(argv[3]);
        if (mode != 0 && mode != 1) invalidArgument();
        binary = mode == 0;
    }
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
    bool binary = false;
    if (argc == 3) {
        if (isNull(argv[2])) invalidUseOfNull();
        long long mode = longOf(argv[2]);
        if (mode != 0 && mode != 1) invalidArgument();
        binary = mode == 0;
    }
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
    resultText(c, std::string(countOf(argv[0]), ' '));
}

void fnChr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    long long code = longOf(argv[0]);
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) invalidArgument();
    std::string out;
    appendUtf8(out, static_cast<uint32_t>(code));
    resultText(c, out);
}

void fnAsc(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    std::string s = textOf(argv[0]);
    if (s.empty()) invalidArgument();
    auto b = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) & 0x3Fu : 0u; };
    unsigned char lead = static_cast<unsigned char>(s[0]);
    unsigned long cp = lead;
    if ((lead >> 5) == 6) cp = ((lead & 0x1Fu) << 6) | b(1);
    else if ((lead >> 4) == 14) cp = ((lead & 0x0Fu) << 12) | (b(1) << 6) | b(2);
    else if ((lead >> 3) == 30) cp = ((lead & 0x07u) << 18) | (b(1) << 12) | (b(2) << 6) | b(3);
    sqlite3_result_int64(c, static_cast<long long>(cp));
}

void fnConcat(sqlite3_context* c, int, sqlite3_value** argv) {
    // Null & Null is Null; a Null beside a value counts as "".
    if (isNull(argv[0]) && isNull(argv[1])) return sqlite3_result_null(c);
    resultText(c, textOf(argv[0]) + textOf(argv[1]));
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
    if (a.kind == Operand::Text && b.kind == Operand::Text) return resultText(c, a.text + b.text);
    if (a.kind == Operand::Date || b.kind == Operand::Date) return resultDate(c, numericOperand(a) + numericOperand(b));
    long long sum = 0;
    if (a.kind == Operand::Integer && b.kind == Operand::Integer && !__builtin_add_overflow(a.integer, b.integer, &sum))
        return sqlite3_result_int64(c, sum);
    sqlite3_result_double(c, numericOperand(a) + numericOperand(b));
}

void fnSubtract(sqlite3_context* c, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) return sqlite3_result_null(c);
    Operand a = operandOf(argv[0]), b = operandOf(argv[1]);
    if (a.kind == Operand::Date && b.kind == Operand::Date) return sqlite3_result_double(c, a.number - b.number);
    if (a.kind == Operand::Date) return resultDate(c, a.number - numericOperand(b));
    long long diff = 0;
    if (a.kind == Operand::Integer && b.kind == Operand::Integer && !__builtin_sub_overflow(a.integer, b.integer, &diff))
        return sqlite3_result_int64(c, diff);
    sqlite3_result_double(c, numericOperand(a) - numericOperand(b));
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
void fnCCur(sqlite3_context* c, int, sqlite3_value** argv) {
    double d = numberOf(argv[0]);
    resultNumber(c, std::nearbyint(d * 10000.0) / 10000.0);
}
void fnCBool(sqlite3_context* c, int, sqlite3_value** argv) { resultBool(c, truthOf(argv[0])); }
void fnCDate(sqlite3_context* c, int, sqlite3_value** argv) { resultDate(c, dateOf(argv[0])); }

void fnIsNull(sqlite3_context* c, int, sqlite3_value** argv) { resultBool(c, isNull(argv[0])); }

void fnVal(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) invalidUseOfNull();
    // Blanks, tabs and line feeds are skipped anywhere; reading stops at the first other non-number character.
    std::string s;
    for (char ch : textOf(argv[0]))
        if (ch != ' ' && ch != '\t' && ch != '\n' && ch != '\r') s += ch;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        long long v = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            int digit = std::isxdigit(static_cast<unsigned char>(s[i]))
                            ? (std::isdigit(static_cast<unsigned char>(s[i])) ? s[i] - '0'
                                                                               : std::tolower(s[i]) - 'a' + 10)
                            : 99;
            if (digit >= base) break;
            v = v * base + digit;
            if (v > 0xFFFFFFFFLL) fail("Overflow");
        }
        return resultNumber(c, static_cast<double>(v));
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
    resultNumber(c, std::strtod(num.c_str(), nullptr));
}

void fnRound(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    long long places = argc > 1 && !isNull(argv[1]) ? longOf(argv[1]) : 0;
    if (places < 0 || places > 15) invalidArgument();
    double r = roundHalfEven(numberOf(argv[0]), static_cast<int>(places));
    if (places == 0 && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, argv[0]);
    resultNumber(c, r);
}

void fnAbs(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        long long n = sqlite3_value_int64(argv[0]);
        if (n == INT64_MIN) fail("Overflow");
        return sqlite3_result_int64(c, n < 0 ? -n : n);
    }
    resultNumber(c, std::fabs(numberOf(argv[0])));
}

void fnSqr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = numberOf(argv[0]);
    if (d < 0) invalidArgument();
    sqlite3_result_double(c, std::sqrt(d));
}

// Str: the number's text with a leading blank for non-negative values.
void fnStr(sqlite3_context* c, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    double d = numberOf(argv[0]);
    resultText(c, (d >= 0 ? " " : "") + formatDouble(d));
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

void fnFormat(sqlite3_context* c, int argc, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(c);
    std::string fmt = argc > 1 && !isNull(argv[1]) ? textOf(argv[1]) : std::string();
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
        float f = static_cast<float>(d);
        if (!std::isfinite(d) || !std::isfinite(f)) refuse(3349, argv, shown);
        return sqlite3_result_double(c, static_cast<double>(f));
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
        {"DatePart", 2, call<fnDatePart>, true},
        {"IIf", 3, call<fnIIf>, true},
        {"Nz", 1, call<fnNz>, true},
        {"Nz", 2, call<fnNz>, true},
        {"IsNull", 1, call<fnIsNull>, true},
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
        {"Chr", 1, call<fnChr>, true},
        {"Asc", 1, call<fnAsc>, true},
        {"Str", 1, call<fnStr>, true},
        {"Sqr", 1, call<fnSqr>, true},
        {"CStr", 1, call<fnCStr>, true},
        {"CLng", 1, call<fnCLng>, true},
        {"CInt", 1, call<fnCInt>, true},
        {"CByte", 1, call<fnCByte>, true},
        {"CDbl", 1, call<fnCDbl>, true},
        {"CSng", 1, call<fnCDbl>, true},
        {"CCur", 1, call<fnCCur>, true},
        {"CBool", 1, call<fnCBool>, true},
        {"CDate", 1, call<fnCDate>, true},
        {"CVDate", 1, call<fnCDate>, true},
        {"Format", 1, call<fnFormat>, true},
        {"Format", 2, call<fnFormat>, true},
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
    static const std::string dollarNames[] = {"Left",  "Right",  "Mid",   "UCase", "LCase", "Trim",
                                              "LTrim", "RTrim", "Format", "Space", "Chr",   "Str"};
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
    check(sqlite3_create_function_v2(db, "Last", 1, SQLITE_UTF8, nullptr, nullptr, keepStep<true>, keepFinal, nullptr),
          "Last");
    registerOperators(db);
}

}  // namespace dalvera::jet
