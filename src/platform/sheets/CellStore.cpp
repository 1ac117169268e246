#include "platform/sheets/CellStore.h"

#include <cstring>

namespace dalvera::platform {

std::vector<Rect> subtract(const Rect& r, const Rect& cut) {
    if (!r.intersects(cut)) return {r};
    Rect i = r.intersect(cut);
    std::vector<Rect> out;
    if (r.r1 < i.r1) out.push_back({r.r1, r.c1, i.r1 - 1, r.c2});
    if (i.r2 < r.r2) out.push_back({i.r2 + 1, r.c1, r.r2, r.c2});
    if (r.c1 < i.c1) out.push_back({i.r1, r.c1, i.r2, i.c1 - 1});
    if (i.c2 < r.c2) out.push_back({i.r1, i.c2 + 1, i.r2, r.c2});
    return out;
}

namespace {
size_t hashStyle(const CellStyle& s) {
    size_t h = std::hash<std::string>()(s.numberFormat) ^ (std::hash<std::string>()(s.styleName) << 1);
    auto mix = [&h](uint64_t v) { h ^= std::hash<uint64_t>()(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(static_cast<uint32_t>(s.fillColor));
    mix(static_cast<uint32_t>(s.fontColor));
    mix(uint64_t(s.bold) | uint64_t(s.italic) << 1 | uint64_t(s.locked) << 2);
    mix(static_cast<uint64_t>(s.fontSize * 100));
    mix(static_cast<uint16_t>(s.horizontalAlignment));
    for (const Edge* e : {&s.left, &s.top, &s.right, &s.bottom})
        mix(uint64_t(static_cast<uint16_t>(e->lineStyle)) << 48 | uint64_t(static_cast<uint16_t>(e->weight)) << 32 |
            static_cast<uint32_t>(e->color));
    return h;
}
}  // namespace

StyleTable::StyleTable() { intern(CellStyle{}); }

uint32_t StyleTable::intern(const CellStyle& style) {
    size_t h = hashStyle(style);
    auto& bucket = byHash_[h];
    for (uint32_t id : bucket)
        if (styles_[id] == style) return id;
    styles_.push_back(style);
    auto id = static_cast<uint32_t>(styles_.size() - 1);
    bucket.push_back(id);
    return id;
}

const char* StringPool::store(std::string_view s) {
    if (s.size() > chunkSize_ - chunkUsed_) {
        chunkSize_ = std::max<size_t>(s.size(), 64 * 1024);
        chunks_.push_back(std::make_unique<char[]>(chunkSize_));
        chunkUsed_ = 0;
    }
    char* p = chunks_.back().get() + chunkUsed_;
    if (!s.empty()) std::memcpy(p, s.data(), s.size());
    chunkUsed_ += s.size();
    bytes_ += s.size();
    return p;
}

void StringPool::grow() {
    std::vector<uint64_t> slots(std::max<size_t>(1024, slots_.size() * 2), 0);
    const size_t mask = slots.size() - 1;
    for (uint64_t slot : slots_) {
        if (!slot) continue;
        size_t i = (slot >> 32) & mask;
        while (slots[i]) i = (i + 1) & mask;
        slots[i] = slot;
    }
    slots_.swap(slots);
}

uint32_t StringPool::intern(std::string_view s) {
    if ((views_.size() + 1) * 2 > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    const uint64_t h = static_cast<uint32_t>(std::hash<std::string_view>()(s));
    size_t i = h & mask;
    for (; slots_[i]; i = (i + 1) & mask) {
        const uint64_t slot = slots_[i];
        if ((slot >> 32) == h && views_[(slot & 0xFFFFFFFFu) - 1] == s) return static_cast<uint32_t>((slot & 0xFFFFFFFFu) - 1);
    }
    auto id = static_cast<uint32_t>(views_.size());
    views_.emplace_back(store(s), s.size());
    slots_[i] = h << 32 | (uint64_t(id) + 1);
    return id;
}

double CellValue::number() const {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void StyleRuns::split(int32_t row) {
    if (row > kMaxRows || runs_.count(row)) return;
    runs_[row] = at(row);
}

void StyleRuns::merge() {
    auto it = runs_.begin();
    while (it != runs_.end()) {
        auto next = std::next(it);
        if (next != runs_.end() && next->second == it->second)
            runs_.erase(next);
        else
            it = next;
    }
}

void StyleRuns::transform(int32_t r1, int32_t r2, const std::function<uint32_t(uint32_t)>& f) {
    split(r1);
    split(r2 + 1);
    for (auto it = runs_.find(r1); it != runs_.end() && it->first <= r2; ++it) it->second = f(it->second);
    merge();
}

void StyleRuns::shift(int32_t at, int32_t n) {
    if (n == 0) return;
    std::map<int32_t, uint32_t> out;
    if (n > 0) {
        uint32_t above = this->at(at > 1 ? at - 1 : at);
        uint32_t old = this->at(at);
        for (auto& [row, style] : runs_) {
            if (row < at) out[row] = style;
            else if (int64_t(row) + n <= kMaxRows) out[row + n] = style;
        }
        out[at] = above;  // inserted rows look like the row above
        if (int64_t(at) + n <= kMaxRows) out[at + n] = old;
    } else {
        int32_t gone = -n;
        uint32_t after = this->at(int64_t(at) + gone <= kMaxRows ? at + gone : kMaxRows);
        for (auto& [row, style] : runs_) {
            if (row < at) out[row] = style;
            else if (row >= at + gone) out[row - gone] = style;
        }
        out[at] = after;
    }
    if (!out.count(1)) out[1] = 0;
    runs_.swap(out);
    merge();
}

ColumnStore::Block::Block() {
    std::memset(kind, 0, sizeof kind);
}

CellValue ColumnStore::get(int32_t row) const {
    size_t b = static_cast<size_t>(row - 1) >> kBlockBits;
    if (b >= blocks_.size() || !blocks_[b]) return {};
    size_t i = static_cast<size_t>(row - 1) & (kBlockRows - 1);
    const Block& blk = *blocks_[b];
    if (!blk.kind[i]) return {};
    return {static_cast<CellKind>(blk.kind[i]), blk.bits[i]};
}

void ColumnStore::set(int32_t row, CellValue v) {
    size_t b = static_cast<size_t>(row - 1) >> kBlockBits;
    size_t i = static_cast<size_t>(row - 1) & (kBlockRows - 1);
    if (b >= blocks_.size()) {
        if (v.empty()) return;
        blocks_.resize(b + 1);
    }
    if (!blocks_[b]) {
        if (v.empty()) return;
        blocks_[b] = std::make_unique<Block>();
    }
    Block& blk = *blocks_[b];
    bool was = blk.kind[i] != 0;
    blk.kind[i] = static_cast<uint8_t>(v.kind);
    blk.bits[i] = v.bits;
    if (was && v.empty()) {
        if (--blk.count == 0) blocks_[b].reset();
    } else if (!was && !v.empty()) {
        ++blk.count;
    }
}

int32_t ColumnStore::lastRow() const {
    for (size_t b = blocks_.size(); b-- > 0;) {
        if (!blocks_[b]) continue;
        for (int i = kBlockRows; i-- > 0;)
            if (blocks_[b]->kind[i]) return static_cast<int32_t>((b << kBlockBits) + i + 1);
    }
    return 0;
}

int32_t ColumnStore::firstRow() const { return nextFilled(1); }

int32_t ColumnStore::nextFilled(int32_t row) const {
    if (row < 1) row = 1;
    for (size_t b = static_cast<size_t>(row - 1) >> kBlockBits; b < blocks_.size(); ++b) {
        if (!blocks_[b]) continue;
        size_t start = (b << kBlockBits) + 1;
        size_t i = static_cast<size_t>(row) > start ? static_cast<size_t>(row) - start : 0;
        for (; i < static_cast<size_t>(kBlockRows); ++i)
            if (blocks_[b]->kind[i]) return static_cast<int32_t>(start + i);
    }
    return 0;
}

int32_t ColumnStore::prevFilled(int32_t row) const {
    if (row > kMaxRows) row = kMaxRows;
    for (int32_t r = row; r >= 1;) {
        size_t b = static_cast<size_t>(r - 1) >> kBlockBits;
        if (b >= blocks_.size() || !blocks_[b]) {
            r = static_cast<int32_t>(b << kBlockBits);  // last row of the previous block
            continue;
        }
        if (blocks_[b]->kind[(r - 1) & (kBlockRows - 1)]) return r;
        --r;
    }
    return 0;
}

void ColumnStore::shift(int32_t at, int32_t n) {
    if (n == 0) return;
    styles.shift(at, n);
    int32_t last = lastRow();
    if (last < at) return;
    if (n > 0) {
        for (int32_t r = last; r >= at; --r) {
            CellValue v = get(r);
            if (int64_t(r) + n <= kMaxRows) set(r + n, v);
            set(r, {});
        }
    } else {
        int32_t gone = -n;
        for (int32_t r = at; r <= last; ++r) {
            CellValue v = r + gone <= last ? get(r + gone) : CellValue{};
            set(r, v);
        }
    }
}

void ColumnStore::clear(int32_t r1, int32_t r2) {
    for (int32_t r = nextFilled(r1); r && r <= r2; r = nextFilled(r + 1)) set(r, {});
}

size_t ColumnStore::memoryBytes() const {
    size_t n = blocks_.capacity() * sizeof(void*);
    for (auto& b : blocks_)
        if (b) n += sizeof(Block);
    return n + styles.runs().size() * 48;
}

}  // namespace dalvera::platform
