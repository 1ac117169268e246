// Sorting the rows of an AutoFilter range as a person does: whole rows move
// with their formats and comments, the owner is told the new order, and a
// sort the sheet does not allow changes nothing.
#include "SheetsFixture.h"

namespace dalvera::test {
namespace {

struct SortLog : host::ApplicationEvents {
    long firstRow = 0;
    std::vector<long> order;
    int sorts = 0;
    void SheetSort(const host::WorksheetPtr&, long first, const std::vector<long>& o) override {
        ++sorts;
        firstRow = first;
        order = o;
    }
};

class SortTest : public SheetsTest {
protected:
    void SetUp() override {
        SheetsTest::SetUp();
        app->addEventSink(&log);
        // Heading row, then a key column A and a mixed column B.
        cell("A1")->SetValue(Variant("Key"));
        cell("B1")->SetValue(Variant("Value"));
        const std::vector<Variant> values{Variant(10.0), Variant("b"), Variant(),       Variant(9.0),
                                          Variant("A"),  Variant(100.0), Variant(-1.5)};
        for (size_t i = 0; i < values.size(); ++i) {
            cell("A" + std::to_string(i + 2))->SetValue(Variant(long(i + 1)));
            if (!values[i].isEmpty()) cell("B" + std::to_string(i + 2))->SetValue(values[i]);
        }
        sheet->Range("A1:B8")->AutoFilter();
    }
    void TearDown() override {
        app->removeEventSink(&log);
        SheetsTest::TearDown();
    }
    std::vector<long> keys() {
        std::vector<long> out;
        for (int r = 2; r <= 8; ++r) out.push_back(cell("A" + std::to_string(r))->Value().toLong());
        return out;
    }
    SortLog log;
};

TEST_F(SortTest, NumbersInNumericOrderBeforeTextsAndBlanksLastBothWays) {
    ASSERT_EQ(user->sortRows(sheet, 2, true), platform::UserOperations::Result::Accepted);
    // -1.5, 9, 10, 100, then "A", "b" without regard to case, then the blank.
    EXPECT_EQ(keys(), (std::vector<long>{7, 4, 1, 6, 5, 2, 3}));
    EXPECT_EQ(log.sorts, 1);
    EXPECT_EQ(log.firstRow, 2);
    EXPECT_EQ(log.order, (std::vector<long>{6, 3, 0, 5, 4, 1, 2}));

    ASSERT_EQ(user->sortRows(sheet, 2, false), platform::UserOperations::Result::Accepted);
    EXPECT_EQ(keys(), (std::vector<long>{2, 5, 6, 1, 4, 7, 3}));
    // Back by the key column: the rows are as they were entered.
    user->sortRows(sheet, 1, true);
    EXPECT_EQ(keys(), (std::vector<long>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(cell("B2")->Value(), Variant(10.0));
    EXPECT_TRUE(cell("B4")->Value().isEmpty());
}

TEST_F(SortTest, FormatsAndCommentsGoWithTheirRows) {
    cell("B3")->Interior()->SetColor(0x00FF00);  // key 2, "b"
    cell("A5")->AddComment("note on 4");
    user->sortRows(sheet, 2, true);
    // Key 2 is now in row 7, key 4 in row 3.
    ASSERT_EQ(cell("A7")->Value().toLong(), 2);
    EXPECT_EQ(cell("B7")->Interior()->Color().toLong(), 0x00FF00);
    EXPECT_NE(cell("B3")->Interior()->Color().toLong(), 0x00FF00);
    ASSERT_TRUE(cell("A3")->Comment());
    EXPECT_EQ(cell("A3")->Comment()->Text(), "note on 4");
    EXPECT_FALSE(cell("A5")->Comment());
}

TEST_F(SortTest, ASortThatCannotHappenChangesNothing) {
    sheet->Protect("", {});  // protected without sorting allowed
    EXPECT_EQ(user->sortRows(sheet, 2, true), platform::UserOperations::Result::Refused);
    EXPECT_EQ(keys(), (std::vector<long>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(log.sorts, 0);
    EXPECT_EQ(ui.boxes.size(), 1u);

    host::ProtectOptions sorting;
    sorting.allowSorting = true;
    sheet->Unprotect("");
    sheet->Protect("", sorting);
    EXPECT_EQ(user->sortRows(sheet, 2, true), platform::UserOperations::Result::Accepted);
    EXPECT_EQ(keys().front(), 7);

    // Already in order: no move, no event; outside the filter: refused.
    log.sorts = 0;
    user->sortRows(sheet, 2, true);
    EXPECT_EQ(log.sorts, 0);
    EXPECT_EQ(user->sortRows(sheet, 5, true), platform::UserOperations::Result::Refused);
}

TEST_F(SortTest, TheUndoHistoryEndsAtASort) {
    user->typeText(cell("B2"), "11");
    ASSERT_TRUE(user->canUndo());
    user->sortRows(sheet, 2, true);
    EXPECT_FALSE(user->canUndo());
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(cell("B4")->Value(), Variant(11.0));  // key 1 sits between 9 and 100
}

}  // namespace
}  // namespace dalvera::test
