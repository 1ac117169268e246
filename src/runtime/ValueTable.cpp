#include "runtime/ValueTable.h"

#include <cstring>

namespace dalvera {

namespace {
uint64_t doubleBits(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}
}  // namespace

void ValueColumn::reserve(size_t rows) {
    types_.reserve(rows);
    bits_.reserve(rows);
}

uint64_t ValueColumn::store(const void* data, size_t n) {
    const uint64_t at = heap_.size();
    const auto length = static_cast<uint32_t>(n);
    heap_.resize(heap_.size() + sizeof length + n);
    std::memcpy(heap_.data() + at, &length, sizeof length);
    if (n) std::memcpy(heap_.data() + at + sizeof length, data, n);
    return at;
}

void ValueColumn::pushText(std::string_view s) {
    types_.push_back(static_cast<uint8_t>(VarType::String));
    bits_.push_back(store(s.data(), s.size()));
}

void ValueColumn::push(const Variant& v) {
    uint8_t type = static_cast<uint8_t>(v.type());
    uint64_t bits = 0;
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Error: break;
    case VarType::Boolean: bits = v.toBool() ? 1 : 0; break;
    case VarType::Currency: bits = static_cast<uint64_t>(v.currencyScaledValue()); break;
    case VarType::Single:
    case VarType::Double: bits = doubleBits(v.toDouble()); break;
    case VarType::Date: bits = doubleBits(v.toDateSerial()); break;
    case VarType::String: bits = store(v.stringRef().data(), v.stringRef().size()); break;
    case VarType::ByteArray:
        type = kBytes;
        bits = store(v.bytes().data(), v.bytes().size());
        break;
    default: bits = static_cast<uint64_t>(v.toLongLong()); break;
    }
    types_.push_back(type);
    bits_.push_back(bits);
}

void ValueColumn::set(size_t row, const Variant& v) {
    if (row >= size()) {
        types_.resize(row, static_cast<uint8_t>(VarType::Empty));
        bits_.resize(row, 0);
        push(v);
        return;
    }
    // The old text stays in the buffer: rows are replaced rarely (after a write).
    ValueColumn one;
    one.push(v);
    types_[row] = one.types_[0];
    bits_[row] = one.heap_.empty() ? one.bits_[0] : store(one.heap_.data() + sizeof(uint32_t), one.heap_.size() - sizeof(uint32_t));
}

VarType ValueColumn::type(size_t row) const {
    return types_[row] == kBytes ? VarType::ByteArray : static_cast<VarType>(types_[row]);
}

std::string_view ValueColumn::text(size_t row) const {
    if (types_[row] != static_cast<uint8_t>(VarType::String)) return {};
    uint32_t length;
    const char* p = heap_.data() + bits_[row];
    std::memcpy(&length, p, sizeof length);
    return {p + sizeof length, length};
}

double ValueColumn::number(size_t row) const {
    double d;
    std::memcpy(&d, &bits_[row], sizeof d);
    return d;
}

Variant ValueColumn::at(size_t row) const {
    const uint64_t b = bits_[row];
    switch (types_[row]) {
    case static_cast<uint8_t>(VarType::Empty): return Variant();
    case static_cast<uint8_t>(VarType::Null): return Variant::null();
    case static_cast<uint8_t>(VarType::Error): return Variant::missing();
    case static_cast<uint8_t>(VarType::Boolean): return Variant(b != 0);
    case static_cast<uint8_t>(VarType::Integer): return Variant::integer(static_cast<int16_t>(b));
    case static_cast<uint8_t>(VarType::Long): return Variant::longValue(static_cast<int32_t>(b));
    case static_cast<uint8_t>(VarType::Byte): return Variant::byteValue(static_cast<uint8_t>(b));
    case static_cast<uint8_t>(VarType::LongLong): return Variant::longLong(static_cast<int64_t>(b));
    case static_cast<uint8_t>(VarType::Currency): return Variant::currencyScaled(static_cast<int64_t>(b));
    case static_cast<uint8_t>(VarType::Single): return Variant::single(static_cast<float>(number(row)));
    case static_cast<uint8_t>(VarType::Double): return Variant(number(row));
    case static_cast<uint8_t>(VarType::Date): return Variant::date(number(row));
    case static_cast<uint8_t>(VarType::String): return Variant(text(row));
    case kBytes: {
        uint32_t length;
        const char* p = heap_.data() + b;
        std::memcpy(&length, p, sizeof length);
        auto u = reinterpret_cast<const uint8_t*>(p + sizeof length);
        return Variant(std::vector<uint8_t>(u, u + length));
    }
    default: return Variant();
    }
}

void ValueColumn::shrink() {
    types_.shrink_to_fit();
    bits_.shrink_to_fit();
    heap_.shrink_to_fit();
}

size_t ValueColumn::memoryBytes() const { return types_.capacity() + bits_.capacity() * 8 + heap_.capacity(); }

void ValueTable::appendTo(std::vector<std::vector<Variant>>& out, size_t from, size_t count) const {
    out.resize(columns_.size());
    for (size_t c = 0; c < columns_.size(); ++c) {
        out[c].reserve(out[c].size() + count);
        for (size_t r = from; r < from + count; ++r) out[c].push_back(columns_[c].at(r));
    }
}

void ValueTable::shrink() {
    for (auto& c : columns_) c.shrink();
}

size_t ValueTable::memoryBytes() const {
    size_t n = sizeof(*this);
    for (const auto& c : columns_) n += sizeof c + c.memoryBytes();
    return n;
}

}  // namespace dalvera
