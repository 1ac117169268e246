// Undo and redo of a person's edits in the embedded application: exact
// values and formats, the events the sheet's owner hears, and a history
// that refuses to restore cells changed otherwise since.
#include "SheetsFixture.h"

namespace dalvera::test {
namespace {

struct UndoLog : host::ApplicationEvents {
    std::vector<std::string> undone;
    void SheetUndo(const host::WorksheetPtr& sheet, const host::RangePtr& target) override {
        undone.push_back(sheet->Name() + "!" + target->Address(false, false));
    }
};

class UndoTest : public SheetsTest {
protected:
    void SetUp() override {
        SheetsTest::SetUp();
        app->addEventSink(&log);
    }
    void TearDown() override {
        app->removeEventSink(&log);
        SheetsTest::TearDown();
    }
    UndoLog log;
};

TEST_F(UndoTest, ValuesAndFormatsComeBackExactlyAndTheOwnerIsTold) {
    cell("A1")->SetValue(Variant(1.5));
    cell("A1")->SetNumberFormat("0.00");
    cell("A1")->Interior()->SetColor(0x00FF00);
    events.changes.clear();
    EXPECT_FALSE(user->canUndo());
    // The owner answers a change by painting it, as the table sheet does.
    struct Painter : host::ApplicationEvents {
        void SheetChange(const host::WorksheetPtr&, const host::RangePtr& target) override {
            target->Interior()->SetColor(0x0000FF);
        }
    } painter;
    app->addEventSink(&painter);
    ASSERT_EQ(user->typeText(cell("A1"), "25%"), platform::UserOperations::Result::Accepted);
    app->removeEventSink(&painter);
    EXPECT_EQ(cell("A1")->Interior()->Color().toLong(), 0x0000FF);
    EXPECT_TRUE(user->canUndo());

    EXPECT_TRUE(user->undo());
    EXPECT_EQ(cell("A1")->Value(), Variant(1.5));
    EXPECT_EQ(cell("A1")->NumberFormat(), Variant("0.00"));
    EXPECT_EQ(cell("A1")->Interior()->Color().toLong(), 0x00FF00);
    EXPECT_EQ(log.undone, std::vector<std::string>{"Sheet1!A1"});
    EXPECT_EQ(events.changes.size(), 1u);  // only the typing itself
    EXPECT_FALSE(user->undo());
    EXPECT_TRUE(user->redo());
    EXPECT_EQ(cell("A1")->Value(), Variant(0.25));
    EXPECT_EQ(cell("A1")->Interior()->Color().toLong(), 0x0000FF);  // as the owner had painted it
    EXPECT_FALSE(user->redo());

    // Paste, fill and clear are steps of their own, undone last first.
    user->pasteBlock(cell("B1"), {{"x", "y"}});
    user->fillBlock(sheet->Range("D1:D3"), "7");
    user->clear(cell("A1"));
    EXPECT_TRUE(user->undo());
    EXPECT_EQ(cell("A1")->Value(), Variant(0.25));
    EXPECT_TRUE(user->undo());
    EXPECT_TRUE(cell("D2")->Value().isEmpty());
    EXPECT_TRUE(user->undo());
    EXPECT_TRUE(cell("C1")->Value().isEmpty());
    EXPECT_EQ(app->Selection()->Address(false, false), "B1:C1");
}

TEST_F(UndoTest, CellsChangedOtherwiseSinceEndTheHistory) {
    user->typeText(cell("A1"), "mine");
    cell("A1")->SetValue(Variant("code's"));
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(cell("A1")->Value(), Variant("code's"));
    EXPECT_FALSE(user->canUndo());

    user->typeText(cell("A5"), "mine");
    cell("A5")->Interior()->SetColor(0x123456);  // a format only
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(cell("A5")->Value(), Variant("mine"));

    user->typeText(cell("A7"), "mine");
    sheet->Rows(1)->Insert();  // the same address is another cell now
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(cell("A8")->Value(), Variant("mine"));
    EXPECT_TRUE(cell("A7")->Value().isEmpty());

    // While a cell is being edited the keys belong to the editor.
    user->typeText(cell("B1"), "1");
    user->beginEdit(cell("B2"));
    EXPECT_FALSE(user->undo());
    user->cancelEdit();
    EXPECT_TRUE(user->undo());
    EXPECT_TRUE(cell("B1")->Value().isEmpty());

    // A step too large to keep ends the history rather than filling memory.
    user->typeText(cell("C1"), "kept");
    user->fillBlock(sheet->Range("E1:E300000"), "1");
    EXPECT_FALSE(user->canUndo());
    EXPECT_EQ(cell("C1")->Value(), Variant("kept"));
}

TEST_F(UndoTest, FillDownAndUnchangedEntriesGoThroughTheCellsRules) {
    cell("A1")->SetValue(Variant(3.0));
    cell("A2:A3")->Validation()->Add(host::xl::ValidateWholeNumber, Variant(host::xl::ValidAlertStop),
                                      Variant(host::xl::Between), Variant("1"), Variant("2"));
    ui.answers.push_back(host::answer::Cancel);
    EXPECT_EQ(user->fillDown(sheet->Range("A1:A3")), platform::UserOperations::Result::Refused);
    EXPECT_TRUE(cell("A2")->Value().isEmpty());
    cell("A1")->SetValue(Variant(2.0));
    EXPECT_EQ(user->fillDown(sheet->Range("A1:A3")), platform::UserOperations::Result::Accepted);
    EXPECT_EQ(cell("A3")->Value(), Variant(2.0));

    // Confirming what a cell holds is no change; Retry of a stop alert says so.
    events.changes.clear();
    user->beginEdit(cell("A3"));
    EXPECT_EQ(user->endEdit("2"), platform::UserOperations::Result::Accepted);
    EXPECT_TRUE(events.changes.empty());
    EXPECT_EQ(app->Selection()->Address(false, false), "A4");  // Enter still moves on
    ui.answers.push_back(host::answer::Retry);
    user->beginEdit(cell("A3"));
    EXPECT_EQ(user->endEdit("9"), platform::UserOperations::Result::Retry);
    ui.answers.push_back(host::answer::Cancel);
    user->beginEdit(cell("A3"));
    EXPECT_EQ(user->endEdit("9"), platform::UserOperations::Result::Refused);
    EXPECT_EQ(cell("A3")->Value(), Variant(2.0));
}

// A macro that appends a row to a small grid and puts its own step on the
// history, as the table sheet's F6 does.
class MacroUndoTest : public UndoTest {
protected:
    void SetUp() override {
        UndoTest::SetUp();
        cell("A1")->SetValue(Variant("head"));
        cell("A4")->SetValue(Variant("below"));  // under the grid: moves with its rows
        app->registerMacro("ThisWorkbook.Add", [this] {
            append();
            app->OnUndo("Add row", "ThisWorkbook.Back", "ThisWorkbook.Again");
        });
        app->registerMacro("ThisWorkbook.Back", [this] {
            ++backs;
            if (refuse) raise(1004, "refused", "test");
            sheet->Rows(rows + 1)->Delete();
            --rows;
        });
        app->registerMacro("ThisWorkbook.Again", [this] {
            ++agains;
            append();
            // Registering again while being redone must not become a step of its own.
            app->OnUndo("Add row", "ThisWorkbook.Back", "ThisWorkbook.Again");
        });
    }
    void append() {
        sheet->Rows(rows + 2)->Insert();
        ++rows;
        cell("A" + std::to_string(rows + 1))->SetValue(Variant("row " + std::to_string(rows)));
    }
    std::string a(int row) { return cell("A" + std::to_string(row))->Value().text(); }
    long rows = 1;  // data rows under the heading
    int backs = 0, agains = 0;
    bool refuse = false;
};

TEST_F(MacroUndoTest, AMacrosStepIsUndoneByItsProceduresBetweenTheEditsAroundIt) {
    user->typeText(cell("B1"), "typed first");
    cell("A2")->SetValue(Variant("row 1"));
    app->Run("ThisWorkbook.Add");
    EXPECT_EQ(a(3), "row 2");
    EXPECT_EQ(a(5), "below");
    EXPECT_EQ(user->undoText(), "Add row");
    user->typeText(cell("B3"), "in the new row");
    app->Run("ThisWorkbook.Add");
    EXPECT_EQ(a(6), "below");

    // Last first: the second row, the typing in the first added row, that row, the typing before it.
    ASSERT_TRUE(user->undo());
    EXPECT_EQ(rows, 2);
    EXPECT_TRUE(a(4).empty());
    EXPECT_EQ(a(5), "below");
    EXPECT_EQ(user->redoText(), "Add row");
    ASSERT_TRUE(user->undo());
    EXPECT_TRUE(cell("B3")->Value().isEmpty());
    EXPECT_EQ(user->undoText(), "Add row");
    ASSERT_TRUE(user->undo());
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(a(4), "below");
    ASSERT_TRUE(user->undo()) << "typing from before the macro holds again once its rows are back";
    EXPECT_TRUE(cell("B1")->Value().isEmpty());
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(backs, 2);
    EXPECT_EQ(log.undone.size(), 2u) << "a macro's step is its own procedure's business, not a cell undo";

    for (int i = 0; i < 4; ++i) ASSERT_TRUE(user->redo()) << i;
    EXPECT_FALSE(user->redo());
    EXPECT_EQ(agains, 2);
    EXPECT_EQ(cell("B1")->Value().text(), "typed first");
    EXPECT_EQ(cell("B3")->Value().text(), "in the new row");
    EXPECT_EQ(a(4), "row 3");
    EXPECT_EQ(a(6), "below");
    // The redone steps can be undone again, one by one.
    ASSERT_TRUE(user->undo());
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(backs, 3);
}

TEST_F(MacroUndoTest, ARefusalCodeOrAMacroThatCannotBeUndoneEndsTheHistory) {
    // A procedure that refuses: nothing older is replayed either.
    user->typeText(cell("B1"), "kept");
    app->Run("ThisWorkbook.Add");
    refuse = true;
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(backs, 1);
    EXPECT_EQ(rows, 2);
    EXPECT_FALSE(user->canUndo());
    EXPECT_EQ(cell("B1")->Value().text(), "kept");
    refuse = false;

    // Rows moved by code since: the procedure is not even asked.
    app->Run("ThisWorkbook.Add");
    sheet->Rows(1)->Insert();
    EXPECT_FALSE(user->canUndo());
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(backs, 1);
    sheet->Rows(1)->Delete();

    // A macro that says its work cannot be undone, one that fails, and a procedure that is gone.
    app->registerMacro("ThisWorkbook.Write", [this] { app->OnUndo("", "", ""); });
    app->registerMacro("ThisWorkbook.Fail", [this] {
        app->OnUndo("Fail", "ThisWorkbook.Back", "");
        raise(1004, "failed", "test");
    });
    user->typeText(cell("B1"), "again");
    app->Run("ThisWorkbook.Write");
    EXPECT_FALSE(user->canUndo());
    user->typeText(cell("B1"), "once more");
    EXPECT_THROW(app->Run("ThisWorkbook.Fail"), Error);
    EXPECT_TRUE(user->undoText().empty()) << "a failed macro leaves no step";
    app->Run("ThisWorkbook.Add");
    app->unregisterMacro("ThisWorkbook.Back");
    EXPECT_FALSE(user->undo());
    EXPECT_EQ(backs, 1);

    // Without a redo procedure the step is undone but not redone.
    app->registerMacro("ThisWorkbook.Back", [this] {
        ++backs;
        sheet->Rows(rows + 1)->Delete();
        --rows;
    });
    app->registerMacro("ThisWorkbook.Once", [this] {
        append();
        app->OnUndo("Once", "ThisWorkbook.Back", "");
    });
    const long before = rows;
    app->Run("ThisWorkbook.Once");
    ASSERT_TRUE(user->undo());
    EXPECT_EQ(rows, before);
    EXPECT_FALSE(user->canRedo());
}

}  // namespace
}  // namespace dalvera::test
