#include "runtime/Variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/DateSerial.h"
#include "runtime/Error.h"

namespace dalvera {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int64_t roundHalfEven(double v) {
    double r = std::nearbyint(v);  // default rounding mode is to nearest, ties to even
    // Every double in [-2^63, 2^63) fits; the bound is exact in binary.
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) raise(err::Overflow, standardErrorText(err::Overflow));
    return static_cast<int64_t>(r);
}
}  // namespace

std::string standardErrorText(long number) {
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 9: return "Subscript out of range";
    case 13: return "Type mismatch";
    case 53: return "File not found";
    case 70: return "Permission denied";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 94: return "Invalid use of Null";
    case 424: return "Object required";
    case 1004: return "Application-defined or object-defined error";
    default: return "Application-defined or object-defined error";
    }
}

void raiseStandard(long number, std::string source) {
    throw Error(number, standardErrorText(number), std::move(source));
}

bool parseNumber(std::string_view t, double& out) {
    size_t b = 0, e = t.size();
    while (b < e && isBlank(t[b])) ++b;
    while (e > b && isBlank(t[e - 1])) --e;
    if (b == e) return false;
    std::string s(t.substr(b, e - b));
    // Reject what strtod accepts but the host does not: hex, inf, nan.
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
            return false;
    }
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size()) return false;
    if (!std::isfinite(v)) return false;
    out = v;
    return true;
}

std::string formatDouble(double v) {
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string s(buf);
    // %g writes e+XX; the host writes E+XX.
    auto pos = s.find('e');
    if (pos != std::string::npos) {
        std::string mant = s.substr(0, pos);
        std::string ex = s.substr(pos + 1);
        char sign = ex[0];
        std::string digits = ex.substr(1);
        while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
        s = mant + "E" + sign + digits;
    }
    return s;
}

Variant Variant::currency(double v) {
    return currencyScaled(roundHalfEven(v * 10000.0));
}

bool Variant::isNumber() const {
    switch (type_) {
    case VarType::Integer: case VarType::Long: case VarType::LongLong: case VarType::Byte:
    case VarType::Single: case VarType::Double: case VarType::Currency:
        return true;
    default:
        return false;
    }
}

bool Variant::isNumeric() const {
    if (isNumber() || type_ == VarType::Boolean || type_ == VarType::Empty) return true;
    if (type_ == VarType::String) {
        double d;
        return parseNumber(s_, d);
    }
    return false;
}

double Variant::toDouble() const {
    switch (type_) {
    case VarType::Empty: return 0;
    case VarType::Boolean: return i_ ? -1.0 : 0.0;
    case VarType::Integer: case VarType::Long: case VarType::LongLong: case VarType::Byte:
        return static_cast<double>(i_);
    case VarType::Currency: return static_cast<double>(i_) / 10000.0;
    case VarType::Single: case VarType::Double: case VarType::Date:
        return d_;
    case VarType::String: {
        double d;
        if (parseNumber(s_, d)) return d;
        if (s_ == "True") return -1;
        if (s_ == "False") return 0;
        raiseStandard(err::TypeMismatch);
    }
    case VarType::Null: raise(94, standardErrorText(94));
    default: raiseStandard(err::TypeMismatch);
    }
}

int64_t Variant::toLongLong() const {
    switch (type_) {
    case VarType::Integer: case VarType::Long: case VarType::LongLong: case VarType::Byte:
        return i_;
    case VarType::Boolean: return i_ ? -1 : 0;
    default: return roundHalfEven(toDouble());
    }
}

int32_t Variant::toLong() const {
    int64_t v = toLongLong();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        raiseStandard(err::Overflow);
    return static_cast<int32_t>(v);
}

bool Variant::toBool() const {
    switch (type_) {
    case VarType::Boolean: return i_ != 0;
    case VarType::String: {
        // The host accepts its own words in either case, and numbers.
        std::string l;
        for (char c : s_) l += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == "true" || l == "waar") return true;
        if (l == "false" || l == "onwaar") return false;
        double d;
        if (parseNumber(s_, d)) return d != 0;
        raiseStandard(err::TypeMismatch);
    }
    default: return toDouble() != 0;
    }
}

double Variant::toDateSerial() const {
    if (type_ == VarType::Date) return d_;
    if (type_ == VarType::String) {
        double serial;
        if (parseDateText(s_, serial)) return serial;
        raiseStandard(err::TypeMismatch);
    }
    return toDouble();
}

int64_t Variant::currencyScaledValue() const {
    if (type_ == VarType::Currency) return i_;
    return roundHalfEven(toDouble() * 10000.0);
}

std::string Variant::toString() const {
    switch (type_) {
    case VarType::Empty: return {};
    case VarType::Null: raise(94, standardErrorText(94));
    case VarType::Boolean: return i_ ? "True" : "False";
    case VarType::Integer: case VarType::Long: case VarType::LongLong: case VarType::Byte:
        return std::to_string(i_);
    case VarType::Single: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.7g", d_);
        double back = std::strtod(buf, nullptr);
        return formatDouble(back);
    }
    case VarType::Double: return formatDouble(d_);
    case VarType::Currency: return formatDouble(static_cast<double>(i_) / 10000.0);
    case VarType::Date: return formatDateDefault(d_);
    case VarType::String: return s_;
    case VarType::ByteArray: return std::string(bytes_.begin(), bytes_.end());
    case VarType::Error: return "Error 448";
    }
    return {};
}

std::string Variant::text() const {
    if (type_ == VarType::Null || type_ == VarType::Empty || type_ == VarType::Error) return {};
    return toString();
}

bool Variant::operator==(const Variant& o) const {
    if (type_ != o.type_) return false;
    switch (type_) {
    case VarType::Empty: case VarType::Null: case VarType::Error: return true;
    case VarType::Single: case VarType::Double: case VarType::Date: return d_ == o.d_;
    case VarType::String: return s_ == o.s_;
    case VarType::ByteArray: return bytes_ == o.bytes_;
    default: return i_ == o.i_;
    }
}

std::string Variant::typeName() const {
    switch (type_) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Single: return "Single";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Error: return "Error";
    case VarType::Boolean: return "Boolean";
    case VarType::Byte: return "Byte";
    case VarType::LongLong: return "LongLong";
    case VarType::ByteArray: return "Byte()";
    }
    return "Variant";
}

}  // namespace dalvera
