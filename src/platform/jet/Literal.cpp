// Literals of values read from record sets, for statements that find the row again.
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "platform/jet/Jet.h"
#include "platform/jet/sql/JetSql.h"
#include "runtime/Error.h"

namespace dalvera::jet {

namespace {

std::string shortest(double d) {
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

}  // namespace

std::string sqlLiteral(const Variant& v) {
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return "Null";
    case VarType::Boolean: return v.toBool() ? "True" : "False";
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::LongLong: return std::to_string(v.toLongLong());
    case VarType::Single:
    case VarType::Double: return shortest(v.toDouble());
    case VarType::Currency: {
        int64_t units = v.currencyScaledValue();
        unsigned long long a = units < 0 ? 0ULL - static_cast<unsigned long long>(units) : static_cast<unsigned long long>(units);
        char buf[48];
        int n = std::snprintf(buf, sizeof buf, "%s%llu", units < 0 ? "-" : "", a / 10000);
        if (a % 10000) {
            n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%04llu", a % 10000);
            while (buf[n - 1] == '0') buf[--n] = 0;
        }
        return buf;
    }
    case VarType::Date: return "#" + dateToStorage(v.toDateSerial()) + "#";
    case VarType::ByteArray: raise(13, "Type mismatch: binary data has no literal.", "DAO.Database");
    default: {
        std::string r = "'";
        for (char c : v.stringRef()) {
            if (c == '\'') r += '\'';
            r += c;
        }
        return r + "'";
    }
    }
}

}  // namespace dalvera::jet
