#pragma once
// The loosely typed value that the hosts pass around. The type codes are the
// automation VarType codes, because callers compare with them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dalvera {

enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,    // 16-bit
    Long = 3,       // 32-bit
    Single = 4,
    Double = 5,
    Currency = 6,   // fixed point, 4 decimals
    Date = 7,       // serial: days since 1899-12-30
    String = 8,
    Error = 10,     // only as Missing (an omitted optional argument)
    Boolean = 11,
    Byte = 17,
    LongLong = 20,  // 64-bit
    ByteArray = 8209,
};

class Variant {
public:
    Variant() = default;
    Variant(bool v) : type_(VarType::Boolean) { i_ = v ? 1 : 0; }
    Variant(int v) : type_(VarType::Long) { i_ = v; }
    Variant(long v) : type_(VarType::LongLong) { i_ = v; }
    Variant(long long v) : type_(VarType::LongLong) { i_ = v; }
    Variant(double v) : type_(VarType::Double) { d_ = v; }
    Variant(const char* v) : type_(VarType::String), s_(v) {}
    Variant(std::string v) : type_(VarType::String), s_(std::move(v)) {}
    Variant(std::string_view v) : type_(VarType::String), s_(v) {}
    Variant(std::vector<std::uint8_t> v) : type_(VarType::ByteArray), bytes_(std::move(v)) {}

    static Variant null() { Variant v; v.type_ = VarType::Null; return v; }
    static Variant missing() { Variant v; v.type_ = VarType::Error; return v; }
    static Variant integer(int16_t v) { Variant r; r.type_ = VarType::Integer; r.i_ = v; return r; }
    static Variant longValue(int32_t v) { Variant r; r.type_ = VarType::Long; r.i_ = v; return r; }
    static Variant longLong(int64_t v) { Variant r; r.type_ = VarType::LongLong; r.i_ = v; return r; }
    static Variant byteValue(uint8_t v) { Variant r; r.type_ = VarType::Byte; r.i_ = v; return r; }
    static Variant single(float v) { Variant r; r.type_ = VarType::Single; r.d_ = v; return r; }
    static Variant date(double serial) { Variant r; r.type_ = VarType::Date; r.d_ = serial; return r; }
    // Currency from its scaled value (units of 1/10000).
    static Variant currencyScaled(int64_t scaled) { Variant r; r.type_ = VarType::Currency; r.i_ = scaled; return r; }
    static Variant currency(double v);

    VarType type() const { return type_; }
    bool isEmpty() const { return type_ == VarType::Empty; }
    bool isNull() const { return type_ == VarType::Null; }
    bool isMissing() const { return type_ == VarType::Error; }
    bool isString() const { return type_ == VarType::String; }
    bool isBoolean() const { return type_ == VarType::Boolean; }
    bool isDate() const { return type_ == VarType::Date; }
    bool isBytes() const { return type_ == VarType::ByteArray; }
    // A number type (integers, floating point, currency), not dates or Booleans.
    bool isNumber() const;
    // "IsNumeric": a number, a Boolean, Empty, or a text that reads as a number.
    bool isNumeric() const;

    // Conversions; each raises error 13 (type mismatch) where the host would.
    double toDouble() const;
    int64_t toLongLong() const;  // rounds half to even, as the hosts do
    int32_t toLong() const;
    bool toBool() const;
    double toDateSerial() const;
    // Text as the host's CStr gives it (Null raises 94, Empty gives "").
    std::string toString() const;
    // Like toString, but Null and Empty give "".
    std::string text() const;
    int64_t currencyScaledValue() const;
    const std::string& stringRef() const { return s_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    // Strict equality of type and value; for tests and keys.
    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

    // Name of the type as the host's TypeName gives it.
    std::string typeName() const;

private:
    VarType type_ = VarType::Empty;
    int64_t i_ = 0;
    double d_ = 0;
    std::string s_;
    std::vector<std::uint8_t> bytes_;
};

// Reads a number from text the way the host's Val-less conversions do:
// optional blanks, sign, digits, one decimal point ('.'), exponent. Returns
// false when the whole text is not a number.
bool parseNumber(std::string_view text, double& out);

// Shortest text for a double with at most 15 significant digits, as the host shows it.
std::string formatDouble(double v);

// A 1-based two-dimensional array, as a range's Value gives it.
class VariantArray2D {
public:
    VariantArray2D() = default;
    VariantArray2D(long rows, long cols) : rows_(rows), cols_(cols), data_(static_cast<size_t>(rows * cols)) {}
    long rows() const { return rows_; }
    long cols() const { return cols_; }
    Variant& operator()(long r, long c) { return data_[static_cast<size_t>((r - 1) * cols_ + (c - 1))]; }
    const Variant& operator()(long r, long c) const { return data_[static_cast<size_t>((r - 1) * cols_ + (c - 1))]; }
    std::vector<Variant>& data() { return data_; }
    const std::vector<Variant>& data() const { return data_; }

private:
    long rows_ = 0;
    long cols_ = 0;
    std::vector<Variant> data_;
};

}  // namespace dalvera
