#pragma once
// Tokens of the dialect. Internal to the translator.
#include <string>
#include <string_view>
#include <vector>

namespace dalvera::jet::detail {

enum class Tok {
    Space,    // blanks and line breaks
    Comment,  // -- ... and /* ... */, copied unchanged
    Word,     // bare identifier or keyword
    Name,     // [bracketed] or `back-quoted` name; text is the name itself
    String,   // 'text' or "text"; text is the value, quotes undone
    Number,
    Date,     // #...#; text is the storage form
    Punct,    // operators and punctuation, one token each ("<=", "<>", ">=", "!=")
};

struct Token {
    Tok kind;
    std::string text;
    size_t pos = 0;  // offset in the statement, for messages
};

// Splits a statement into tokens; raises 3075 on an unclosed string, name,
// comment or date literal and on a date literal that is no date.
std::vector<Token> tokenize(std::string_view sql);

// SQLite forms of names and texts.
std::string quoteName(std::string_view name);
std::string quoteString(std::string_view text);

}  // namespace dalvera::jet::detail
