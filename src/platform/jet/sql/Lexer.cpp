#include "platform/jet/sql/Lexer.h"

#include <cctype>

#include "platform/jet/sql/JetSql.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet::detail {

namespace {

bool isWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

[[noreturn]] void syntaxError(std::string_view sql, size_t pos, const std::string& what) {
    std::string excerpt(sql.substr(pos, 40));
    raise(3075, "Syntax error (" + what + ") in query expression '" + excerpt + "'.", "Jet SQL");
}

// "{guid {...}}" at sql[i]: its length, 0 when the text there is no GUID
// literal; the GUID in the engine's stored form goes to out.
size_t guidLiteral(std::string_view sql, size_t i, std::string& out) {
    const size_t n = sql.size();
    auto blanks = [&](size_t k) {
        while (k < n && std::isspace(static_cast<unsigned char>(sql[k]))) ++k;
        return k;
    };
    size_t k = blanks(i + 1);
    if (k + 4 > n || !equalsNoCase(sql.substr(k, 4), "guid")) return 0;
    k = blanks(k + 4);
    if (k >= n || sql[k] != '{') return 0;
    size_t close = sql.find('}', k + 1);
    if (close == std::string_view::npos) syntaxError(sql, i, "missing closing brace");
    std::string_view body = sql.substr(k + 1, close - k - 1);
    size_t end = blanks(close + 1);
    bool shaped = body.size() == 36 && end < n && sql[end] == '}';
    for (size_t p = 0; shaped && p < body.size(); ++p) {
        bool dash = p == 8 || p == 13 || p == 18 || p == 23;
        shaped = dash ? body[p] == '-' : std::isxdigit(static_cast<unsigned char>(body[p])) != 0;
    }
    if (!shaped)
        raise(3075, "Malformed GUID. in query expression '" + std::string(sql.substr(i, end + 1 - i)) + "'.", "Jet SQL");
    out = "{" + upperAscii(body) + "}";
    return end + 1 - i;
}

}  // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const size_t start = i;
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        std::string guid;
        if (std::isspace(c)) {
            while (i < n && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
            out.push_back({Tok::Space, std::string(sql.substr(start, i - start)), start});
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
            out.push_back({Tok::Comment, std::string(sql.substr(start, i - start)), start});
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            if (end == std::string_view::npos) syntaxError(sql, start, "unclosed comment");
            i = end + 2;
            out.push_back({Tok::Comment, std::string(sql.substr(start, i - start)), start});
        } else if (c == '\'' || c == '"') {
            // Both quote characters delimit texts; a doubled quote stands for itself.
            std::string value;
            ++i;
            for (;;) {
                if (i >= n) syntaxError(sql, start, "missing closing quote");
                if (sql[i] == static_cast<char>(c)) {
                    if (i + 1 < n && sql[i + 1] == static_cast<char>(c)) {
                        value += static_cast<char>(c);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += sql[i++];
            }
            out.push_back({Tok::String, std::move(value), start});
        } else if (c == '[') {
            size_t end = sql.find(']', i + 1);
            if (end == std::string_view::npos) syntaxError(sql, start, "missing closing bracket");
            std::string name(sql.substr(i + 1, end - i - 1));
            if (name.empty()) syntaxError(sql, start, "empty name");
            i = end + 1;
            out.push_back({Tok::Name, std::move(name), start});
        } else if (c == '`') {
            size_t end = sql.find('`', i + 1);
            if (end == std::string_view::npos) syntaxError(sql, start, "missing closing back quote");
            std::string name(sql.substr(i + 1, end - i - 1));
            if (name.empty()) syntaxError(sql, start, "empty name");
            i = end + 1;
            out.push_back({Tok::Name, std::move(name), start});
        } else if (size_t guidLength = c == '{' ? guidLiteral(sql, i, guid) : 0; guidLength > 0) {
            i += guidLength;
            out.push_back({Tok::String, guid, start});
        } else if (c == '#') {
            size_t end = sql.find('#', i + 1);
            if (end == std::string_view::npos) syntaxError(sql, start, "missing closing #");
            std::string_view body = sql.substr(i + 1, end - i - 1);
            double serial = 0;
            if (!parseDateWithMillis(trimBlanks(body), serial) && !parseNamedMonthDate(trimBlanks(body), serial))
                raise(3075, "Syntax error in date in query expression '#" + std::string(body) + "#'.", "Jet SQL");
            i = end + 1;
            out.push_back({Tok::Date, dateToStorage(serial), start});
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            while (i < n && (std::isdigit(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) ++i;
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t j = i + 1;
                if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
                if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
                }
            }
            if (i < n && isWordStart(static_cast<unsigned char>(sql[i]))) syntaxError(sql, start, "invalid number");
            out.push_back({Tok::Number, std::string(sql.substr(start, i - start)), start});
        } else if (c == '@' && i + 10 <= n && equalsNoCase(std::string(sql.substr(i, 10)), "@@IDENTITY") &&
                   (i + 10 == n || !isWordChar(static_cast<unsigned char>(sql[i + 10])))) {
            // The auto-number the last insert on this connection was given.
            i += 10;
            out.push_back({Tok::Word, "last_insert_rowid", start});
            out.push_back({Tok::Punct, "(", start});
            out.push_back({Tok::Punct, ")", start});
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(static_cast<unsigned char>(sql[i]))) ++i;
            out.push_back({Tok::Word, std::string(sql.substr(start, i - start)), start});
        } else {
            size_t len = 1;
            if (i + 1 < n) {
                std::string_view two = sql.substr(i, 2);
                if (two == "<=" || two == ">=" || two == "<>" || two == "!=") len = 2;
            }
            i += len;
            out.push_back({Tok::Punct, std::string(sql.substr(start, len)), start});
        }
    }
    return out;
}

std::string quoteName(std::string_view name) {
    std::string r = "\"";
    for (char ch : name) {
        if (ch == '"') r += '"';
        r += ch;
    }
    return r + "\"";
}

std::string quoteString(std::string_view text) {
    std::string r = "'";
    for (char ch : text) {
        if (ch == '\'') r += '\'';
        r += ch;
    }
    return r + "'";
}

}  // namespace dalvera::jet::detail
