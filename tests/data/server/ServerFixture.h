#pragma once
// The server variant (22) against a fresh copy of the sample database on the
// private PostgreSQL; what it writes is checked with psql.
#include <cstdlib>
#include <string>

#include "data/clsDSSQLServer.h"
#include "platform/odbc/PgServer.h"
#include "sheet/TableSheetFixture.h"

namespace dalvera::testing {

class ServerTest : public TableSheetTest {
protected:
    void SetUp() override {
        TableSheetTest::SetUp();
        if (!test::PgServer::get().available) GTEST_SKIP() << "the private PostgreSQL is not running";
        // A second copy of the program works on the first one's database.
        if (const char* shared = std::getenv("DALVERA_SECOND_COPY_DB")) {
            db_.name = shared;
            shared_ = true;
        } else {
            const std::string out = db_.create();
            ASSERT_EQ(out, "") << out;
        }
        clsDSSQLServer::SetLockTimeout(300);
    }
    void TearDown() override {
        clsDSSQLServer::SetLockTimeout(5000);
        TableSheetTest::TearDown();
        if (!shared_) db_.drop();
    }
    std::string psql(const std::string& sql) { return db_.psql(sql); }
    std::string connection() { return db_.connection(); }

    // Opens with a typed connection string and accepts the hint.
    void openServer(const std::string& text = {}) {
        startAddin(22);
        ui_.expectInput(Variant(text.empty() ? connection() : text));
        expectHint();
        clickOpenDatabase();
        ui_.clearShown();
    }
    // Fills the native dialog and clicks OK.
    void fillConnect(host::Form& f, const std::string& user, const std::string& password) {
        dalvera::testing::type(f, "txtServer", test::PgServer::get().socket);
        dalvera::testing::type(f, "txtPort", std::to_string(test::PgServer::get().port));
        dalvera::testing::type(f, "txtDatabase", db_.name);
        dalvera::testing::type(f, "txtUser", user);
        dalvera::testing::type(f, "txtPassword", password);
        click(f, "cmdOK");
    }
    void clickIn(const char* popupTag, const std::string& name) {
        auto popup = goApplication->Toolbar().FindControlByTag(popupTag);
        ASSERT_NE(popup, nullptr);
        auto controls = popup->Controls();
        for (long i = 1; i <= controls->Count(); ++i)
            if (controls->Item(i)->Parameter() == name) {
                session_->user().clickControl(controls->Item(i));
                return;
            }
        FAIL() << "no button for " << name;
    }
    bool press(const char* key) { return session_->user().pressKey(key); }
    std::string writeBack() {
        std::string text;
        expectHint(&text);
        EXPECT_TRUE(press("{F7}"));
        return text;
    }
    // The start of a catalogue text, up to its first argument or line break.
    static std::string firstLine(int16_t number) {
        const std::string text = GetMessage(number, Variant("\x01"), Variant("\x01"));
        return text.substr(0, std::min(text.find('\r'), text.find('\x01')));
    }
    // Row k of the table sheet whose column has this value.
    long rowOf(const std::string& column, const std::string& value) {
        for (long k = 1; k <= matrix().RowCount(); ++k)
            if (cell(column, k)->Value().text() == value) return k;
        return 0;
    }

    test::PgDatabase db_;
    bool shared_ = false;
};

}  // namespace dalvera::testing
