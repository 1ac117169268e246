#include "platform/jet/Script.h"

#include <algorithm>
#include <cctype>

#include <sqlite3.h>

#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace {

bool startsWithWord(const std::string& s, const char* word) {
    size_t n = std::char_traits<char>::length(word);
    return startsWithNoCase(s, word) && (s.size() == n || !std::isalnum(static_cast<unsigned char>(s[n])));
}

// The statement a QUERY directive stores, or the piece itself.
std::string bodyOf(const std::string& piece) {
    if (!startsWithWord(piece, "QUERY")) return piece;
    // The first word AS outside a bracketed name.
    for (size_t i = 1; i + 2 < piece.size(); ++i) {
        if (piece[i] == '[') i = std::min(piece.find(']', i), piece.size() - 1);
        if (std::isspace(static_cast<unsigned char>(piece[i - 1])) && equalsNoCase(piece.substr(i, 2), "AS") &&
            std::isspace(static_cast<unsigned char>(piece[i + 2])))
            return trimBlanks(piece.substr(i + 2));
    }
    return piece;
}

struct Cursor {
    const std::string& s;
    size_t i = 0;
    void blanks() {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    }
    bool at(char c) {
        blanks();
        return i < s.size() && s[i] == c;
    }
    [[noreturn]] void syntax(const std::string& what) const {
        raise(3292, "Syntax error in PROPERTY or QUERY directive: " + what + " expected at '" + s.substr(i, 30) + "'.",
              "dalvera-db");
    }
    std::string name() {
        blanks();
        if (i >= s.size()) syntax("a name");
        if (s[i] == '[' || s[i] == '`' || s[i] == '"') {
            char close = s[i] == '[' ? ']' : s[i];
            size_t j = s.find(close, i + 1);
            if (j == std::string::npos) syntax("a closing bracket");
            std::string r = s.substr(i + 1, j - i - 1);
            i = j + 1;
            return r;
        }
        size_t j = i;
        while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' ||
                                static_cast<unsigned char>(s[j]) >= 0x80))
            ++j;
        if (j == i) syntax("a name");
        std::string r = s.substr(i, j - i);
        i = j;
        return r;
    }
    Variant value() {
        blanks();
        if (i >= s.size()) syntax("a value");
        if (s[i] == '\'' || s[i] == '"') {
            char q = s[i];
            std::string r;
            size_t j = i + 1;
            for (;; ++j) {
                if (j >= s.size()) syntax("a closing quote");
                if (s[j] == q) {
                    if (j + 1 < s.size() && s[j + 1] == q) {
                        r += q;
                        ++j;
                        continue;
                    }
                    break;
                }
                r += s[j];
            }
            i = j + 1;
            return Variant(r);
        }
        size_t j = i;
        while (j < s.size() && s[j] != ',' && !std::isspace(static_cast<unsigned char>(s[j]))) ++j;
        std::string w = s.substr(i, j - i);
        i = j;
        std::string lw = lowerAscii(w);
        if (lw == "true" || lw == "yes") return Variant(true);
        if (lw == "false" || lw == "no") return Variant(false);
        double d;
        if (!parseNumber(w, d)) syntax("a quoted text, a number or True/False");
        if (d == static_cast<double>(static_cast<int32_t>(d)) && w.find('.') == std::string::npos)
            return Variant::longValue(static_cast<int32_t>(d));
        return Variant(d);
    }
};

void runProperty(Database& db, const std::string& stmt) {
    Cursor c{stmt, 8};  // after "PROPERTY"
    std::string table = c.name(), field;
    if (c.at('.')) {
        ++c.i;
        field = c.name();
    }
    do {
        if (c.at(',')) ++c.i;
        std::string prop = c.name();
        if (!c.at('=')) c.syntax("'='");
        ++c.i;
        db.SetProperty(table, field, prop, c.value());
    } while (c.at(','));
    c.blanks();
    if (c.i < stmt.size()) c.syntax("',' or the end of the directive");
}

void runQuery(Database& db, const std::string& stmt) {
    Cursor c{stmt, 5};  // after "QUERY"
    std::string name = c.name();
    int type = -1;
    c.blanks();
    if (startsWithWord(stmt.substr(c.i), "TYPE")) {
        c.i += 4;
        Variant t = c.value();
        if (!t.isNumber()) c.syntax("a query type number");
        type = t.toLong();
        c.blanks();
    }
    if (!startsWithWord(stmt.substr(c.i), "AS")) c.syntax("AS");
    db.CreateQueryDef(name, trimBlanks(stmt.substr(c.i + 2)), type);
}

}  // namespace

std::vector<std::string> splitStatements(const std::string& script) {
    std::vector<std::string> pieces;
    std::string cur;
    size_t i = 0;
    while (i < script.size()) {
        char c = script[i];
        if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            while (i < script.size() && script[i] != '\n') ++i;
            cur += ' ';
        } else if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
            size_t j = script.find("*/", i + 2);
            i = j == std::string::npos ? script.size() : j + 2;
            cur += ' ';
        } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
            char close = c == '[' ? ']' : c;
            size_t j = script.find(close, i + 1);
            if (j == std::string::npos) j = script.size() - 1;
            cur += script.substr(i, j - i + 1);
            i = j + 1;
        } else if (c == ';') {
            pieces.push_back(trimBlanks(cur));
            cur.clear();
            ++i;
        } else {
            cur += c;
            ++i;
        }
    }
    pieces.push_back(trimBlanks(cur));
    // A PARAMETERS clause ends in ";" but belongs to the statement after it.
    std::vector<std::string> out;
    for (size_t k = 0; k < pieces.size(); ++k) {
        std::string p = pieces[k];
        if (startsWithWord(bodyOf(p), "PARAMETERS") && k + 1 < pieces.size()) p += "; " + pieces[++k];
        if (!p.empty()) out.push_back(p);
    }
    return out;
}

int runScript(Database& db, const std::string& script) {
    int n = 0;
    // One transaction: a failing script leaves the database as it was, and
    // the whole script costs one sync instead of one per statement.
    db.session().exec("BEGIN IMMEDIATE");
    struct Rollback {
        Session& s;
        bool done = false;
        ~Rollback() {
            if (!done) sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
        }
    } guard{db.session()};
    for (const auto& stmt : splitStatements(script)) {
        ++n;
        try {
            if (startsWithWord(stmt, "PROPERTY")) runProperty(db, stmt);
            else if (startsWithWord(stmt, "QUERY")) runQuery(db, stmt);
            else db.Execute(stmt);
        } catch (const Error& e) {
            throw Error(e.number(), e.description() + "\nStatement " + std::to_string(n) + ": " + stmt, e.source());
        }
    }
    db.session().exec("COMMIT");
    guard.done = true;
    return n;
}

}  // namespace dalvera::jet
