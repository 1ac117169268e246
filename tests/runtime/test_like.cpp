#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "runtime/Error.h"
#include "runtime/Like.h"

using dalvera::Error;
using dalvera::Like;

TEST(Like, WildcardsOfTheHost) {
    EXPECT_TRUE(Like("aBBBa", "a*a"));
    EXPECT_TRUE(Like("BAT123khg", "B?T*"));
    EXPECT_FALSE(Like("CAT123khg", "B?T*"));
    EXPECT_TRUE(Like("a2a", "a#a"));
    EXPECT_FALSE(Like("aaa", "a#a"));
    EXPECT_TRUE(Like("", "*"));
    EXPECT_TRUE(Like("", "***"));
    EXPECT_FALSE(Like("", "?"));
    EXPECT_TRUE(Like("abc", "abc"));
    EXPECT_FALSE(Like("abc", "ab"));
    EXPECT_FALSE(Like("ab", "abc"));
    EXPECT_TRUE(Like("xx Dalvera 11 yy", "*Dalvera*"));
    EXPECT_FALSE(Like("xx dalvera 11 yy", "*Dalvera*"));  // case-sensitive
    EXPECT_TRUE(Like("abcabd", "*abd"));                  // needs a step back over the star
    EXPECT_TRUE(Like("mississippi", "*sip*"));
    EXPECT_FALSE(Like("mississippi", "*sip*x"));
}

TEST(Like, CharacterLists) {
    EXPECT_TRUE(Like("F", "[A-Z]"));
    EXPECT_FALSE(Like("F", "[!A-Z]"));
    EXPECT_TRUE(Like("aM5b", "a[L-P]#[!c-e]"));
    EXPECT_FALSE(Like("aM5d", "a[L-P]#[!c-e]"));
    EXPECT_TRUE(Like("b", "[abc]"));
    EXPECT_TRUE(Like("-", "[a-]"));  // a dash last is itself
    EXPECT_TRUE(Like("-", "[-a]"));
    EXPECT_TRUE(Like("*", "[*]"));
    EXPECT_FALSE(Like("x", "[*]"));
    EXPECT_TRUE(Like("a?b", "a[?]b"));
    EXPECT_TRUE(Like("a#", "a[#]"));
    EXPECT_TRUE(Like("[", "[[]"));
    EXPECT_TRUE(Like("]", "]"));
    EXPECT_TRUE(Like("ab", "a[]b"));  // an empty list is an empty item
    EXPECT_TRUE(Like("7", "[0-35-9]"));
    EXPECT_FALSE(Like("4", "[0-35-9]"));
}

TEST(Like, CountsCharactersNotBytes) {
    EXPECT_TRUE(Like("één", "???"));
    EXPECT_FALSE(Like("één", "????"));
    EXPECT_TRUE(Like("€ 5", "? #"));
    EXPECT_TRUE(Like("ü", "[à-ÿ]"));
    EXPECT_FALSE(Like("u", "[à-ÿ]"));
    EXPECT_TRUE(Like("日本語", "日*"));
    EXPECT_TRUE(Like("日本語", "[!a-z]??"));
}

TEST(Like, MalformedPatternsRaise93) {
    for (const char* p : {"[abc", "a[", "[z-a]"}) {
        try {
            Like("a", p);
            ADD_FAILURE() << p;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 93) << p;
        }
    }
}

TEST(Like, ManyStarsStayFast) {
    std::string text(20000, 'a');
    std::string pattern;
    for (int i = 0; i < 30; ++i) pattern += "*a";
    pattern += "*b";
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Like(text, pattern));
    EXPECT_TRUE(Like(text + "b", pattern));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 2000);
}
