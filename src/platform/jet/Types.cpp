#include "platform/jet/Types.h"

#include <cctype>
#include <cstdlib>

#include "host/Ado.h"
#include "host/Dao.h"
#include "runtime/Text.h"

namespace dalvera::jet {
namespace dt = host::dao::type;
namespace at = host::ado::type;

namespace {
constexpr long MemoSize = 536870910;
constexpr long LongBinarySize = 1073741823;
}

ColumnType typeFromDao(int daoType, long textSize) {
    switch (daoType) {
    case dt::Boolean: return {dt::Boolean, 1, at::Boolean, 2};
    case dt::Byte: return {dt::Byte, 1, at::UnsignedTinyInt, 1};
    case dt::Integer: return {dt::Integer, 2, at::SmallInt, 2};
    case dt::Long: return {dt::Long, 4, at::Integer, 4};
    case dt::BigInt: return {dt::BigInt, 8, at::BigInt, 8};
    case dt::Currency: return {dt::Currency, 8, at::Currency, 8};
    case dt::Single: return {dt::Single, 4, at::Single, 4};
    case dt::Double: return {dt::Double, 8, at::Double, 8};
    case dt::Date: return {dt::Date, 8, at::DBTimeStamp, 16};
    case dt::Binary: return {dt::Binary, textSize, at::VarBinary, textSize};
    case dt::Text: return {dt::Text, textSize, at::VarWChar, textSize};
    case dt::LongBinary: return {dt::LongBinary, 0, at::LongVarBinary, LongBinarySize};
    case dt::GUID: return {dt::GUID, 16, at::GUID, 16};
    case dt::Decimal: return {dt::Decimal, 16, at::Numeric, 19};
    case dt::Memo:
    default: return {dt::Memo, 0, at::LongVarWChar, MemoSize};
    }
}

ColumnType typeFromDeclaration(std::string_view declared) {
    std::string d = upperAscii(trimBlanks(declared));
    // The size in "TEXT(50)"; the base word before it.
    long size = -1;
    if (auto p = d.find('('); p != std::string::npos) {
        size = std::strtol(d.c_str() + p + 1, nullptr, 10);
        d = trimBlanks(d.substr(0, p));
    }
    auto is = [&](std::initializer_list<const char*> words) {
        for (const char* w : words)
            if (d == w) return true;
        return false;
    };
    if (is({"YESNO", "BIT", "BOOLEAN", "BOOL", "LOGICAL", "LOGICAL1"})) return typeFromDao(dt::Boolean);
    if (is({"BYTE", "TINYINT", "INTEGER1"})) return typeFromDao(dt::Byte);
    if (is({"SHORT", "SMALLINT", "INTEGER2"})) return typeFromDao(dt::Integer);
    if (is({"LONG", "INT", "INTEGER", "INTEGER4", "COUNTER", "AUTOINCREMENT", "MEDIUMINT", "BIGINT", "INT8"}))
        return typeFromDao(dt::Long);
    if (is({"CURRENCY", "MONEY"})) return typeFromDao(dt::Currency);
    if (is({"SINGLE", "FLOAT4", "IEEESINGLE"})) return typeFromDao(dt::Single);
    // A plain SQLite REAL holds eight bytes, so it is a Double here.
    if (is({"DOUBLE", "DOUBLE PRECISION", "FLOAT", "FLOAT8", "REAL", "NUMBER", "IEEEDOUBLE"}))
        return typeFromDao(dt::Double);
    if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP"})) return typeFromDao(dt::Date);
    if (is({"BINARY", "VARBINARY"})) return typeFromDao(dt::Binary, size > 0 ? size : 510);
    if (is({"LONGBINARY", "BLOB", "IMAGE", "OLEOBJECT", "GENERAL"})) return typeFromDao(dt::LongBinary);
    if (is({"LONGTEXT", "MEMO", "NOTE", "LONGCHAR", "CLOB", "NTEXT"})) return typeFromDao(dt::Memo);
    if (is({"GUID", "UNIQUEIDENTIFIER"})) return typeFromDao(dt::GUID);
    if (is({"DECIMAL", "NUMERIC", "DEC"})) return typeFromDao(dt::Decimal);
    if (is({"TEXT", "VARCHAR", "CHAR", "NVARCHAR", "NCHAR", "CHARACTER", "STRING", "ALPHANUMERIC",
            "CHARACTER VARYING", "VARYING CHARACTER", "NATIVE CHARACTER"})) {
        // An unbounded SQLite TEXT keeps any length: a memo, not a 255-character text.
        if (size > 0) return typeFromDao(dt::Text, size);
        return typeFromDao(d == "TEXT" ? dt::Memo : dt::Text, 255);
    }
    if (d.empty()) return typeFromDao(dt::Memo);
    // Anything else by SQLite's own affinity rules.
    if (d.find("INT") != std::string::npos) return typeFromDao(dt::Long);
    if (d.find("CHAR") != std::string::npos || d.find("CLOB") != std::string::npos ||
        d.find("TEXT") != std::string::npos)
        return size > 0 ? typeFromDao(dt::Text, size) : typeFromDao(dt::Memo);
    if (d.find("BLOB") != std::string::npos) return typeFromDao(dt::LongBinary);
    if (d.find("REAL") != std::string::npos || d.find("FLOA") != std::string::npos ||
        d.find("DOUB") != std::string::npos)
        return typeFromDao(dt::Double);
    return typeFromDao(dt::Decimal);
}

StoreKind storeKindOf(std::string_view declared) {
    ColumnType t = typeFromDeclaration(declared);
    switch (t.dao) {
    case dt::Boolean: return StoreKind::Boolean;
    case dt::Byte: return StoreKind::Byte;
    case dt::Integer: return StoreKind::Integer;
    case dt::Long: {
        std::string d = upperAscii(trimBlanks(declared));
        if (auto p = d.find('('); p != std::string::npos) d = trimBlanks(d.substr(0, p));
        bool jetLong = d == "LONG" || d == "INTEGER4" || d == "COUNTER" || d == "AUTOINCREMENT";
        return jetLong ? StoreKind::Long : StoreKind::BigInt;
    }
    case dt::BigInt: return StoreKind::BigInt;
    case dt::Currency: return StoreKind::Currency;
    case dt::Single: return StoreKind::Single;
    case dt::Double: return StoreKind::Double;
    case dt::Date: return StoreKind::Date;
    case dt::GUID: return StoreKind::Guid;
    case dt::Decimal: {
        // Only a declared decimal: other tools' unknown types are kept as they are.
        std::string d = upperAscii(trimBlanks(declared));
        d = trimBlanks(d.substr(0, d.find('(')));
        return d == "DECIMAL" || d == "NUMERIC" || d == "DEC" ? StoreKind::Decimal : StoreKind::Any;
    }
    default: return StoreKind::Any;
    }
}

}  // namespace dalvera::jet
