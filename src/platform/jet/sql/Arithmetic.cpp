// Operators of the dialect that SQLite's own would answer differently: '/'
// always divides as floating point and refuses a zero divisor; Mod rounds its
// operands to whole numbers first.
#include <sqlite3.h>

#include <cmath>
#include <string>

#include "platform/jet/sql/JetSql.h"
#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera::jet {

namespace {

// False when the value is no number (nor a stored date, which counts by its serial).
bool operandValue(sqlite3_value* v, double& out) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: out = static_cast<double>(sqlite3_value_int64(v)); return true;
    case SQLITE_FLOAT: out = sqlite3_value_double(v); return true;
    case SQLITE_TEXT: {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        std::string t = trimBlanks(std::string(p, static_cast<size_t>(sqlite3_value_bytes(v))));
        return parseNumber(t, out) || storageToDate(t, out);
    }
    default: return false;
    }
}

void divide(sqlite3_context* c, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(c);
    double a = 0, b = 0;
    if (!operandValue(argv[0], a) || !operandValue(argv[1], b))
        return sqlite3_result_error(c, "Data type mismatch in criteria expression", -1);
    // 0 / 0 has no value at all; x / 0 is the division error.
    if (b == 0) return sqlite3_result_error(c, a == 0 ? "Overflow" : "Division by zero", -1);
    double r = a / b;
    if (!std::isfinite(r)) return sqlite3_result_error(c, "Overflow", -1);
    sqlite3_result_double(c, r);
}

// Mod rounds both sides half to even first (SQLite's % truncates them), and
// the remainder takes the sign of the dividend.
void modulo(sqlite3_context* c, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(c);
    double a = 0, b = 0;
    if (!operandValue(argv[0], a) || !operandValue(argv[1], b))
        return sqlite3_result_error(c, "Data type mismatch in criteria expression", -1);
    a = std::nearbyint(a);
    b = std::nearbyint(b);
    if (!(std::fabs(a) < 9.2e18 && std::fabs(b) < 9.2e18)) return sqlite3_result_error(c, "Overflow", -1);
    long long x = static_cast<long long>(a), y = static_cast<long long>(b);
    if (y == 0) return sqlite3_result_error(c, "Division by zero", -1);
    sqlite3_result_int64(c, y == -1 ? 0 : x % y);
}

}  // namespace

void registerOperators(sqlite3* db) {
    using Body = void (*)(sqlite3_context*, int, sqlite3_value**);
    const std::pair<const char*, Body> operators[] = {{"jet_div", divide}, {"jet_mod", modulo}};
    for (auto [name, body] : operators)
        if (sqlite3_create_function_v2(db, name, 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, body, nullptr,
                                       nullptr, nullptr) != SQLITE_OK)
            raise(err::Database, std::string("Could not register the SQL function ") + name + ": " + sqlite3_errmsg(db),
                  "Jet SQL");
}

}  // namespace dalvera::jet
