// How a stored routine is called on each server, and text conversions.
#include "platform/odbc/Odbc.h"

#include "runtime/Text.h"

namespace dalvera::odbc {

namespace ado = host::ado;

namespace {
std::string bareName(std::string name) {
    name = trimBlanks(name);
    if (!name.empty() && name.front() == '@') name.erase(0, 1);
    return name;
}

std::string pgQuote(const std::string& name) { return "\"" + replaceAll(name, "\"", "\"\"") + "\""; }
std::string msQuote(const std::string& name) { return "[" + replaceAll(name, "]", "]]") + "]"; }

// The given parameter that names this argument, or -1.
long findGiven(const std::vector<GivenParameter>& given, const std::string& argument) {
    for (size_t i = 0; i < given.size(); ++i)
        if (equalsNoCase(bareName(given[i].name), argument)) return static_cast<long>(i);
    return -1;
}

std::string unquote(std::string part) {
    part = trimBlanks(part);
    if (part.size() >= 2 && ((part.front() == '"' && part.back() == '"') || (part.front() == '[' && part.back() == ']') ||
                             (part.front() == '`' && part.back() == '`')))
        part = part.substr(1, part.size() - 2);
    return part;
}
}  // namespace

Server serverOf(const std::string& dbmsName) {
    const std::string n = lowerAscii(dbmsName);
    if (n.find("postgres") != std::string::npos) return Server::PostgreSQL;
    if (n.find("sql server") != std::string::npos) return Server::SqlServer;
    return Server::Other;
}

void splitRoutineName(const std::string& text, std::string& schema, std::string& name) {
    std::string t = trimBlanks(text);
    // The design names a procedure between back quotes, the whole name at once.
    if (t.size() >= 2 && t.front() == '`' && t.back() == '`') t = t.substr(1, t.size() - 2);
    // A dot outside quotes separates the schema.
    bool quoted = false, bracketed = false;
    size_t dot = std::string::npos;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '"') quoted = !quoted;
        else if (t[i] == '[') bracketed = true;
        else if (t[i] == ']') bracketed = false;
        else if (t[i] == '.' && !quoted && !bracketed) {
            dot = i;
            break;
        }
    }
    if (dot == std::string::npos) {
        schema.clear();
        name = unquote(t);
    } else {
        schema = unquote(t.substr(0, dot));
        name = unquote(t.substr(dot + 1));
    }
}

CallText postgresCall(const Routine& routine, const std::vector<GivenParameter>& given) {
    CallText call;
    std::string args;
    for (const auto& a : routine.arguments) {
        const long g = findGiven(given, a.name);
        std::string value;
        if (a.direction == ado::direction::Output) {
            // A procedure's output argument is named in the call but brings nothing in.
            if (!routine.isProcedure) continue;
            value = "NULL::" + a.type;
        } else if (g >= 0 && given[static_cast<size_t>(g)].direction != ado::direction::Output) {
            value = "?::" + a.type;
            call.markers.push_back(static_cast<size_t>(g));
        } else {
            continue;  // skipped: the routine's default applies
        }
        if (!args.empty()) args += ", ";
        args += a.name.empty() ? value : pgQuote(a.name) + " => " + value;
    }
    const std::string name = (routine.schema.empty() ? "" : pgQuote(routine.schema) + ".") + pgQuote(routine.name);
    call.sql = (routine.isProcedure ? "CALL " : "SELECT * FROM ") + name + "(" + args + ")";
    return call;
}

CallText sqlServerCall(const Routine& routine, const std::vector<GivenParameter>& given) {
    CallText call;
    std::string args;
    bool any = false;
    const long ret = [&] {
        for (size_t i = 0; i < given.size(); ++i)
            if (given[i].direction == ado::direction::ReturnValue) return static_cast<long>(i);
        return -1L;
    }();
    if (ret >= 0) call.markers.push_back(static_cast<size_t>(ret));
    // Positional with empty places: an argument left out takes its default.
    std::vector<std::string> places;
    for (const auto& a : routine.arguments) {
        const long g = findGiven(given, a.name);
        if (g >= 0 && given[static_cast<size_t>(g)].direction != ado::direction::ReturnValue) {
            places.push_back("?");
            call.markers.push_back(static_cast<size_t>(g));
            any = true;
        } else {
            places.push_back("");
        }
    }
    while (!places.empty() && places.back().empty()) places.pop_back();
    for (size_t i = 0; i < places.size(); ++i) args += (i ? "," : "") + places[i];
    const std::string name = (routine.schema.empty() ? "" : msQuote(routine.schema) + ".") + msQuote(routine.name);
    call.sql = std::string("{") + (ret >= 0 ? "? = " : "") + "call " + name + (any ? "(" + args + ")" : "") + "}";
    return call;
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80) cp = c;
        else if ((c >> 5) == 6 && i + 1 < s.size()) cp = (c & 0x1F) << 6 | (s[i + 1] & 0x3F), n = 2;
        else if ((c >> 4) == 14 && i + 2 < s.size()) cp = (c & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F), n = 3;
        else if ((c >> 3) == 30 && i + 3 < s.size())
            cp = (c & 0x07) << 18 | (s[i + 1] & 0x3F) << 12 | (s[i + 2] & 0x3F) << 6 | (s[i + 3] & 0x3F), n = 4;
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string fromUtf16(const char16_t* s, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t cp = s[i];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp);
    }
    return out;
}

}  // namespace dalvera::odbc
