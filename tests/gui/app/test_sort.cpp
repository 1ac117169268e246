// Sorting the table sheet from a column's filter menu: every row keeps its
// flag, its loaded key and values, its colours and its new-row state, so that
// F7 and F8 afterwards reach exactly the records they should. Checked in the
// database file itself.
#include <sqlite3.h>

#include <QMenu>
#include <QTimer>

#include "WindowFixture.h"
#include "app/clsAux.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace dalvera::testing {
namespace {

// Every row of a query, its columns joined by "|" ("NULL" for none).
std::vector<std::string> rowsInFile(const std::string& db, const std::string& sql) {
    sqlite3* h = nullptr;
    std::vector<std::string> out;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW) {
                std::string line;
                for (int c = 0; c < sqlite3_column_count(st); ++c) {
                    const unsigned char* t = sqlite3_column_text(st, c);
                    line += (c ? "|" : "") + (t ? std::string(reinterpret_cast<const char*>(t)) : std::string("NULL"));
                }
                out.push_back(line);
            }
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return out;
}

const char* kOrders = "SELECT OrderYear, OrderNo, CustomerID, Freight FROM Orders ORDER BY OrderYear, OrderNo";

class SortTest : public WindowTest {
protected:
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(&grid(), static_cast<Qt::Key>(key), mods);
        settle();
    }
    std::string openOrders(const char* prepare = nullptr) {
        const std::string sample = sampleDatabase();
        if (sample.empty()) return {};
        const std::string db = dir_ + "/sample.sqlite";
        std::filesystem::copy_file(sample, db, std::filesystem::copy_options::overwrite_existing);
        if (prepare) {
            sqlite3* h = nullptr;
            EXPECT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(h, prepare, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(h);
        }
        auto& w = open(12);
        ui_.expectOpenFile(db);
        ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
        EXPECT_TRUE(w.perform("click:Open database"));
        EXPECT_TRUE(w.perform("click:Tables/Orders"));
        settle();
        return db;
    }
    clsField& field(const std::string& name) { return *goApplication->Form().Matrix()->Fields().Item(name); }
    host::RangePtr fieldCell(const std::string& name, long row) { return field(name).Cell()->Offset(row, 0); }
    // The filter menu of a column, answered with the keys a person presses:
    // the entry named, or Escape when it is empty.
    void chooseInFilterMenu(const std::string& name, const char* entry) {
        const int32_t col = static_cast<int32_t>(field(name).Cell()->Column());
        QTimer::singleShot(0, [this, entry] {
            QMenu* menu = grid().filterMenu();
            ASSERT_NE(menu, nullptr);
            if (const char* dir = std::getenv("DALVERA_SHOTS")) menu->grab().save(QString(dir) + "/sort-menu.png");
            if (!entry) {
                QTest::keyClick(menu, Qt::Key_Escape);
                return;
            }
            auto* action = menu->findChild<QAction*>(entry);
            ASSERT_NE(action, nullptr);
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        grid().showFilterMenu(col, grid().mapToGlobal(QPoint(10, 10)));
        settle();
    }
    // The "year/number" of each data row as the sheet shows it.
    std::vector<std::string> shownKeys() {
        std::vector<std::string> out;
        for (long r = 1; r <= goApplication->Form().RowCount(); ++r)
            out.push_back(fieldCell("OrderYear", r)->Text() + "/" + fieldCell("OrderNo", r)->Text());
        return out;
    }
    long rowOf(const std::string& key) {
        auto keys = shownKeys();
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key) return static_cast<long>(i) + 1;
        return 0;
    }
};

TEST_F(SortTest, EditedNewAndUntouchedRowsKeepTheirRecordsThroughASort) {
    const std::string db = openOrders();
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    const auto before = rowsInFile(db, kOrders);
    ASSERT_EQ(before.size(), 3u);
    const long edited = goApplication->Aux().SettingColor(setting::ColorMatrixBackEdited);

    // Order 2024/2 (7.25) edited to 99.5, unwritten.
    auto freight = fieldCell("Freight", 2);
    WindowTest::goTo(freight->Row(), freight->Column());
    typeIntoCell("99.5");
    // A new record after F6, also unwritten.
    press(Qt::Key_F6);
    ASSERT_EQ(goApplication->Form().RowCount(), 4);
    const std::vector<std::pair<std::string, QString>> entries{
        {"OrderYear", "2026"}, {"OrderNo", "9"}, {"CustomerID", "1"}, {"Freight", "3.5"}};
    for (const auto& [name, text] : entries) {
        auto cell = fieldCell(name, 4);
        WindowTest::goTo(cell->Row(), cell->Column());
        typeIntoCell(text);
    }
    EXPECT_EQ(shownKeys(), (std::vector<std::string>{"2024/1", "2024/2", "2025/1", "2026/9"}));

    // Descending by Freight: 99.5, 12.5, 3.5, 0 as numbers, not as texts.
    chooseInFilterMenu("Freight", "sortDescending");
    EXPECT_EQ(shownKeys(), (std::vector<std::string>{"2024/2", "2024/1", "2026/9", "2025/1"}));
    EXPECT_EQ(fieldCell("Freight", 1)->Interior()->Color().toLong(), edited);
    EXPECT_NE(fieldCell("Freight", 2)->Interior()->Color().toLong(), edited);
    EXPECT_EQ(rowsInFile(db, kOrders), before) << "a sort writes nothing";

    // And ascending: 0, 3.5, 12.5, 99.5.
    chooseInFilterMenu("Freight", "sortAscending");
    EXPECT_EQ(shownKeys(), (std::vector<std::string>{"2025/1", "2026/9", "2024/1", "2024/2"}));
    EXPECT_EQ(fieldCell("Freight", 4)->Interior()->Color().toLong(), edited);
    // An untouched row, now elsewhere, edited after the sort.
    auto customer = fieldCell("CustomerID", rowOf("2025/1"));
    WindowTest::goTo(customer->Row(), customer->Column());
    typeIntoCell("2");

    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F7);
    ui_.verifyAllConsumed();
    EXPECT_EQ(rowsInFile(db, kOrders),
              (std::vector<std::string>{"2024|1|1|12.5", "2024|2|2|99.5", "2025|1|2|0", "2026|9|1|3.5"}));
    EXPECT_FALSE(goApplication->Form().HasChanges());
}

