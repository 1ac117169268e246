#include "SheetsFixture.h"

namespace dalvera::test {

TEST_F(SheetsTest, SheetChangeForTypingPastingAndCodeButNotWhileEventsAreOff) {
    events.changes.clear();
    user->typeText(cell("B2"), "x");
    user->pasteBlock(cell("C3"), {{"1", "2"}, {"3", "4"}});
    cell("A1")->SetValue(1);
    ASSERT_EQ(events.changes.size(), 3u);
    EXPECT_EQ(events.changes[0], "Sheet1!B2");
    EXPECT_EQ(events.changes[1], "Sheet1!C3:D4");
    EXPECT_EQ(events.changes[2], "Sheet1!A1");

    app->SetEnableEvents(false);
    uint64_t revision = app->revision();
    user->typeText(cell("B2"), "y");
    EXPECT_GT(app->revision(), revision);  // front ends still learn of the change
    cell("A1:B2")->ClearContents();
    EXPECT_EQ(events.changes.size(), 3u);
    EXPECT_TRUE(cell("B2")->Value().isEmpty());  // the edit itself still happens
}

TEST_F(SheetsTest, ActivationEvents) {
    events.activations.clear();
    auto second = book->Worksheets()->Item(2);
    user->activate(second);
    EXPECT_EQ(events.activations, std::vector<std::string>{"sheet:Sheet2"});
    auto other = app->Workbooks().Add();
    EXPECT_EQ(events.activations.back(), "book:" + other->Name());
    user->activate(book);
    EXPECT_EQ(events.activations.back(), "book:" + book->Name());
    EXPECT_EQ(app->ActiveSheet()->Name(), "Sheet2");
    app->SetEnableEvents(false);
    user->activate(sheet);
    EXPECT_EQ(events.activations.size(), 3u);
}

TEST_F(SheetsTest, SaveGoesThroughBeforeSaveAndTheRegisteredSaver) {
    std::vector<std::pair<std::string, int>> written;
    app->registerSaver(host::xl::OpenXMLWorkbook, [&](const host::Workbook&, const platform::WorkbookModel& m,
                                                      const std::string& path, int format) {
        written.push_back({path, format});
        EXPECT_EQ(m.sheets().size(), 2u);
    });
    cell("A1")->SetValue(1);
    EXPECT_FALSE(book->Saved());

    events.cancelSave = true;
    ui.saveAsNames = {Variant("/tmp/out.xlsx")};
    EXPECT_FALSE(user->save(book));
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(ui.saveAsNames.size(), 1u);  // the dialog never came up

    events.cancelSave = false;
    EXPECT_TRUE(user->save(book));
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], (std::pair<std::string, int>{"/tmp/out.xlsx", 51}));
    EXPECT_EQ(book->Name(), "out.xlsx");
    EXPECT_EQ(book->FullName(), "/tmp/out.xlsx");
    EXPECT_TRUE(book->Saved());

    // A format nobody registered is a clear refusal, and the workbook stays unsaved.
    cell("A1")->SetValue(2);
    app->SetEnableEvents(false);
    try {
        book->SaveAs("/tmp/out.csv", host::xl::CSV);
        FAIL() << "saved without a saver";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::HostRefusal);
        EXPECT_NE(e.description().find("cannot save in this format"), std::string::npos);
    }
    EXPECT_FALSE(book->Saved());
}

TEST_F(SheetsTest, SaveAsRaisesTheEventOnceBeforeItsDialogAndWritesTheChosenFormat) {
    std::vector<std::pair<std::string, int>> written;
    app->registerSaver(host::xl::CSV, [&](const host::Workbook&, const platform::WorkbookModel&,
                                          const std::string& path, int format) { written.push_back({path, format}); });
    // A handler that takes the save over: no dialog, nothing written, and no error.
    events.cancelSave = true;
    ui.saveAsNames = {Variant("/tmp/taken-over.csv")};
    EXPECT_FALSE(user->saveAs(book));
    EXPECT_EQ(events.saves, 1);
    EXPECT_TRUE(events.lastSaveAsUI);
    EXPECT_EQ(ui.saveAsNames.size(), 1u);
    EXPECT_TRUE(written.empty());
    // Otherwise the host's dialog; the extension chooses the format, and the
    // event is not raised a second time by the save itself.
    events.cancelSave = false;
    EXPECT_TRUE(user->saveAs(book));
    EXPECT_EQ(events.saves, 2);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], (std::pair<std::string, int>{"/tmp/taken-over.csv", host::xl::CSV}));
    EXPECT_EQ(book->Name(), "taken-over.csv");
    // Cancelling the dialog saves nothing.
    EXPECT_FALSE(user->saveAs(book));
    EXPECT_EQ(written.size(), 1u);
    EXPECT_TRUE(app->EnableEvents());
}

TEST_F(SheetsTest, CloseAsksAndCanBeCancelled) {
    cell("A1")->SetValue(1);
    events.cancelClose = true;
    EXPECT_FALSE(user->close(book));
    EXPECT_EQ(events.closes, 1);
    events.cancelClose = false;
    ui.answers = {host::answer::Cancel};
    EXPECT_FALSE(user->close(book));  // the person cancelled the save question
    ui.answers = {host::answer::No};
    EXPECT_TRUE(user->close(book));
    EXPECT_EQ(app->Workbooks().Count(), 0);
    EXPECT_EQ(app->ActiveWorkbook(), nullptr);
    EXPECT_EQ(errorOf([&] { sheet->Name(); }), err::ObjectRequired);
}

TEST_F(SheetsTest, MacrosKeysAndActionControl) {
    int runs = 0;
    app->registerMacro("ThisWorkbook.WriteData", [&] { ++runs; });
    app->Run("ThisWorkbook.WriteData");
    app->Run("Dalvera.xla!ThisWorkbook.writedata");
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(errorOf([&] { app->Run("ThisWorkbook.Missing"); }), err::HostRefusal);

    app->OnKey("{F7}", "ThisWorkbook.WriteData");
    EXPECT_TRUE(user->pressKey("{f7}"));
    EXPECT_EQ(runs, 3);
    app->OnKey("{F7}", "");  // disabled
    EXPECT_FALSE(user->pressKey("{F7}"));
    app->OnKey("{F7}", Variant::missing());
    EXPECT_FALSE(user->pressKey("{F7}"));
    EXPECT_EQ(runs, 3);

    EXPECT_EQ(errorOf([&] { app->CommandBars(); }), err::HostRefusal);
    EXPECT_EQ(app->actionControl(), nullptr);
}

TEST_F(SheetsTest, ColourDialogSetsThePaletteEntry) {
    ui.colorToChoose = 0x123456;
    EXPECT_TRUE(app->ShowDialog(host::xl::DialogEditColor, {32, 200, 208, 212}));
    EXPECT_EQ(book->Colors(32), 0x123456);
    ui.colorToChoose = -1;
    EXPECT_FALSE(app->ShowDialog(host::xl::DialogEditColor, {32, 0, 0, 0}));
    EXPECT_EQ(book->Colors(32), 0x123456);
    EXPECT_EQ(errorOf([&] { app->ShowDialog(1, {}); }), err::HostRefusal);
    EXPECT_EQ(errorOf([&] { book->Colors(57); }), err::SubscriptOutOfRange);
}

}  // namespace dalvera::test
