#pragma once
// An application with one workbook of two sheets, a recording UI and an event log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeUserInterface.h"
#include "platform/sheets/Embedded.h"
#include "runtime/Error.h"

namespace dalvera::test {

struct EventLog : host::ApplicationEvents {
    std::vector<std::string> changes;  // "Sheet!Address"
    std::vector<std::string> activations;
    bool cancelSave = false, cancelClose = false, lastSaveAsUI = false;
    int saves = 0, closes = 0;
    void SheetChange(const host::WorksheetPtr& sheet, const host::RangePtr& target) override {
        changes.push_back(sheet->Name() + "!" + target->Address(false, false));
    }
    void SheetActivate(const host::WorksheetPtr& sheet) override { activations.push_back("sheet:" + sheet->Name()); }
    void WorkbookActivate(const host::WorkbookPtr& wb) override { activations.push_back("book:" + wb->Name()); }
    void WorkbookBeforeSave(const host::WorkbookPtr&, bool saveAsUI, bool& cancel) override {
        ++saves;
        lastSaveAsUI = saveAsUI;
        cancel = cancelSave;
    }
    void WorkbookBeforeClose(const host::WorkbookPtr&, bool& cancel) override {
        ++closes;
        cancel = cancelClose;
    }
};

class SheetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = platform::createEmbeddedApplication();
        app->setCountryCode(1);
        app->setUserInterface(&ui);
        book = app->Workbooks().Add();
        book->Worksheets()->Add(nullptr, book->Worksheets()->Item(1));
        sheet = book->Worksheets()->Item(1);
        sheet->Activate();
        app->addEventSink(&events);
        user = std::make_unique<platform::UserOperations>(*app);
    }
    void TearDown() override { app->removeEventSink(&events); }

    host::RangePtr cell(const std::string& a) { return sheet->Range(a); }
    template <class F>
    long errorOf(F&& f) {
        try {
            f();
        } catch (const Error& e) {
            return e.number();
        }
        return 0;
    }

    FakeUserInterface ui;
    EventLog events;
    std::shared_ptr<platform::EmbeddedApplication> app;
    host::WorkbookPtr book;
    host::WorksheetPtr sheet;
    std::unique_ptr<platform::UserOperations> user;
};

}  // namespace dalvera::test
