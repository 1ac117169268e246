// A person edits the Orders table in the window and writes it back with F7.
#include "WindowFixture.h"

#include <sqlite3.h>

#include "app/clsAux.h"
#include "sheet/clsField.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace dalvera::testing {
namespace {

// Freight of an order, read from the file itself.
double freightInFile(const std::string& db, int year, int number) {
    sqlite3* h = nullptr;
    double v = -1;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        std::string sql = "SELECT Freight FROM Orders WHERE OrderYear = " + std::to_string(year) +
                          " AND OrderNo = " + std::to_string(number);
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_double(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return v;
}

TEST_F(WindowTest, AnEditIsPaintedAndF7WritesItToTheDatabase) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    auto& w = open(12);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    QString why;
    ASSERT_TRUE(w.perform("click:Tables/Orders", &why)) << why.toStdString();
    settle();

    clsForm& form = goApplication->Form();
    auto freight = form.Matrix()->Fields().Item("Freight")->Cell()->Offset(2, 0);  // order 2024/2
    goTo(freight->Row(), freight->Column());
    typeIntoCell("13.75");
    EXPECT_EQ(freight->Interior()->Color().toLong(),
              goApplication->Aux().SettingColor(setting::ColorMatrixBackEdited));
    EXPECT_TRUE(form.HasChanges());
    EXPECT_EQ(freightInFile(db, 2024, 2), 7.25);

    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    QTest::keyClick(&grid(), Qt::Key_F7);
    settle();
    ui_.verifyAllConsumed();
    EXPECT_EQ(freightInFile(db, 2024, 2), 13.75);
    EXPECT_FALSE(form.HasChanges());

    // The customer column offers the related table's keys in its drop-down,
    // each with the customer's name beside it.
    auto customer = form.Matrix()->Fields().Item("CustomerID")->Cell()->Offset(1, 0);
    goTo(customer->Row(), customer->Column());
    QTest::keyClick(&grid(), Qt::Key_F2);
    auto* combo = grid().findChild<QComboBox*>("listEditor");
    ASSERT_NE(combo, nullptr);
    QStringList offered, entered;
    for (int i = 0; i < combo->count(); ++i) offered << combo->itemText(i), entered << combo->itemData(i).toString();
    EXPECT_GE(offered.size(), 2);
    EXPECT_TRUE(entered.contains("1"));
    EXPECT_TRUE(entered.contains("2"));
    EXPECT_TRUE(offered.contains(QString::fromUtf8("1 \u00b7 Harbour Foods")));
    QTest::keyClick(combo, Qt::Key_Escape);
}

}  // namespace
}  // namespace dalvera::testing
