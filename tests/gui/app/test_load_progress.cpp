// Rows read with progress in the status bar and a way to cancel: Escape or the
// Cancel button abandons the load, nothing runs into the half-built sheet, and
// F7 or F8 after it leave the database file as it was.
#include <sqlite3.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "WindowFixture.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

constexpr long kBigRows = 6000;

// One text of the whole table, in key order, read by SQLite itself.
std::string bigInFile(const std::string& db) {
    sqlite3* h = nullptr;
    std::string out;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, "SELECT ID, Name, Amount FROM Big ORDER BY ID", -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                for (int c = 0; c < 3; ++c) {
                    const unsigned char* t = sqlite3_column_text(st, c);
                    out += (t ? reinterpret_cast<const char*>(t) : "NULL") + std::string(c == 2 ? "\n" : "|");
                }
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return out;
}

class LoadProgressTest : public WindowTest {
protected:
    std::string openWithBig() {
        const std::string sample = sampleDatabase();
        if (sample.empty()) return {};
        const std::string db = dir_ + "/sample.sqlite";
        std::filesystem::copy_file(sample, db, std::filesystem::copy_options::overwrite_existing);
        sqlite3* h = nullptr;
        EXPECT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
        const std::string make =
            "CREATE TABLE Big (ID INTEGER PRIMARY KEY, Name TEXT(40), Amount DOUBLE);"
            "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
            std::to_string(kBigRows) + ") INSERT INTO Big SELECT n, 'row ' || n, n * 1.5 FROM c;";
        EXPECT_EQ(sqlite3_exec(h, make.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(h);
        auto& w = open(12);
        ui_.expectOpenFile(db);
        ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
        EXPECT_TRUE(w.perform("click:Open database"));
        return db;
    }
    // Runs `during` once rows are being read, from the window's own pause in the load.
    void duringLoad(std::function<void()> during) {
        window_->setLoadTimings(0, 0);
        QTimer::singleShot(0, window_.get(), [this, during] {
            seenLoading_ = window_->loading() && window_->loadProgress().isVisible();
            during();
        });
    }
    bool seenLoading_ = false;
};

TEST_F(LoadProgressTest, EscapeDuringAReloadAbandonsItRefusesCommandsAndLeavesTheFileAsItWas) {
    const std::string db = openWithBig();
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    auto& w = *window_;
    // Quick enough not to be shown: the table loads whole, as without progress.
    w.setLoadTimings(1 << 30, 50);
    ASSERT_TRUE(w.perform("click:Tables/Big"));
    settle();
    ASSERT_NE(goApplication->Form().Matrix(), nullptr);
    EXPECT_EQ(goApplication->Form().Matrix()->RowCount(), kBigRows);
    EXPECT_FALSE(w.loadProgress().isVisible());
    const std::string before = bigInFile(db);
    ASSERT_EQ(std::count(before.begin(), before.end(), '\n'), kBigRows);

    goTo(4, 2);
    bool closed = true, refusedClick = false;
    std::string rowsText;
    duringLoad([&] {
        rowsText = w.findChild<QLabel*>("loadRowsRead")->text().toStdString();
        if (const char* dir = std::getenv("DALVERA_SHOTS")) w.grab().save(QString(dir) + "/load-progress.png");
        // F8 would delete the selected record, F7 write the sheet, F6 add a row:
        // none of them may run into the sheet being filled.
        QTest::keyClick(&grid(), Qt::Key_F8);
        QTest::keyClick(&grid(), Qt::Key_F7);
        QTest::keyClick(&grid(), Qt::Key_F6);
        closed = w.close();
        refusedClick = w.perform("click:Tables/Orders");
        QTest::keyClick(&grid(), Qt::Key_Escape);
    });
    ui_.expectMsgBox(host::answer::OK, GetMessage(290, Variant("Big")), host::mb::Information);
    QTest::keyClick(&grid(), Qt::Key_F9);
    settle();
    EXPECT_TRUE(seenLoading_);
    EXPECT_NE(rowsText.find("1024"), std::string::npos) << rowsText;
    EXPECT_FALSE(closed);
    EXPECT_FALSE(refusedClick);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.loading());
    EXPECT_FALSE(w.loadProgress().isVisible());
    // Abandoned whole: no table to act on, and no rows of it left on the sheet.
    EXPECT_EQ(goApplication->Form().Matrix(), nullptr);
    EXPECT_TRUE(goApplication->Form().Sheet()->Range("A2")->Value().isEmpty());
    EXPECT_EQ(bigInFile(db), before);

    // Nothing for F7 and F8 to write or delete afterwards either.
    goTo(4, 2);
    QTest::keyClick(&grid(), Qt::Key_F8);
    settle();
    QTest::keyClick(&grid(), Qt::Key_F7);
    settle();
    EXPECT_EQ(bigInFile(db), before);

    // The table comes back whole when it is chosen again.
    w.setLoadTimings(1 << 30, 50);
    ASSERT_TRUE(w.perform("click:Tables/Big"));
    settle();
    ASSERT_NE(goApplication->Form().Matrix(), nullptr);
    EXPECT_EQ(goApplication->Form().Matrix()->RowCount(), kBigRows);
    ui_.verifyAllConsumed();
}

TEST_F(LoadProgressTest, CancelButtonAbandonsATableAndAResult) {
    const std::string db = openWithBig();
    if (db.empty()) GTEST_SKIP() << "the sample database was not built";
    auto& w = *window_;
    std::string caption;
    duringLoad([&] {
        caption = w.loadCancelButton().text().toStdString();
        QTest::mouseClick(&w.loadCancelButton(), Qt::LeftButton);
    });
    ui_.expectMsgBox(host::answer::OK, GetMessage(290, Variant("Big")), host::mb::Information);
    EXPECT_TRUE(w.perform("click:Tables/Big"));
    settle();
    EXPECT_TRUE(seenLoading_);
    EXPECT_EQ(caption, "Cancel");
    EXPECT_EQ(goApplication->Form().Matrix(), nullptr);

    // A typed query's result: no half-made result sheet stays behind.
    w.setLoadTimings(1 << 30, 50);
    ASSERT_TRUE(w.perform("click:Tables/Orders"));
    settle();
    ASSERT_NE(goApplication->Form().Matrix(), nullptr);
    auto book = goApplication->Form().Sheet()->Parent();
    const long sheets = book->Worksheets()->Count();
    seenLoading_ = false;
    duringLoad([&] { QTest::mouseClick(&w.loadCancelButton(), Qt::LeftButton); });
    ui_.expectInput(Variant("SELECT * FROM Big"));
    ui_.expectMsgBox(host::answer::OK, GetMessage(291), host::mb::Information);
    EXPECT_TRUE(w.perform("click:Execute SQL statement"));
    settle();
    EXPECT_TRUE(seenLoading_);
    EXPECT_EQ(book->Worksheets()->Count(), sheets);
    EXPECT_FALSE(w.loading());
    ui_.verifyAllConsumed();
}

}  // namespace
}  // namespace dalvera::testing
