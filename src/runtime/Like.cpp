#include "runtime/Like.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/Error.h"

namespace dalvera {
namespace {

// Decodes one code point; a malformed byte counts as one character of its own
// value so that odd input still compares byte for byte.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t extra = (b & 0xF8) == 0xF0 ? 3 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xE0) == 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return b;
    }
    char32_t cp = b & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp;
}

std::vector<char32_t> decode(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) out.push_back(nextCodePoint(s, i));
    return out;
}

enum class Kind { Literal, AnyOne, Digit, Set, Star };

struct Token {
    Kind kind = Kind::Literal;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
    bool matches(char32_t c) const {
        switch (kind) {
        case Kind::Literal: return c == ch;
        case Kind::AnyOne: return true;
        case Kind::Digit: return c >= U'0' && c <= U'9';
        case Kind::Set: {
            bool in = false;
            for (auto& [lo, hi] : ranges)
                if (c >= lo && c <= hi) { in = true; break; }
            return in != negated;
        }
        case Kind::Star: return false;
        }
        return false;
    }
};

[[noreturn]] void badPattern() { raise(93, "Invalid pattern string"); }

std::vector<Token> compile(const std::vector<char32_t>& p) {
    std::vector<Token> tokens;
    for (size_t i = 0; i < p.size(); ++i) {
        Token t;
        char32_t c = p[i];
        if (c == U'*') {
            // Runs of stars mean the same as one.
            if (!tokens.empty() && tokens.back().kind == Kind::Star) continue;
            t.kind = Kind::Star;
        } else if (c == U'?') {
            t.kind = Kind::AnyOne;
        } else if (c == U'#') {
            t.kind = Kind::Digit;
        } else if (c == U'[') {
            size_t j = i + 1;
            t.kind = Kind::Set;
            if (j < p.size() && p[j] == U'!') {
                t.negated = true;
                ++j;
            }
            size_t start = j;
            while (j < p.size() && p[j] != U']') ++j;
            if (j >= p.size()) badPattern();
            // "[]" matches nothing at all: it is an empty item, skip it.
            if (j == start && !t.negated) {
                i = j;
                continue;
            }
            for (size_t k = start; k < j; ++k) {
                char32_t lo = p[k];
                // A '-' first or last in the list is itself.
                if (k + 2 < j && p[k + 1] == U'-') {
                    char32_t hi = p[k + 2];
                    if (hi < lo) badPattern();
                    t.ranges.emplace_back(lo, hi);
                    k += 2;
                } else {
                    t.ranges.emplace_back(lo, lo);
                }
            }
            i = j;
        } else {
            t.ch = c;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

}  // namespace

bool Like(std::string_view text, std::string_view pattern) {
    const std::vector<char32_t> s = decode(text);
    const std::vector<Token> tokens = compile(decode(pattern));

    // Every token but * takes exactly one character, so the classic greedy walk
    // that remembers only the last star is exact and runs in O(n*m) at worst.
    size_t si = 0, ti = 0;
    size_t starToken = SIZE_MAX, starText = 0;
    while (si < s.size()) {
        if (ti < tokens.size() && tokens[ti].kind != Kind::Star && tokens[ti].matches(s[si])) {
            ++si;
            ++ti;
        } else if (ti < tokens.size() && tokens[ti].kind == Kind::Star) {
            starToken = ti++;
            starText = si;
        } else if (starToken != SIZE_MAX) {
            ti = starToken + 1;
            si = ++starText;
        } else {
            return false;
        }
    }
    while (ti < tokens.size() && tokens[ti].kind == Kind::Star) ++ti;
    return ti == tokens.size();
}

}  // namespace dalvera
