// What a column stores has its Jet type and range, whatever path the value
// comes by; what is read back as a literal finds its row again.
#include <cmath>
#include <limits>

#include "JetFixture.h"
#include "runtime/DateSerial.h"

namespace dalvera::jet::test {
namespace ado = host::ado;

class TypedValuesTest : public JetFixture {
protected:
    void SetUp() override {
        JetFixture::SetUp();
        db = CreateDatabase(file("typed.sqlite"));
        db->Execute("CREATE TABLE Stock (ID LONG PRIMARY KEY, B BYTE, I SHORT, L LONG, C CURRENCY, S SINGLE, "
                    "D DOUBLE, Y YESNO, W DATETIME, T TEXT(20))");
        db->Execute("INSERT INTO Stock (ID, B, I, L, C, S, D, Y, W, T) VALUES "
                    "(1, 1, 1, 1, 1, 1, 1, True, #2024-01-01#, 'one')");
        c = adoProvider()->NewConnection();
        c->Open("Dbq=" + file("typed.sqlite"));
    }
    // The engine's number of a statement refused through ADO, with its text.
    std::pair<long, std::string> refused(const std::string& sql) {
        auto e = errorOf([&] { c->Execute(sql); });
        if (e.number() == 0) return {0, "accepted: " + sql};
        EXPECT_EQ(e.number(), ado::ProviderError) << sql;
        return {lastEngineError(), e.description()};
    }
    std::string stored(const std::string& column, int id = 1) {
        return fileValue(file("typed.sqlite"), "SELECT " + column + " FROM Stock WHERE ID = " + std::to_string(id));
    }
    std::shared_ptr<Database> db;
    std::shared_ptr<ado::Connection> c;
};

TEST_F(TypedValuesTest, OutOfRangeValuesAreRefusedOnEveryPath) {
    struct Case {
        const char* sql;
        const char* column;
    };
    for (auto k : {Case{"INSERT INTO Stock (ID, B) VALUES (2, 300)", "'B'"},
                   Case{"INSERT INTO Stock (ID, B) VALUES (2, -1)", "'B'"},
                   Case{"INSERT INTO Stock (ID, I) VALUES (2, 99999)", "'I'"},
                   Case{"INSERT INTO Stock (ID, L) VALUES (2, 2147483648)", "'L'"},
                   Case{"INSERT INTO Stock (ID, C) VALUES (2, 1e20)", "'C'"},
                   Case{"INSERT INTO Stock (ID, S) VALUES (2, 1e39)", "'S'"},
                   Case{"INSERT INTO Stock (ID, D) VALUES (2, 1e400)", "'D'"},
                   Case{"INSERT INTO Stock VALUES (2, 1, 40000, 1, 1, 1, 1, 0, Null, 'x')", "'I'"},
                   Case{"INSERT INTO Stock (ID, I) VALUES (2, 1), (3, -40000)", "'I'"},
                   Case{"UPDATE Stock SET I = I * 100000 WHERE ID = 1", "'I'"},
                   Case{"UPDATE [Stock] SET [Stock].[B] = [B] + 255", "'B'"},
                   Case{"UPDATE Stock SET C = C * 1e15, T = 'x'", "'C'"},
                   Case{"INSERT INTO Stock (ID, I) SELECT ID + 10, I * 40000 FROM Stock", "'I'"},
                   Case{"INSERT INTO Stock (I, ID) SELECT TOP 1 L - 70000, 5 FROM Stock ORDER BY ID", "'I'"}}) {
        SCOPED_TRACE(k.sql);
        auto [number, text] = refused(k.sql);
        EXPECT_EQ(number, 3349);
        EXPECT_EQ(text.rfind("[Microsoft][ODBC Microsoft Access Driver] Numeric field overflow.", 0), 0u) << text;
        EXPECT_NE(text.find(std::string("the field ") + k.column + " of table 'Stock'"), std::string::npos) << text;
    }
    // Parameters of a command.
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText("INSERT INTO Stock (ID, B) VALUES (?, ?)");
    cmd->Parameters().Append(cmd->CreateParameter("id", ado::type::Integer, ado::direction::Input, 4, Variant(7)));
    cmd->Parameters().Append(cmd->CreateParameter("b", ado::type::Integer, ado::direction::Input, 4, Variant(256)));
    long n = 0;
    EXPECT_EQ(errorOf([&] { cmd->Execute(n); }).number(), ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3349);
    // DAO's Execute.
    auto e = errorOf([&] { db->Execute("UPDATE Stock SET L = L - 2147483650"); });
    EXPECT_EQ(e.number(), 3349);
    EXPECT_NE(e.description().find("'L' of table 'Stock'"), std::string::npos) << e.description();
    // A text that is no number.
    auto [m, t] = refused("UPDATE Stock SET I = 'many'");
    EXPECT_EQ(m, 3464);
    EXPECT_NE(t.find("'many'"), std::string::npos) << t;
    EXPECT_EQ(refused("INSERT INTO Stock (ID, W) VALUES (9, 'soon')").first, 3464);
    // Nothing of it reached the file.
    EXPECT_EQ(fileRows(file("typed.sqlite"), "SELECT ID, B, I, L, C, S, D, Y, T FROM Stock"),
              std::vector<std::string>{"int:1|int:1|int:1|int:1|int:1|int:1|real:1|int:-1|text:one"});
    // The limits themselves are taken.
    c->Execute("INSERT INTO Stock (ID, B, I, L, C, S, D) VALUES (2, 255, 32767, 2147483647, 922337203685477, "
               "3.4e38, 1.7976931348623157e308)",
               n);
    c->Execute("INSERT INTO Stock (ID, B, I, L, C, S, D) VALUES (3, 0, -32768, -2147483648, -922337203685477.5, "
               "-3.4e38, -1.7976931348623157e308)",
               n);
    EXPECT_EQ(refused("UPDATE Stock SET C = 922337203685478 WHERE ID = 2").first, 3349);
    EXPECT_EQ(fileRows(file("typed.sqlite"), "SELECT B, I, L, C, D FROM Stock WHERE ID > 1 ORDER BY ID"),
              (std::vector<std::string>{"int:255|int:32767|int:2147483647|int:922337203685477|real:1.7976931348623157e+308",
                                        "int:0|int:-32768|int:-2147483648|real:-922337203685477.5|real:-1.7976931348623157e+308"}));
}

TEST_F(TypedValuesTest, WrittenValuesTakeTheStorageOfTheirColumn) {
    long n = 0;
    c->Execute("UPDATE Stock SET B = 2.5, I = 3.5, L = '-7.5', C = 0.1 + 0.2, S = 1.1, D = 0.1 + 0.2, Y = 5, "
               "W = '2024-1-5', T = 12 WHERE ID = 1",
               n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(stored("B"), "int:2");  // half to even
    EXPECT_EQ(stored("I"), "int:4");
    EXPECT_EQ(stored("L"), "int:-8");
    EXPECT_EQ(stored("C"), "real:0.3");
    EXPECT_EQ(stored("S"), "real:1.100000023841858");
    EXPECT_EQ(stored("D"), "real:0.30000000000000004");
    EXPECT_EQ(stored("Y"), "int:-1");
    EXPECT_EQ(stored("W"), "text:2024-01-05 00:00:00");
    EXPECT_EQ(stored("T"), "text:12");
    // Dates with milliseconds and before 1900 keep their storage form.
    // Currency rounds half to even at four decimals.
    c->Execute("INSERT INTO Stock (ID, W, C) VALUES (2, #2024-01-20 10:00:00.125#, 1234.56785), (5, Null, 1234.56775)", n);
    c->Execute("INSERT INTO Stock (ID, W) VALUES (3, #1850-03-01#), (4, #0100-01-01 12:30:00#)", n);
    EXPECT_EQ(stored("W", 2), "text:2024-01-20 10:00:00.125");
    EXPECT_EQ(stored("C", 2), "real:1234.5678");
    EXPECT_EQ(stored("C", 5), "real:1234.5678");
    EXPECT_EQ(stored("W", 3), "text:1850-03-01 00:00:00");
    EXPECT_EQ(stored("W", 4), "text:0100-01-01 12:30:00");
    // A parameter bound as text converts the same way.
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Text);
    cmd->CommandText("UPDATE Stock SET S = ?, W = ? WHERE ID = 3");
    cmd->Parameters().Append(cmd->CreateParameter("s", ado::type::VarWChar, ado::direction::Input, 10, Variant("0.1")));
    cmd->Parameters().Append(cmd->CreateParameter("w", ado::type::VarWChar, ado::direction::Input, 30,
                                                  Variant("3/1/1850 06:00:00.5")));
    cmd->Execute(n);
    EXPECT_EQ(stored("S", 3), "real:0.10000000149011612");
    EXPECT_EQ(stored("W", 3), "text:1850-03-01 06:00:00.500");
}

// Values another tool wrote that the column's type cannot hold are read as
// they are stored, each in a kind that holds it, and the rest of the record
// set reads as usual.
TEST_F(TypedValuesTest, ForeignValuesOutsideTheTypeReadAsStored) {
    fileExec(file("typed.sqlite"),
             "CREATE TABLE Others (k INTEGER PRIMARY KEY, s SMALLINT, b TINYINT, m MONEY, i INTEGER, y BOOLEAN, "
             "d DATETIME, g SINGLE, l LONG);"
             "INSERT INTO Others VALUES (1, 99999, 300, 1e20, 'text', 1, '2024-1-5', 1.1, 2.5);"
             "INSERT INTO Others VALUES (2, 2.5, -5, 12.345678, 1099511627776, 5, 45000.5, 16777217, 9007199254740993);"
             "INSERT INTO Others VALUES (3, -7, 7, 12.25, 7, -1, '2024-01-05 10:00:00', 0.5, 7);");
    auto rs = c->Execute("SELECT * FROM Others ORDER BY k");
    ASSERT_EQ(rs->RecordCount(), 3);
    const auto& f = rs->Fields();
    auto is = [&](const char* name, const Variant& v) {
        EXPECT_EQ(f(name)->Value(), v) << name << " of row " << f("k")->Value().toLong();
    };
    is("s", Variant::longValue(99999));
    is("b", Variant::integer(300));
    is("m", Variant(1e20));
    is("i", Variant("text"));
    is("y", Variant::longValue(1));
    is("d", Variant("2024-1-5"));
    is("g", Variant(1.1));
    is("l", Variant(2.5));
    rs->MoveNext();
    is("s", Variant(2.5));
    is("b", Variant::integer(-5));
    is("m", Variant(12.345678));
    is("i", Variant::longLong(1099511627776));
    is("y", Variant::longValue(5));
    is("d", Variant(45000.5));
    is("g", Variant::longLong(16777217));
    is("l", Variant::longLong(9007199254740993));
    rs->MoveNext();
    is("s", Variant::integer(-7));
    is("b", Variant::byteValue(7));
    is("m", Variant::currencyScaled(122500));
    is("y", Variant(true));
    is("d", Variant::date(dateSerial(2024, 1, 5, 10, 0, 0)));
    is("g", Variant::single(0.5f));
    // Writes to the other tool's columns get the same checks; its INTEGER keeps 64 bits.
    EXPECT_EQ(refused("UPDATE Others SET s = 99999 WHERE k = 3").first, 3349);
    EXPECT_EQ(refused("UPDATE Others SET b = 256 WHERE k = 3").first, 3349);
    long n = 0;
    c->Execute("UPDATE Others SET b = 2.5, i = 1099511627777, m = 0.1 + 0.2 WHERE k = 3", n);
    EXPECT_EQ(fileValue(file("typed.sqlite"), "SELECT s, b, i, m FROM Others WHERE k = 3"), "int:-7|int:2|int:1099511627777|real:0.3");
    // The literal of each value finds its own row and no other.
    auto all = c->Execute("SELECT * FROM Others ORDER BY k");
    for (; !all->Eof(); all->MoveNext()) {
        long k = all->Fields()("k")->Value().toLong();
        for (const char* col : {"s", "b", "m", "i", "y", "d", "g", "l"}) {
            std::string where = std::string("[") + col + "] = " + sqlLiteral(all->Fields()(col)->Value());
            auto found = c->Execute("SELECT k FROM [Others] WHERE " + where);
            EXPECT_EQ(found->RecordCount(), 1) << where;
            if (found->RecordCount() == 1) {
                EXPECT_EQ(found->Fields()(0)->Value().toLong(), k) << where;
            }
        }
    }
}

// The round trip the table sheet relies on: a value read from a record set,
// written back as its literal, finds exactly the row it was read from.
TEST_F(TypedValuesTest, LiteralsOfReadValuesFindExactlyTheirRow) {
    long n = 0;
    c->Execute("CREATE TABLE Exact (K LONG PRIMARY KEY, D DOUBLE, S SINGLE, C CURRENCY, W DATETIME, T TEXT(40), "
               "Y YESNO, M MEMO, B BYTE, I SHORT)",
               n);
    const char* const doubles[] = {"0.30000000000000004", "0.3", "123456789.123456789", "1e-300", "5e-324",
                                   "1.7976931348623157e308", "32.99609607468118", "2.2250738585072014e-308",
                                   "9007199254740993", "0.1", "-1.8587616895540608e-05"};
    const char* const singles[] = {"1.1", "3.4e38", "0.1", "16777217", "1e-40", "2.5", "-7.75", "0.333333333",
                                   "1e10", "123.456", "0"};
    const char* const currencies[] = {"12.3456", "0.0001", "-922337203685.4775", "123456789012.3456", "0.30000000000000004",
                                      "1.00015", "-0.5", "99999999.9999", "922337203685477", "0", "7"};
    const char* const dates[] = {"#2024-01-20 10:00:00.123#", "#2024-01-20 10:00:00#", "#1850-03-01#",
                                 "#0100-01-01#", "#9999-12-31 23:59:59#", "#1899-12-29 12:00:00.5#",
                                 "#1899-12-30#", "#12/31/1899 00:00:00.001#", "#2024-01-20 10:00:00.124#",
                                 "#1/20/2024 10:00:01#", "#1900-02-28 23:59:59.999#"};
    const char* const texts[] = {"'trailing  '", "'trailing'", "'it''s'", "'\"quoted\"'", "'Ünïcödé ✓'",
                                 "'line\nbreak'", "' '", "''", "'#1/1/2024#'", "'[x]'", "'100'"};
    for (int i = 0; i < 11; ++i)
        c->Execute("INSERT INTO Exact VALUES (" + std::to_string(i) + ", " + doubles[i] + ", " + singles[i] + ", " +
                       currencies[i] + ", " + dates[i] + ", " + texts[i] + ", " + (i % 2 ? "True" : "False") + ", " +
                       texts[10 - i] + ", " + std::to_string(i * 25) + ", " + std::to_string(i * 3000 - 15000) + ")",
                   n);
    c->Execute("INSERT INTO Exact (K) VALUES (11)", n);
    // The exact doubles went in, by a reader of their own.
    EXPECT_EQ(fileValue(file("typed.sqlite"), "SELECT D FROM Exact WHERE K = 0"), "real:0.30000000000000004");
    EXPECT_EQ(fileValue(file("typed.sqlite"), "SELECT D FROM Exact WHERE K = 6"), "real:32.99609607468118");
    EXPECT_EQ(fileValue(file("typed.sqlite"), "SELECT D FROM Exact WHERE K = 2"), "real:123456789.12345679");
    EXPECT_EQ(fileValue(file("typed.sqlite"), "SELECT D FROM Exact WHERE K = 10"), "real:-1.8587616895540608e-05");

    auto rs = c->Execute("SELECT * FROM Exact ORDER BY K");
    ASSERT_EQ(rs->RecordCount(), 12);
    struct Column {
        const char* name;
        VarType kind;
    };
    const Column columns[] = {{"D", VarType::Double},   {"S", VarType::Single}, {"C", VarType::Currency},
                              {"W", VarType::Date},     {"T", VarType::String}, {"M", VarType::String},
                              {"B", VarType::Byte},     {"I", VarType::Integer}};
    for (; !rs->Eof(); rs->MoveNext()) {
        long k = rs->Fields()("K")->Value().toLong();
        for (const auto& col : columns) {
            Variant v = rs->Fields()(col.name)->Value();
            EXPECT_EQ(v.type(), k < 11 ? col.kind : VarType::Null) << col.name << " of row " << k;
            // All values of a column differ, so the literal alone must find the one row.
            std::string where = std::string("[") + col.name + "] " + (v.isNull() ? "IS NULL" : "= " + sqlLiteral(v));
            auto found = c->Execute("SELECT K FROM Exact WHERE " + where);
            EXPECT_EQ(found->RecordCount(), 1) << where;
            if (found->RecordCount() == 1) {
                EXPECT_EQ(found->Fields()(0)->Value().toLong(), k) << where;
            }
        }
    }
    EXPECT_EQ(c->Execute("SELECT K FROM Exact WHERE [Y] = True")->RecordCount(), 5);
    EXPECT_EQ(c->Execute("SELECT K FROM Exact WHERE [Y] = -1")->RecordCount(), 5);
    EXPECT_EQ(c->Execute("SELECT K FROM Exact WHERE [Y] = False")->RecordCount(), 6);
    EXPECT_EQ(c->Execute("SELECT K FROM Exact WHERE [Y] = 0")->RecordCount(), 6);
    // Values read back as the sheet expects them.
    auto one = c->Execute("SELECT * FROM Exact WHERE K = 5");
    EXPECT_EQ(sqlLiteral(one->Fields()("W")->Value()), "#1899-12-29 12:00:00.500#");
    EXPECT_EQ(sqlLiteral(one->Fields()("S")->Value()), "2.5");
    EXPECT_EQ(sqlLiteral(one->Fields()("C")->Value()), "1.0002");
    auto two = c->Execute("SELECT * FROM Exact WHERE K = 2");
    EXPECT_EQ(two->Fields()("W")->Value(), Variant::date(dateSerial(1850, 3, 1)));
    EXPECT_EQ(sqlLiteral(two->Fields()("W")->Value()), "#1850-03-01 00:00:00#");
    EXPECT_EQ(sqlLiteral(two->Fields()("C")->Value()), "-922337203685.4775");
    EXPECT_EQ(sqlLiteral(two->Fields()("T")->Value()), "'it''s'");
    EXPECT_EQ(sqlLiteral(c->Execute("SELECT W FROM Exact WHERE K = 3")->Fields()(0)->Value()), "#0100-01-01 00:00:00#");
}

}  // namespace dalvera::jet::test
