#pragma once
// Compact cell storage of one worksheet. Values live per column in blocks of
// 4096 rows (a kind byte and 8 payload bytes per row); texts are interned in a
// pool shared by the sheet; styles are interned in the workbook's table and held
// per column as runs of rows, so formatting a whole range costs a few map
// operations instead of one write per cell.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/Variant.h"

namespace dalvera::platform {

constexpr int32_t kMaxRows = 1048576;
constexpr int32_t kMaxCols = 16384;

// A rectangle of cells, 1-based and inclusive.
struct Rect {
    int32_t r1 = 1, c1 = 1, r2 = 1, c2 = 1;
    int32_t rows() const { return r2 - r1 + 1; }
    int32_t cols() const { return c2 - c1 + 1; }
    int64_t cells() const { return int64_t(rows()) * cols(); }
    bool contains(int32_t r, int32_t c) const { return r >= r1 && r <= r2 && c >= c1 && c <= c2; }
    bool contains(const Rect& o) const { return o.r1 >= r1 && o.r2 <= r2 && o.c1 >= c1 && o.c2 <= c2; }
    bool intersects(const Rect& o) const { return r1 <= o.r2 && o.r1 <= r2 && c1 <= o.c2 && o.c1 <= c2; }
    Rect intersect(const Rect& o) const {
        return {std::max(r1, o.r1), std::max(c1, o.c1), std::min(r2, o.r2), std::min(c2, o.c2)};
    }
    bool entireRows() const { return c1 == 1 && c2 == kMaxCols; }
    bool entireColumns() const { return r1 == 1 && r2 == kMaxRows; }
    bool operator==(const Rect&) const = default;
};

// The parts of r that lie outside cut (at most four rectangles).
std::vector<Rect> subtract(const Rect& r, const Rect& cut);

// A border edge.
struct Edge {
    int16_t lineStyle = -4142;  // none
    int16_t weight = 2;         // thin
    int32_t color = 0;
    bool operator==(const Edge&) const = default;
};

struct CellStyle {
    std::string numberFormat = "General";
    std::string styleName = "Normal";
    int32_t fillColor = -1;   // -1: no fill
    int32_t fontColor = -1;   // -1: automatic (black)
    bool bold = false;
    bool italic = false;
    double fontSize = 11;
    int16_t horizontalAlignment = 1;  // general
    bool locked = true;
    Edge left, top, right, bottom;
    bool operator==(const CellStyle&) const = default;
};

// Interned styles; id 0 is the default style.
class StyleTable {
public:
    StyleTable();
    uint32_t intern(const CellStyle& style);
    const CellStyle& operator[](uint32_t id) const { return styles_[id]; }
    size_t size() const { return styles_.size(); }

private:
    std::deque<CellStyle> styles_;
    std::unordered_map<size_t, std::vector<uint32_t>> byHash_;
};

// Interned texts with stable views.
class StringPool {
public:
    uint32_t intern(std::string_view s);
    std::string_view get(uint32_t id) const { return views_[id]; }
    size_t size() const { return views_.size(); }
    size_t bytes() const { return bytes_; }

private:
    std::vector<std::unique_ptr<char[]>> chunks_;
    size_t chunkUsed_ = 0, chunkSize_ = 0;
    std::vector<std::string_view> views_;
    // Open addressing: each slot holds id + 1 (0: free) and, above it, 32 bits
    // of the text's hash, so that probing and growing compare no texts. A
    // million distinct texts cost 16 bytes each here, where a node-based map takes 50.
    std::vector<uint64_t> slots_;
    size_t bytes_ = 0;
    const char* store(std::string_view s);
    void grow();
};

enum class CellKind : uint8_t { Empty = 0, Number, Text, Boolean, Date, Currency };

// One stored value: a kind and its 8 payload bytes.
struct CellValue {
    CellKind kind = CellKind::Empty;
    uint64_t bits = 0;
    double number() const;
    bool boolean() const { return bits != 0; }
    uint32_t textId() const { return static_cast<uint32_t>(bits); }
    int64_t currencyScaled() const { return static_cast<int64_t>(bits); }
    bool empty() const { return kind == CellKind::Empty; }
};

// Runs of rows with one style: a start row maps to the style up to the next start.
class StyleRuns {
public:
    StyleRuns() { runs_[1] = 0; }
    uint32_t at(int32_t row) const { return std::prev(runs_.upper_bound(row < 1 ? 1 : row))->second; }
    // Replaces the style of rows r1..r2 by f(old style).
    void transform(int32_t r1, int32_t r2, const std::function<uint32_t(uint32_t)>& f);
    void set(int32_t r1, int32_t r2, uint32_t style) { transform(r1, r2, [style](uint32_t) { return style; }); }
    // Rows at and below `at` move down by n (n < 0: rows at..at-n-1 go away);
    // inserted rows take the style of the row above.
    void shift(int32_t at, int32_t n);
    const std::map<int32_t, uint32_t>& runs() const { return runs_; }
    // The style of the last row: what a whole-column format gave the column.
    uint32_t base() const { return runs_.rbegin()->second; }

private:
    void split(int32_t row);
    void merge();
    std::map<int32_t, uint32_t> runs_;
};

class ColumnStore {
public:
    static constexpr int kBlockBits = 12;
    static constexpr int32_t kBlockRows = 1 << kBlockBits;

    CellValue get(int32_t row) const;
    void set(int32_t row, CellValue v);
    // Last row holding a value, 0 when none.
    int32_t lastRow() const;
    int32_t firstRow() const;
    // The next row at or after `row` that holds a value (0 when none) and the
    // next empty one at or after `row`.
    int32_t nextFilled(int32_t row) const;
    int32_t prevFilled(int32_t row) const;
    void shift(int32_t at, int32_t n);
    void clear(int32_t r1, int32_t r2);
    size_t memoryBytes() const;

    StyleRuns styles;

private:
    struct Block {
        uint32_t count = 0;
        uint8_t kind[kBlockRows];
        uint64_t bits[kBlockRows];
        Block();
    };
    std::vector<std::unique_ptr<Block>> blocks_;
};

}  // namespace dalvera::platform
