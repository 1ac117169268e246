#pragma once
// The database dialect: statements as users of the engine write them,
// translated to SQLite, and the dialect's functions registered on a connection.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Variant.h"

struct sqlite3;

namespace dalvera::jet {

enum class StatementKind { Select, Insert, Update, Delete, CreateTable, CreateIndex, DropTable, DropIndex, AlterTable, Other };

// A parameter declared in a PARAMETERS clause.
struct DeclaredParameter {
    std::string name;      // as declared, without brackets
    std::string typeName;  // the declared type word, e.g. "DateTime", "Text"
    int daoType = 10;      // the engine's type code for it (Text = 10)
};

// TRANSFORM ... PIVOT: the columns come from the data, so the statement is
// finished once the pivot values are known. valuesSql lists them (distinct,
// ascending; empty when the statement names them with IN), then crosstabSql
// gives the statement for them. Both use the Translation's placeholders.
struct Crosstab {
    bool present = false;
    std::string valuesSql;
    std::vector<std::string> fixedValues;  // IN (...): the literals as SQLite text
    std::vector<std::string> fixedNames;   // and the column names they give
    std::string select;                    // "SELECT <row headings>"
    int headings = 0;                      // how many row headings it has
    std::string source;                    // " FROM ... [WHERE ...]"
    std::string rest;                      // " GROUP BY ... [HAVING ...] ORDER BY ..."
    std::string pivot;                     // the pivot expression
    // The value expression cut where each aggregate takes the column's condition.
    std::vector<std::string> valueParts;
};

// A change SQLite's ALTER TABLE cannot make in place; the session rebuilds
// the table (or adds what the change needs) inside a transaction.
struct TableChange {
    enum class Kind { None, AlterColumn, AddPrimaryKey, AddForeignKey, DropConstraint, RequiredIndex };
    Kind kind = Kind::None;
    std::string name;                  // the column, constraint or index
    std::vector<std::string> columns;  // the columns a key or an index covers
    // AddPrimaryKey / AddForeignKey: the constraint as it goes into CREATE TABLE;
    // RequiredIndex: the CREATE INDEX statement.
    std::string definition;
    // AlterColumn: the new declared type, and what the new definition restates.
    std::string type;
    bool textColumn = false;
    bool notNull = false;
    std::string defaultValue;  // "" when not restated
    std::string referencedTable;  // AddForeignKey
};

struct Translation {
    std::string sql;                              // SQLite text, ready to prepare
    StatementKind kind = StatementKind::Other;
    std::vector<DeclaredParameter> parameters;    // from the PARAMETERS clause, in order
    // For each "?NNN" placeholder number i (1-based), bindNames[i-1] is the name of
    // the declared (or undeclared, bracketed-but-unknown) parameter it stands for.
    // A name used twice reuses its number; a positional '?' gets its own number
    // and an empty name.
    std::vector<std::string> bindNames;
    std::string table;                            // the table a DDL or DML statement names
    Crosstab crosstab;                            // present for TRANSFORM ... PIVOT (sql is then empty)
    TableChange change;                           // for ALTER TABLE forms the session carries out
    // SELECT ... INTO: the SELECT whose rows the new table (table) receives;
    // sql then holds the equivalent CREATE TABLE ... AS.
    std::string selectInto;
};

// Translates one statement. Identifiers that name no column are left to SQLite;
// the caller finds them (SQLite's "no such column") and translates again with
// them in knownParameters, since such a name is a parameter, never a text.
// Declared parameters (and names in knownParameters) referenced as [name],
// bare name or qualified name (o.[x]) become ?NNN placeholders recorded in
// bindNames. A statement holding a NUL byte is refused (3075).
// Raises Error 3000-range numbers with the engine's texts on syntax it refuses
// (e.g. 3075 / 3131 / "Syntax error in ..."), never a silent wrong translation.
//
// What the SQLite text relies on:
// - registerFunctions on the connection: jet_concat for &, jet_add / jet_sub for
//   + and - (dates stored as text move by days), jet_div for / (always floating
//   point; a zero divisor is an error), jet_intdiv for \, jet_mod for Mod (both
//   round their operands half to even first), jet_pow for ^,
//   jet_like(value, pattern) for LIKE with the dialect's wildcards (SQLite's own
//   LIKE stays as it is for other statements);
// - dates as storage text, True/Yes = -1, False/No = 0;
// - "double quoted" texts become 'single quoted', [names] and `names` "double quoted";
// - TOP n becomes LIMIT n; with ORDER BY in the outermost SELECT the limit also
//   takes the rows that tie with the n-th (ranked by a window function). Not in
//   subqueries (they may refer to the outer query), nor with DISTINCT or
//   TOP n PERCENT (a LIMIT counted by a subquery, rounded up);
// - DISTINCTROW is dropped, and with columns it becomes a GROUP BY of the row
//   ids of the tables whose fields are selected, when that is not every table;
// - SELECT ... INTO t becomes CREATE TABLE t AS SELECT ... (kind CreateTable,
//   table t), with the SELECT alone in selectInto;
// - CREATE TABLE writes the declared types the DAO side reads back (TEXT(n),
//   LONGTEXT, YESNO, BYTE, SMALLINT, LONG, CURRENCY, SINGLE, DOUBLE, DATETIME,
//   BINARY(n), LONGBINARY, GUID, DECIMAL(p,s)); a COUNTER is
//   "INTEGER PRIMARY KEY AUTOINCREMENT"; named constraints keep their names, an
//   unnamed REFERENCES is named <referenced table><table>; text columns compare
//   without regard to case (COLLATE NOCASE).
// - a!b is a.b; {guid {...}} is the GUID's text as the engine stores it
//   ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
// - Xor, Eqv and Imp (below Or, in that order) become jet_xor / jet_eqv /
//   jet_imp, bitwise on whole numbers; a comparison or logical operand is
//   first made -1 / 0;
// - UPDATE and DELETE over joins change the rows of one table, found through
//   the join by rowid;
// - TRANSFORM ... PIVOT fills crosstab instead of sql (see Crosstab).
// Refused with an Error: TOP in a UNION outside parentheses, LIKE ... ESCAPE,
// changing two tables in one UPDATE (3073), DELETE over a join without the
// table to delete from (3128), more than one statement (3142), malformed
// literals and brackets (3075), bad DDL (3289 / 3290 / 3292 / 3293 / 3295).
//
// With columns, every value an INSERT or UPDATE writes to a typed column goes
// through jet_store(value, kind, table, column), which converts it to the
// column's storage (whole numbers rounded half to even, Singles rounded to
// float, Currency to four decimals, dates to storage text, Booleans to -1/0,
// GUIDs to "{XXXXXXXX-...}")
// and refuses what the type cannot hold. Number literals that SQLite would not
// read back as the nearest double are written as an exact expression.
// Also with columns: a text (for a date, also a number) compared with a typed
// column of the statement's tables is written as the value of that type it
// reads as (an equality keeps the text too, as another tool may have stored
// it so; an order with a text of no such value is 3464), and unaliased
// computed columns of a select list are named Expr1000, Expr1001, ...
enum class StoreKind : int { Any = 0, Boolean, Byte, Integer, Long, BigInt, Currency, Single, Double, Date, Guid, Decimal };
struct StoreColumn {
    std::string name;
    StoreKind kind = StoreKind::Any;
};
// The columns of a table in their order; empty when the table is unknown.
using ColumnLookup = std::function<std::vector<StoreColumn>(const std::string& table)>;

Translation translate(std::string_view jetSql, const std::vector<std::string>& knownParameters = {},
                      const ColumnLookup& columns = {});

// The crosstab's statement for these pivot values (as the values query gave
// them): the row headings, then one column per value, named by the value
// ("<>" for Null); a cell without rows is Null. Raises 3190 past 255 columns.
std::string crosstabSql(const Crosstab& crosstab, const std::vector<Variant>& pivotValues);

// SQLite text for a number literal of the dialect that SQLite evaluates to
// exactly the double strtod reads (SQLite's own reading is off in the last
// bit for some 16- and 17-digit numbers).
std::string exactNumberText(std::string_view literal);

// Currency in units of 1/10000: the shortest decimal that reads back as d,
// rounded half to even at four decimals; false when it is not finite or out
// of Currency's range.
bool currencyUnits(double d, int64_t& units);
// The double that the decimal literal of these units reads as.
double currencyDouble(int64_t units);

// Storage form of a date value: "yyyy-mm-dd hh:mm:ss", with ".fff" when the
// value has milliseconds.
std::string dateToStorage(double serial);
// Reads the storage form, "yyyy-mm-dd" and the other ISO forms; false when it is not one.
bool storageToDate(std::string_view text, double& serial);
// A date as the dialect writes it (parseDateText's forms), also with
// milliseconds after the seconds: "1/20/2024 10:00:00.25", "2024-01-20 10:00:00.250".
bool parseDateWithMillis(std::string_view text, double& serial);
// "31-Jan-2024", "Jan 31, 2024", "January 31 2024 10:00": a date written with a month name.
bool parseNamedMonthDate(std::string_view text, double& serial);
// A text as the engine reads it for a date: the storage and ISO forms, the
// dialect's forms with milliseconds, and dates with a month name.
bool readDateText(std::string_view text, double& serial);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from a GUID text with or without
// braces; false when it is not one.
bool normalizeGuid(std::string_view text, std::string& out);
// Reads only the exact storage form (what dateToStorage writes); false for anything else.
bool canonicalStorageDate(std::string_view text, double& serial);

// The message jet_store fails with: StoreErrorTag, the engine's number, then
// table, column, kind and the refused value, separated by StoreErrorSeparator.
inline constexpr const char* StoreErrorTag = "jet-store:";
inline constexpr char StoreErrorSeparator = '\x1f';

// Registers the dialect's functions (Now, Date, IIf, Nz, Left, Format, ...) and
// the operator helpers the translation calls (jet_like, jet_concat, ...). Dates
// are taken as storage text, serial numbers or m/d/yyyy text and returned as storage text;
// Booleans are returned as -1 / 0; Nz(Null) without a second argument gives "".
// A function's error becomes the statement's SQLite error message: the engine's
// text, a detail, and "(error N)" with the engine's number, e.g.
// "Overflow: dates run from 1/1/100 to 12/31/9999 (error 6)".
// - Names SQLite also has (Abs, Format, Hex, IIf, InStr, Log, LTrim, Max, Min,
//   Replace, Round, RTrim, Sin, Cos, Tan, Exp, Trim) mean the dialect's function
//   with any number of arguments; a wrong number is error 3075. Max and Min are
//   aggregates only. (Date and Time with arguments are still SQLite's.)
// - Texts that Space, String, Replace, & and + build hold at most 2^26
//   (67,108,864) characters; beyond that: error 14, "Out of string space".
// - Dates run from 1/1/100 to 12/31/9999: a value outside becomes error 6
//   (Overflow) wherever it turns into a date; DateAdd past the ends is error 5.
// - Rnd keeps one sequence per connection, starting where the engine starts.
// Raises Error 670 if registration fails.
void registerFunctions(sqlite3* db);
// The operator helpers alone (jet_div for '/', jet_mod for Mod); registerFunctions calls it.
void registerOperators(sqlite3* db);

}  // namespace dalvera::jet
