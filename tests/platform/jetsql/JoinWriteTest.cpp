// UPDATE and DELETE over joins: which table they change, and what they refuse.
#include <gtest/gtest.h>

#include "platform/jet/sql/JetSql.h"
#include "platform/jetsql/JetDb.h"
#include "runtime/Error.h"

using dalvera::Error;
using dalvera::jet::StoreColumn;
using dalvera::jet::StoreKind;
using dalvera::jet::translate;
using dalvera::jet::testing::JetDb;

namespace {

long errorNumber(const std::string& sql, const dalvera::jet::ColumnLookup& columns = {}) {
    try {
        translate(sql, {}, columns);
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

using Rows = std::vector<std::string>;

void fill(JetDb& db) {
    db.runNative("CREATE TABLE a (k INTEGER, x INTEGER, note TEXT)");
    db.runNative("CREATE TABLE b (k INTEGER, y INTEGER, z INTEGER)");
    db.runNative("INSERT INTO a VALUES (1, 0, 'one'), (2, 0, 'two'), (3, 0, 'three')");
    db.runNative("INSERT INTO b VALUES (1, 10, 5), (2, 20, 0), (4, 40, 9)");
}

// The columns of a and b, as the session looks them up.
std::vector<StoreColumn> lookup(const std::string& table) {
    if (table == "a") return {{"k", StoreKind::Long}, {"x", StoreKind::Long}, {"note", StoreKind::Any}};
    if (table == "b") return {{"k", StoreKind::Long}, {"y", StoreKind::Long}, {"z", StoreKind::Long}};
    return {};
}

}  // namespace

TEST(JetJoinWrite, UpdateOverAnInnerJoinChangesTheTargetRowsOnce) {
    JetDb db;
    fill(db);
    auto t = translate("UPDATE a INNER JOIN b ON a.k = b.k SET a.x = b.y WHERE b.z > 1");
    EXPECT_EQ(t.table, "a");
    db.runNative(t.sql);
    EXPECT_EQ(sqlite3_changes(db.handle()), 1);
    EXPECT_EQ(db.runNative("SELECT k, x FROM a ORDER BY k"), (Rows{"1|10", "2|0", "3|0"}));
    // b is untouched.
    EXPECT_EQ(db.runNative("SELECT k, y FROM b ORDER BY k"), (Rows{"1|10", "2|20", "4|40"}));
}

TEST(JetJoinWrite, UpdateOverALeftJoinReachesUnmatchedRowsWithNull) {
    JetDb db;
    fill(db);
    db.runNative(translate("UPDATE a LEFT JOIN b ON a.k = b.k SET a.x = b.y, note = 'seen'").sql);
    EXPECT_EQ(sqlite3_changes(db.handle()), 3);
    EXPECT_EQ(db.runNative("SELECT k, x, note FROM a ORDER BY k"), (Rows{"1|10|seen", "2|20|seen", "3|NULL|seen"}));
}

TEST(JetJoinWrite, AliasesListsAndBangQualifiers) {
    JetDb db;
    fill(db);
    db.runNative(translate("UPDATE a AS p, b AS q SET p!x = p.x + q.y WHERE p.k = q.k AND q.y >= 20").sql);
    EXPECT_EQ(db.runNative("SELECT k, x FROM a ORDER BY k"), (Rows{"1|0", "2|20", "3|0"}));
    db.runNative(translate("UPDATE (a INNER JOIN b ON a.k = b.k) SET a.note = a.note & '/' & b.z").sql);
    EXPECT_EQ(db.runNative("SELECT note FROM a ORDER BY k"), (Rows{"one/5", "two/0", "three"}));
}

TEST(JetJoinWrite, UnqualifiedFieldsBelongToTheTableThatHasThem) {
    auto t = translate("UPDATE a INNER JOIN b ON a.k = b.k SET y = 1", {}, lookup);
    EXPECT_EQ(t.table, "b");
    // Written values go through the target column's checks.
    EXPECT_NE(t.sql.find("jet_store(dv_sys_join.v1, 4, 'b', 'y')"), std::string::npos) << t.sql;
    EXPECT_EQ(errorNumber("UPDATE a INNER JOIN b ON a.k = b.k SET k = 1", lookup), 3079);
}

TEST(JetJoinWrite, UpdateRefusesWhatItCannotChange) {
    // Two tables in one UPDATE, a subquery, the outer side of a join.
    EXPECT_EQ(errorNumber("UPDATE a INNER JOIN b ON a.k = b.k SET a.x = 1, b.y = 2"), 3073);
    EXPECT_EQ(errorNumber("UPDATE a INNER JOIN (SELECT k FROM b) AS s ON a.k = s.k SET s.k = 1"), 3073);
    EXPECT_EQ(errorNumber("UPDATE a LEFT JOIN b ON a.k = b.k SET b.y = 1"), 3073);
    EXPECT_EQ(errorNumber("UPDATE a RIGHT JOIN b ON a.k = b.k SET a.x = 1"), 3073);
    EXPECT_EQ(errorNumber("UPDATE a INNER JOIN b ON a.k = b.k SET c.x = 1"), 3061);
    EXPECT_EQ(errorNumber("UPDATE a INNER JOIN b ON a.k = b.k"), 3144);
    // Left(...) in an ON condition is a call, not a join.
    EXPECT_EQ(translate("UPDATE a INNER JOIN b ON Left(a.note, 1) = b.k SET b.y = 1").table, "b");
}

TEST(JetJoinWrite, DeleteOverAJoinRemovesTheNamedTablesRows) {
    JetDb db;
    fill(db);
    auto t = translate("DELETE a.* FROM a INNER JOIN b ON a.k = b.k WHERE b.z > 1");
    EXPECT_EQ(t.table, "a");
    db.runNative(t.sql);
    EXPECT_EQ(sqlite3_changes(db.handle()), 1);
    EXPECT_EQ(db.runNative("SELECT k FROM a ORDER BY k"), (Rows{"2", "3"}));
    EXPECT_EQ(db.runNative("SELECT count(*) FROM b"), (Rows{"3"}));
    // Rows without a partner, through an alias and DISTINCTROW.
    db.runNative(translate("DELETE DISTINCTROW o.* FROM a AS o LEFT JOIN b ON o.k = b.k WHERE b.k Is Null").sql);
    EXPECT_EQ(db.runNative("SELECT k FROM a ORDER BY k"), (Rows{"2"}));
    db.runNative(translate("DELETE b!* FROM a, b WHERE a.k = b.k").sql);
    EXPECT_EQ(db.runNative("SELECT k FROM b ORDER BY k"), (Rows{"1", "4"}));
}

TEST(JetJoinWrite, DeleteNeedsTheTableToDeleteFrom) {
    EXPECT_EQ(errorNumber("DELETE * FROM a INNER JOIN b ON a.k = b.k"), 3128);
    EXPECT_EQ(errorNumber("DELETE FROM a INNER JOIN b ON a.k = b.k"), 3128);
    EXPECT_EQ(errorNumber("DELETE a.*, b.* FROM a INNER JOIN b ON a.k = b.k"), 3128);
    EXPECT_EQ(errorNumber("DELETE c.* FROM a INNER JOIN b ON a.k = b.k"), 3086);
    EXPECT_EQ(errorNumber("DELETE s.* FROM a INNER JOIN (SELECT k FROM b) AS s ON a.k = s.k"), 3086);
    // One table: its name or its alias.
    EXPECT_EQ(translate("DELETE a.* FROM a WHERE a.k = 1").sql, "DELETE FROM a WHERE a.k = 1");
    EXPECT_EQ(translate("DELETE o.* FROM a AS o WHERE o.k = 1").sql, "DELETE FROM a AS o WHERE o.k = 1");
    EXPECT_EQ(errorNumber("DELETE b.* FROM a WHERE k = 1"), 3086);
}