TEST_F(SortTest, F8AfterASortDeletesTheRecordItsRowShows) {
    const std::string db = openOrders("DELETE FROM OrderLines");
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    chooseInFilterMenu("Freight", "sortDescending");  // 12.5, 7.25, 0
    ASSERT_EQ(shownKeys(), (std::vector<std::string>{"2024/1", "2024/2", "2025/1"}));
    chooseInFilterMenu("Freight", "sortAscending");
    ASSERT_EQ(shownKeys(), (std::vector<std::string>{"2025/1", "2024/2", "2024/1"}));
    // Row 1 is 2025/1, which was the last row loaded.
    auto freight = fieldCell("Freight", 1);
    ASSERT_TRUE(session_->user().select(freight));
    settle();
    ui_.expectMsgBox(host::answer::Yes, std::nullopt, host::mb::Question);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F8);
    ui_.verifyAllConsumed();
    EXPECT_EQ(rowsInFile(db, kOrders), (std::vector<std::string>{"2024|1|1|12.5", "2024|2|2|7.25"}));
}

TEST_F(SortTest, BlanksStayLastAndACancelledMenuChangesNothing) {
    const std::string db = openOrders();
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    // Only 2024/1 has a shipping date; the others are Null.
    chooseInFilterMenu("ShippedDate", "sortDescending");
    EXPECT_EQ(shownKeys().front(), "2024/1");
    chooseInFilterMenu("OrderNo", "sortDescending");
    EXPECT_EQ(shownKeys(), (std::vector<std::string>{"2024/2", "2024/1", "2025/1"}));
    chooseInFilterMenu("ShippedDate", "sortAscending");
    EXPECT_EQ(shownKeys(), (std::vector<std::string>{"2024/1", "2024/2", "2025/1"}));

    auto freight = fieldCell("Freight", 3);
    WindowTest::goTo(freight->Row(), freight->Column());
    typeIntoCell("5");
    const auto keys = shownKeys();
    chooseInFilterMenu("Freight", nullptr);  // Escape
    EXPECT_EQ(shownKeys(), keys);
    EXPECT_TRUE(goApplication->Form().HasChanges());
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    press(Qt::Key_F7);
    ui_.verifyAllConsumed();
    EXPECT_EQ(rowsInFile(db, kOrders),
              (std::vector<std::string>{"2024|1|1|12.5", "2024|2|2|7.25", "2025|1|1|5"}));
}

}  // namespace
}  // namespace dalvera::testing
