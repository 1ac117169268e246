#pragma once
// Rows of values held per column and compactly: a type byte and 8 payload
// bytes per value, texts and byte arrays back to back in one buffer of the
// column. A million rows of ten columns fit in a little over 90 MB plus their
// texts, where Variants would take 800 MB.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/Variant.h"

namespace dalvera {

class ValueColumn {
public:
    size_t size() const { return types_.size(); }
    void reserve(size_t rows);
    void push(const Variant& v);
    void pushNull() { types_.push_back(static_cast<uint8_t>(VarType::Null)), bits_.push_back(0); }
    void pushText(std::string_view s);
    // Replaces the value of a row, growing the column with Empty values when needed.
    void set(size_t row, const Variant& v);
    Variant at(size_t row) const;
    VarType type(size_t row) const;
    // The text of a String value; empty for any other.
    std::string_view text(size_t row) const;
    // The payload as stored: the integer of whole numbers, Booleans and
    // Currency (scaled), the double bits of Single, Double and Date.
    uint64_t bits(size_t row) const { return bits_[row]; }
    double number(size_t row) const;
    // Gives back what growing left over.
    void shrink();
    size_t memoryBytes() const;

private:
    static constexpr uint8_t kBytes = 9;  // a byte array; VarType's own code does not fit a byte
    uint64_t store(const void* data, size_t n);
    std::vector<uint8_t> types_;
    std::vector<uint64_t> bits_;
    std::vector<char> heap_;
};

class ValueTable {
public:
    ValueTable() = default;
    explicit ValueTable(size_t columns) : columns_(columns) {}
    size_t columnCount() const { return columns_.size(); }
    // Rows of the first column: every column holds as many.
    size_t rowCount() const { return columns_.empty() ? 0 : columns_.front().size(); }
    ValueColumn& column(size_t c) { return columns_[c]; }
    const ValueColumn& column(size_t c) const { return columns_[c]; }
    Variant at(size_t column, size_t row) const { return columns_[column].at(row); }
    // Appends rows from.. from + count of every column to out[column], as Variants.
    void appendTo(std::vector<std::vector<Variant>>& out, size_t from, size_t count) const;
    void shrink();
    size_t memoryBytes() const;

private:
    std::vector<ValueColumn> columns_;
};

}  // namespace dalvera
