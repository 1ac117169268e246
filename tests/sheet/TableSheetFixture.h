#pragma once
// A session with a copy of the sample database open, and the ways a person
// reaches the table sheet: the table buttons and typing into cells.
#include <string>

#include "app/clsAux.h"
#include "data/DataFixture.h"
#include "sheet/clsForm.h"
#include "sheet/clsMatrix.h"

namespace dalvera::testing {

class TableSheetTest : public DataTest {
protected:
    using Result = platform::UserOperations::Result;

    // Starts the add-in and opens a copy of the sample database (or the given file).
    void openSample(const std::string& path = {}) {
        startAddin();
        openThroughDialog(path.empty() ? sampleCopy() : path);
        ui_.clearShown();
    }

    // Clicks the table's button in the toolbar's table list.
    void clickTable(const std::string& name) {
        auto popup = goApplication->Toolbar().FindControlByTag(tag::Tables);
        ASSERT_NE(popup, nullptr);
        auto controls = popup->Controls();
        for (long i = 1; i <= controls->Count(); ++i) {
            if (controls->Item(i)->Parameter() == name) {
                session_->user().clickControl(controls->Item(i));
                return;
            }
        }
        FAIL() << "no button for " << name;
    }

    clsForm& form() { return goApplication->Form(); }
    host::WorksheetPtr sheet() { return form().Sheet(); }
    clsMatrix& matrix() { return *form().Matrix(); }
    // The data cell of the named column in data row k.
    host::RangePtr cell(const std::string& column, long k) {
        return matrix().Fields().Item(column)->Cell()->Offset(k, 0);
    }
    Result type(const host::RangePtr& target, const std::string& text) {
        return session_->user().typeText(target, text);
    }
    void setSetting(const char* name, const std::string& value) {
        goApplication->Aux().WriteSetting(1, name, Variant(value));
    }
    // Runs a statement on the open database file, behind the add-in's back.
    void execute(const std::string& sql) {
        auto ds = goApplication->DataSource();
        ds->ConnectDAO();
        ds->DbDAO()->Execute(sql);
        ds->DisconnectDAO();
    }
};

}  // namespace dalvera::testing
