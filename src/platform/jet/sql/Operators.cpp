// Xor, Eqv and Imp as Jet evaluates them: on whole numbers bit by bit, so that
// on True (-1) and False (0) they are the logical operators; Null as Jet's
// three-valued logic has it.
#include "platform/jet/sql/Operators.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/Text.h"
#include "runtime/Variant.h"

namespace dalvera::jet::detail {

namespace {

struct OperandError {
    const char* message;
};

// The operand as a Long, as the engine converts it (half to even); empty for Null.
std::optional<int64_t> operandOf(sqlite3_value* v) {
    double d = 0;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return std::nullopt;
    case SQLITE_INTEGER: {
        int64_t n = sqlite3_value_int64(v);
        if (n < INT32_MIN || n > INT32_MAX) throw OperandError{"Overflow"};
        return n;
    }
    case SQLITE_FLOAT: d = sqlite3_value_double(v); break;
    case SQLITE_TEXT: {
        std::string t = trimBlanks(reinterpret_cast<const char*>(sqlite3_value_text(v)));
        if (equalsNoCase(t, "True")) return -1;
        if (equalsNoCase(t, "False")) return 0;
        if (!parseNumber(t, d)) throw OperandError{"Data type mismatch in criteria expression"};
        break;
    }
    default: throw OperandError{"Data type mismatch in criteria expression"};
    }
    double r = std::nearbyint(d);
    if (!(r >= INT32_MIN && r <= INT32_MAX)) throw OperandError{"Overflow"};
    return static_cast<int64_t>(r);
}

template <typename F>
void binary(sqlite3_context* c, sqlite3_value** argv, F f) {
    try {
        std::optional<int64_t> r = f(operandOf(argv[0]), operandOf(argv[1]));
        if (r) sqlite3_result_int64(c, *r);
        else sqlite3_result_null(c);
    } catch (const OperandError& e) {
        sqlite3_result_error(c, e.message, -1);
    }
}

using Operand = std::optional<int64_t>;

void fnXor(sqlite3_context* c, int, sqlite3_value** argv) {
    binary(c, argv, [](Operand a, Operand b) -> Operand {
        if (!a || !b) return std::nullopt;
        return *a ^ *b;
    });
}

void fnEqv(sqlite3_context* c, int, sqlite3_value** argv) {
    binary(c, argv, [](Operand a, Operand b) -> Operand {
        if (!a || !b) return std::nullopt;
        return ~(*a ^ *b);
    });
}

// False Imp anything and anything Imp True are True, even with a Null on the other side.
void fnImp(sqlite3_context* c, int, sqlite3_value** argv) {
    binary(c, argv, [](Operand a, Operand b) -> Operand {
        if (a && b) return ~*a | *b;
        if (a && *a == 0) return -1;
        if (b && *b == -1) return -1;
        return std::nullopt;
    });
}

}  // namespace

int registerLogicalOperators(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(db, "jet_xor", 2, flags, nullptr, fnXor, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_create_function_v2(db, "jet_eqv", 2, flags, nullptr, fnEqv, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_create_function_v2(db, "jet_imp", 2, flags, nullptr, fnImp, nullptr, nullptr, nullptr);
    return rc;
}

}  // namespace dalvera::jet::detail
