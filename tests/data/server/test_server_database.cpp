// The journeys of the server variant against the private PostgreSQL: open,
// show, edit and write back, run views, procedures and typed SQL, and what
// happens when the server, the logon or another user gets in the way.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "ServerFixture.h"
#include "host/Progress.h"
#include "runtime/DateSerial.h"
#include "sheet/clsField.h"
#include "support/CancelLoad.h"

namespace dalvera::testing {
namespace {

using Texts = std::vector<std::string>;
namespace xl = host::xl;

TEST_F(ServerTest, OpensThroughTheConnectionDialogAndListsTablesViewsAndProcedures) {
    startAddin(22);
    ui_.expectInput(Variant(std::string()));
    std::vector<std::string> drawn;
    ui_.expectForm("frmConnect", [&](host::Form& f) {
        EXPECT_EQ(f.caption, "Connect to MS SQL Server");
        EXPECT_FALSE(f.control("chkConnectTrusted")->enabled);  // the PostgreSQL driver has no integrated logon
        fillConnect(f, "dalvera", "not-kept-anywhere");
    });
    expectHint();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    const Shown* prompt = ui_.last(PromptKind::ApplicationInputBox);
    ASSERT_NE(prompt, nullptr);
    EXPECT_NE(prompt->text.find(GetMessage(208)), std::string::npos);

    auto& bar = goApplication->Toolbar();
    EXPECT_EQ(captions(bar, tag::Tables), (Texts{"categories", "customers", "order_lines", "orders", "price_history",
                                                 "products", "archive.orders_2019"}));
    EXPECT_EQ(captions(bar, tag::Views), (Texts{"customer_orders"}));
    EXPECT_EQ(captions(bar, tag::Queries), (Texts{"order_total", "orders_since", "raise_prices"}));
    const clsQuery& total = *goApplication->DataSource()->Queries().Item("order_total");
    ASSERT_EQ(total.Parameters().Count(), 3);
    EXPECT_EQ(total.Parameters().Item(3)->Direction(), host::ado::direction::Output);
    EXPECT_EQ(total.Parameters().Item(1)->ParameterType(), host::ado::type::SmallInt);
    EXPECT_EQ(goApplication->GetDbKindName(1), "PostgreSQL");

    // The server and database are remembered; the password is written nowhere.
    EXPECT_EQ(rawText("Last server"), test::PgServer::get().socket);
    EXPECT_EQ(rawText("Last database"), db_.name);
    std::ifstream registry(dir_ + "/registry.reg", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(registry)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all.find("not-kept-anywhere"), std::string::npos);
    EXPECT_EQ(goApplication->DataSource()->Connector().find("not-kept-anywhere"), std::string::npos);

    // The next time the dialog offers what was remembered.
    ui_.expectInput(Variant(std::string()));
    ui_.expectForm("frmConnect", [&](host::Form& f) {
        EXPECT_EQ(f.control("txtDatabase")->value.text(), db_.name);
        EXPECT_EQ(f.control("txtPassword")->value.text(), "");
        click(f, "cmdCancel");
    });
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    // Cancelled: the database opened before stays the current one.
    EXPECT_EQ(captions(bar, tag::Tables).size(), 7u);
}

TEST_F(ServerTest, ARefusedPasswordIsToldAndAskedAgainUntilItIsRight) {
    startAddin(22);
    ui_.expectInput(Variant(std::string()));
    ui_.expectForm("frmConnect", [&](host::Form& f) { fillConnect(f, "dalvera_secure", "wrong"); });
    ui_.expectMsgBox(host::answer::OK, firstLine(271), host::mb::Exclamation);
    ui_.expectForm("frmConnect", [&](host::Form& f) {
        // The name stays, the refused password does not.
        EXPECT_EQ(f.control("txtUser")->value.text(), "dalvera_secure");
        EXPECT_EQ(f.control("txtPassword")->value.text(), "");
        dalvera::testing::type(f, "txtPassword", "Geheim-2024");
        click(f, "cmdOK");
    });
    expectHint();
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    EXPECT_EQ(captions(goApplication->Toolbar(), tag::Tables).front(), "categories");
}

TEST_F(ServerTest, AServerThatIsNotThereIsToldInTheUsersLanguage) {
    SessionOptions o;
    startAddin(22);
    SetCountryCode(31);
    ui_.expectInput(Variant(std::string("Driver={PostgreSQL Unicode};Servername=/nonexistent;Port=1;Database=x;Uid=u")));
    ui_.expectMsgBox(host::answer::OK, std::string("Kan geen verbinding maken met de server"), host::mb::Exclamation);
    clickOpenDatabase();
    ui_.verifyAllConsumed();
    // And the dialog checks what it is given before anything is tried.
    ui_.expectInput(Variant(std::string()));
    ui_.expectForm("frmConnect", [&](host::Form& f) {
        dalvera::testing::type(f, "txtServer", "localhost");
        dalvera::testing::type(f, "txtDatabase", "x");
        dalvera::testing::type(f, "txtPort", "99999");
        click(f, "cmdOK");
        EXPECT_TRUE(f.visible());
        click(f, "cmdCancel");
    });
    ui_.expectMsgBox(host::answer::OK, firstLine(275), host::mb::Information);
    clickOpenDatabase();
    ui_.verifyAllConsumed();
}

TEST_F(ServerTest, ShowsATableWithKeysRulesListsAndDescriptions) {
    // A password typed into the connection text is used, and remembered nowhere.
    openServer(connection() + ";Pwd=typed-secret");
    EXPECT_NE(rawText("Last connection").find("Database=" + db_.name), std::string::npos);
    EXPECT_EQ(rawText("Last connection").find("typed-secret"), std::string::npos);
    EXPECT_EQ(goApplication->DataSource()->Connector().find("typed-secret"), std::string::npos);
    setSetting(setting::DisplayFieldDescription, "True");
    clickTable("products");
    ASSERT_EQ(matrix().RowCount(), 4);
    const clsField& id = *matrix().Fields().Item("product_id");
    EXPECT_TRUE(id.IsAutoIncr());
    EXPECT_TRUE(cell("product_id", 1)->Locked().toBool());
    EXPECT_FALSE(cell("product_name", 1)->Locked().toBool());
    EXPECT_EQ(goApplication->DataSource()->Table().PrimaryKeys().Item(1), "product_id");
    // The relation to categories becomes a list of its keys.
    auto rule = cell("category_id", 1)->Validation();
    EXPECT_EQ(rule->Type(), xl::ValidateList);
    auto flag = cell("discontinued", 1)->Validation();
    EXPECT_EQ(flag->Type(), xl::ValidateList);
    EXPECT_EQ(flag->Formula1(), "=lst_Boolean");
    auto comment = matrix().Fields().Item("product_name")->Cell()->Comment();
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->Text(), "Name as printed on invoices");
    EXPECT_EQ(cell("product_name", rowOf("product_name", "Gouda"))->Value().text(), "Gouda");
    EXPECT_TRUE(cell("added_on", 1)->Value().isDate());
    // A date column shows its day, not a midnight time; a timestamp keeps its time.
    clickTable("orders");
    EXPECT_EQ(cell("order_date", 1)->NumberFormat().text(), "d/m/yyyy");
    EXPECT_EQ(cell("shipped_date", 1)->NumberFormat().text(), "d/m/yyyy h:mm:ss");

    // A composite key, and a table of another schema.
    clickTable("order_lines");
    EXPECT_EQ(goApplication->DataSource()->Table().PrimaryKeys().Count(), 3);
    EXPECT_EQ(goApplication->DataSource()->Table().Relations().Count(), 3);
    clickTable("archive.orders_2019");
    EXPECT_EQ(cell("customer_name", 1)->Value().text(), "Alfreds Futterkiste");
    // Without a primary key the sheet is read-only, and the person is told so.
    std::string notice;
    expectHint(&notice);
    clickTable("price_history");
    EXPECT_EQ(notice, GetMessage(72, Variant("price_history")));
    EXPECT_TRUE(cell("old_price", 1)->Locked().toBool());
}

TEST_F(ServerTest, F7WritesEditsAndNewRowsInOneTransactionAndF8DeletesWhatIsSelected) {
    openServer();
    clickTable("customers");
    const long row = rowOf("company_name", "Bakkerij de Molen");
    ASSERT_GT(row, 0);
    EXPECT_EQ(type(cell("contact_name", row), "Jan O'Brien"), Result::Accepted);
    EXPECT_EQ(type(cell("credit_limit", row), "1250.75"), Result::Accepted);
    EXPECT_EQ(type(cell("is_active", row), "False"), Result::Accepted);
    // A new row: the serial key and the defaults are the server's.
    ASSERT_TRUE(press("{F6}"));
    const long added = matrix().RowCount();
    EXPECT_EQ(type(cell("company_name", added), "Zuivelhoeve"), Result::Accepted);
    EXPECT_EQ(cell("country", added)->Value().text(), "Netherlands");
    writeBack();
    EXPECT_EQ(psql("SELECT contact_name || '|' || credit_limit || '|' || is_active FROM customers WHERE customer_id = 2"),
              "Jan O'Brien|1250.75|false");
    EXPECT_EQ(psql("SELECT customer_id || '|' || country || '|' || is_active FROM customers WHERE company_name = 'Zuivelhoeve'"),
              "4|Netherlands|true");

    // F9 shows what the server holds; F8 deletes the selected row after asking.
    ASSERT_TRUE(press("{F9}"));
    const long zuivel = rowOf("company_name", "Zuivelhoeve");
    ASSERT_GT(zuivel, 0);
    EXPECT_EQ(cell("customer_id", zuivel)->Value().toLong(), 4);
    ASSERT_TRUE(session_->user().select(cell("company_name", zuivel)));
    ui_.expectMsgBox(host::answer::Yes);
    expectHint();
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(psql("SELECT count(*) FROM customers WHERE company_name = 'Zuivelhoeve'"), "0");
    EXPECT_EQ(psql("SELECT count(*) FROM customers"), "3");
}

TEST_F(ServerTest, ARowWhoseTimeHasMicrosecondsCanBeChangedAndDeleted) {
    // now() as a default stores microseconds; the row must still be found by what was loaded.
    EXPECT_EQ(psql("INSERT INTO products (product_name, added_on) VALUES ('Fresh', '2024-06-01 12:34:56.789123')"), "");
    openServer();
    clickTable("products");
    const long row = rowOf("product_name", "Fresh");
    ASSERT_GT(row, 0);
    EXPECT_EQ(type(cell("product_name", row), "Fresher"), Result::Accepted);
    std::string report;
    expectHint(&report);
    press("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(report, GetMessage(87));
    EXPECT_EQ(psql("SELECT product_name || '|' || added_on FROM products WHERE product_id = 5"),
              "Fresher|2024-06-01 12:34:56.789123");
    const long again = rowOf("product_name", "Fresher");
    ASSERT_TRUE(session_->user().select(cell("product_name", again)));
    ui_.expectMsgBox(host::answer::Yes);
    expectHint();
    ASSERT_TRUE(press("{F8}"));
    ui_.verifyAllConsumed();
    EXPECT_EQ(psql("SELECT count(*) FROM products WHERE product_id = 5"), "0");
}

TEST_F(ServerTest, AChangeByAnotherUserSinceTheLoadIsNotOverwrittenAndWhatWasTypedIsKept) {
    openServer();
    clickTable("customers");
    const long row = rowOf("company_name", "Alfreds Futterkiste");
    EXPECT_EQ(type(cell("contact_name", row), "Mine"), Result::Accepted);
    // The other user changes the same column of the same row and commits.
    EXPECT_EQ(psql("UPDATE customers SET contact_name = 'Theirs' WHERE customer_id = 1"), "");
    ui_.expectMsgBox(host::answer::OK, firstLine(219), host::mb::Exclamation);
    std::string report;
    expectHint(&report);
    press("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(report, GetMessage(86));
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 1"), "Theirs");
    EXPECT_EQ(cell("contact_name", row)->Value().text(), "Mine");
    EXPECT_EQ(form().RowChanged().at(static_cast<size_t>(row - 1)), "1");
}

// Run by the test below as the second copy of the program; skipped on its own.
TEST_F(ServerTest, SecondCopyWritesItsEdit) {
    const char* value = std::getenv("DALVERA_SECOND_COPY_VALUE");
    if (!shared_ || !value) GTEST_SKIP() << "only as the second copy of the program";
    openServer();
    clickTable("customers");
    ASSERT_EQ(type(cell("contact_name", rowOf("company_name", "Alfreds Futterkiste")), value), Result::Accepted);
    writeBack();
    ui_.verifyAllConsumed();
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 1"), value);
}

TEST_F(ServerTest, TwoCopiesOfTheProgramOnTheSameRowDoNotOverwriteEachOther) {
    openServer();
    clickTable("customers");
    const long row = rowOf("company_name", "Alfreds Futterkiste");
    EXPECT_EQ(type(cell("contact_name", row), "From the first"), Result::Accepted);
    // The second copy loads the same row after this one did, changes it and writes it.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string second = "DALVERA_SECOND_COPY_DB=" + db_.name + " DALVERA_SECOND_COPY_VALUE='From the second' '" +
                               self + "' --gtest_filter=ServerTest.SecondCopyWritesItsEdit > /dev/null 2>&1";
    ASSERT_EQ(std::system(second.c_str()), 0) << "the second copy failed";
    ASSERT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 1"), "From the second");
    // The first copy's F7 finds the row changed: it keeps its edit and overwrites nothing.
    ui_.expectMsgBox(host::answer::OK, firstLine(219), host::mb::Exclamation);
    expectHint();
    press("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 1"), "From the second");
    EXPECT_EQ(cell("contact_name", row)->Value().text(), "From the first");
    // F9 shows what the other wrote (after the question whether to drop the unwritten edit).
    ui_.expectMsgBox(host::answer::Yes);
    ASSERT_TRUE(press("{F9}"));
    EXPECT_EQ(cell("contact_name", rowOf("company_name", "Alfreds Futterkiste"))->Value().text(), "From the second");
}

TEST_F(ServerTest, ARowLockedByAnotherTransactionIsToldAndTheNextF7WritesIt) {
    openServer();
    clickTable("customers");
    const long first = rowOf("company_name", "Alfreds Futterkiste");
    const long locked = rowOf("company_name", "Bakkerij de Molen");
    EXPECT_EQ(type(cell("contact_name", first), "First"), Result::Accepted);
    EXPECT_EQ(type(cell("contact_name", locked), "Second"), Result::Accepted);
    // Another session holds the second row for a while.
    std::thread holder([&] { psql("BEGIN; UPDATE customers SET notes = notes WHERE customer_id = 2; SELECT pg_sleep(5); COMMIT;"); });
    // Once the holder sleeps its UPDATE has run, so the row is locked; merely active is too soon.
    // Only this database: the other lock test may hold a row of its own copy at the same time.
    for (int i = 0; i < 100; ++i) {
        if (psql("SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%pg_sleep(5)%' AND wait_event = 'PgSleep' AND datname = current_database() AND pid <> pg_backend_pid()") == "1")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ui_.expectMsgBox(host::answer::OK, firstLine(273), host::mb::Exclamation);
    std::string report;
    expectHint(&report);
    press("{F7}");
    EXPECT_EQ(report, GetMessage(87));
    ui_.verifyAllConsumed();
    // The row above the locked one is stored; the locked one is kept as typed.
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 1"), "First");
    EXPECT_EQ(cell("contact_name", locked)->Value().text(), "Second");
    EXPECT_EQ(form().RowChanged().at(static_cast<size_t>(locked - 1)), "1");
    holder.join();
    writeBack();
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 2"), "Second");
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id = 1"), "First");
}


// A small table is read before it is shown; a large one is shown as its rows
// arrive, so its cancel comes with part of it on the sheet already.
TEST_F(ServerTest, ACancelledTableIsToldAsCancelledLeavesItsEditUnwrittenAndShowsInFullAfter) {
    for (const long rows : {5000L, 20000L})
        psql("CREATE TABLE big" + std::to_string(rows) + " (id integer PRIMARY KEY, name varchar(20)); INSERT INTO big" +
             std::to_string(rows) + " SELECT i, 'Name ' || i FROM generate_series(1, " + std::to_string(rows) + ") i;");
    openServer();
    for (const long rows : {5000L, 20000L}) {
        SCOPED_TRACE(rows);
        const std::string table = "big" + std::to_string(rows);
        clickTable(table);
        ASSERT_EQ(matrix().RowCount(), rows);
        EXPECT_EQ(type(cell("name", 2), "Changed"), Result::Accepted);
        {
            test::CancelLoadAt cancel(rows > 10000 ? 4096 : 0);
            ui_.expectMsgBox(host::answer::Yes);  // the unwritten change is let go
            ui_.expectMsgBox(host::answer::OK, firstLine(290), host::mb::Information);
            clickTable(table);
            ui_.verifyAllConsumed();
            EXPECT_EQ(cancel.asked, rows > 10000 ? 4096 : 1024);
        }
        // Nothing is left behind to write or to act on, and nothing was written.
        EXPECT_FALSE(form().HasChanges());
        EXPECT_EQ(form().Matrix(), nullptr);
        EXPECT_TRUE(HostApp().ActiveSheet()->Cells(2, 2)->Value().isEmpty());
        EXPECT_EQ(psql("SELECT name FROM " + table + " WHERE id = 2"), "Name 2");
        clickTable(table);
        EXPECT_EQ(matrix().RowCount(), rows);
        EXPECT_EQ(cell("name", 1)->Value().text(), "Name 1");
        EXPECT_EQ(cell("name", rows)->Value().text(), "Name " + std::to_string(rows));
    }
}

// Typed SQL of a large result cancelled while its sheet fills leaves no half sheet behind.
TEST_F(ServerTest, ACancelledLargeResultLeavesNoHalfSheet) {
    psql("CREATE TABLE big (id integer PRIMARY KEY, name varchar(20)); "
         "INSERT INTO big SELECT i, 'Name ' || i FROM generate_series(1, 20000) i;");
    openServer();
    clickTable("customers");
    const long sheets = HostApp().ActiveWorkbook()->Worksheets()->Count();
    auto control = goApplication->Toolbar().FindControlByTag(tag::ExecuteSql);
    ASSERT_NE(control, nullptr);
    {
        test::CancelLoadAt cancel(4096);
        ui_.expectInput(Variant(std::string("SELECT * FROM big ORDER BY id")));
        ui_.expectMsgBox(host::answer::OK, firstLine(291), host::mb::Information);
        session_->user().clickControl(control);
        ui_.verifyAllConsumed();
        EXPECT_EQ(cancel.asked, 4096);
    }
    EXPECT_EQ(HostApp().ActiveWorkbook()->Worksheets()->Count(), sheets);
    // Asked again, all of it.
    ui_.expectInput(Variant(std::string("SELECT * FROM big ORDER BY id")));
    session_->user().clickControl(control);
    EXPECT_EQ(HostApp().ActiveWorkbook()->Worksheets()->Count(), sheets + 1);
    EXPECT_EQ(HostApp().ActiveSheet()->Cells(20001, 2)->Value().text(), "Name 20000");
}

TEST_F(ServerTest, DeletingARowAnotherTransactionHoldsIsToldAndDeletesNothing) {
    openServer();
    clickTable("orders");
    const long row = rowOf("order_no", "2");
    ASSERT_GT(row, 0);
    std::thread holder([&] { psql("BEGIN; UPDATE orders SET freight = freight WHERE order_no = 2; SELECT pg_sleep(5); COMMIT;"); });
    // Once the holder sleeps its UPDATE has run, so the row is locked; merely active is too soon.
    // Only this database: the other lock test may hold a row of its own copy at the same time.
    for (int i = 0; i < 100; ++i) {
        if (psql("SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%pg_sleep(5)%' AND wait_event = 'PgSleep' AND datname = current_database() AND pid <> pg_backend_pid()") == "1")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(session_->user().select(cell("freight", row)));
    ui_.expectMsgBox(host::answer::Yes);
    ui_.expectMsgBox(host::answer::OK, firstLine(278), host::mb::Exclamation);
    std::string report;
    expectHint(&report);
    press("{F8}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(report, GetMessage(79, Variant(0L)));
    holder.join();
    EXPECT_EQ(psql("SELECT count(*) FROM orders WHERE order_no = 2"), "1");
    EXPECT_EQ(rowOf("order_no", "2"), row);
}

TEST_F(ServerTest, AValueTheServerRefusesNamesItsRowAndLeavesTheRowsBelowUnwritten) {
    openServer();
    clickTable("customers");
    const long a = rowOf("company_name", "Alfreds Futterkiste");
    const long b = rowOf("company_name", "Bakkerij de Molen");
    const long c = rowOf("company_name", "Café Übersee");
    ASSERT_TRUE(a && b && c && a < b && b < c);
    EXPECT_EQ(type(cell("contact_name", a), "Written"), Result::Accepted);
    // A second company of the same name: the server's unique key refuses it.
    EXPECT_EQ(type(cell("company_name", b), "Alfreds Futterkiste"), Result::Accepted);
    EXPECT_EQ(type(cell("contact_name", c), "Not yet"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, std::string("Message PostgreSQL:"), host::mb::Information);
    std::string report;
    expectHint(&report);
    press("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_NE(ui_.last(PromptKind::MsgBox)->text.find("customers_company_name_key"), std::string::npos)
        << ui_.last(PromptKind::MsgBox)->text;
    EXPECT_EQ(psql("SELECT coalesce(contact_name, '-') FROM customers ORDER BY customer_id"), "Written\nJan de Vries\nZoë Müller");
    EXPECT_EQ(form().RowChanged().at(static_cast<size_t>(b - 1)), "1");
    EXPECT_EQ(form().RowChanged().at(static_cast<size_t>(c - 1)), "1");
    EXPECT_EQ(cell("contact_name", c)->Value().text(), "Not yet");
}

TEST_F(ServerTest, AConnectionDroppedDuringF7StoresNothingAndKeepsTheEdits) {
    openServer();
    clickTable("customers");
    // The server ends the session when this row is written.
    EXPECT_EQ(psql("CREATE FUNCTION drop_me() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                   "IF NEW.contact_name = 'Drop' THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF; "
                   "RETURN NEW; END $$; CREATE TRIGGER drop_me BEFORE UPDATE ON customers FOR EACH ROW EXECUTE FUNCTION drop_me();"),
              "");
    const long first = rowOf("company_name", "Alfreds Futterkiste");
    const long second = rowOf("company_name", "Bakkerij de Molen");
    EXPECT_EQ(type(cell("contact_name", first), "Kept"), Result::Accepted);
    EXPECT_EQ(type(cell("contact_name", second), "Drop"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, firstLine(221), host::mb::Exclamation);
    std::string report;
    expectHint(&report);
    press("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_EQ(report, GetMessage(86));
    EXPECT_NE(ui_.lastMessage().find(firstLine(277)), std::string::npos) << ui_.lastMessage();
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id IN (1, 2) ORDER BY customer_id"),
              "Maria Anders\nJan de Vries");
    EXPECT_EQ(cell("contact_name", first)->Value().text(), "Kept");
    EXPECT_EQ(cell("contact_name", second)->Value().text(), "Drop");
    // Without the trap the same F7 writes both.
    psql("DROP TRIGGER drop_me ON customers;");
    writeBack();
    EXPECT_EQ(psql("SELECT contact_name FROM customers WHERE customer_id IN (1, 2) ORDER BY customer_id"), "Kept\nDrop");
}

// A real full disk: the table lives in a tablespace on a small tmpfs that is
// then filled, so the server cannot extend the table's file for a new version.
TEST_F(ServerTest, F7OnAServerWhoseDiskIsFullReportsFailureAndStoresNothing) {
    if (shared_) GTEST_SKIP() << "only as the first copy of the program";
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs for a full disk needs root";
    const std::string dir = "/tmp/dalvera-full-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    if (std::system(("mount -t tmpfs -o size=512k tmpfs '" + dir + "' 2>/dev/null").c_str()) != 0) {
        std::filesystem::remove(dir);
        GTEST_SKIP() << "this machine does not allow mounting a tmpfs (no privilege in this container)";
    }
    const std::string space = "full_" + std::to_string(::getpid());
    struct Unmount {
        std::string database, dir, space;
        ~Unmount() {
            test::PgServer::get().psql(database, "DROP TABLE IF EXISTS packed;");
            test::PgServer::get().psql("postgres", "DROP TABLESPACE IF EXISTS " + space + ";");
            std::system(("umount '" + dir + "'").c_str());
            std::filesystem::remove(dir);
        }
    } unmount{db_.name, dir, space};
    ASSERT_EQ(std::system(("chown postgres '" + dir + "'").c_str()), 0);
    ASSERT_EQ(test::PgServer::get().psql("postgres", "CREATE TABLESPACE " + space + " LOCATION '" + dir + "';"), "");
    // Four rows of this width fill a page: a changed row needs a new one.
    ASSERT_EQ(psql("CREATE TABLE packed (id integer PRIMARY KEY, note varchar(2000)) TABLESPACE " + space +
                   "; INSERT INTO packed SELECT i, repeat('a', 1900) FROM generate_series(1, 40) i; CHECKPOINT;"),
              "");
    std::system(("dd if=/dev/zero of='" + dir + "/filler' bs=4k 2>/dev/null").c_str());
    ASSERT_LT(std::filesystem::space(dir).available, 8192u) << "the tmpfs did not fill";

    openServer();
    clickTable("packed");
    const long first = rowOf("id", "1");
    const long last = rowOf("id", "40");
    ASSERT_TRUE(first && last);
    const std::string changed(1900, 'b');
    EXPECT_EQ(type(cell("note", first), changed), Result::Accepted);
    EXPECT_EQ(type(cell("note", last), changed), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, std::string("Message PostgreSQL:"), host::mb::Information);
    std::string report;
    expectHint(&report);
    press("{F7}");
    ui_.verifyAllConsumed();
    EXPECT_NE(ui_.last(PromptKind::MsgBox)->text.find("No space left on device"), std::string::npos)
        << ui_.last(PromptKind::MsgBox)->text;
    EXPECT_NE(report, GetMessage(87));
    EXPECT_NE(report, GetMessage(88));
    EXPECT_EQ(psql("SELECT count(*) FROM packed WHERE note <> repeat('a', 1900)"), "0");
    // The edits wait in the sheet, flagged, for the next F7.
    EXPECT_EQ(form().RowChanged().at(static_cast<size_t>(first - 1)), "1");
    EXPECT_EQ(form().RowChanged().at(static_cast<size_t>(last - 1)), "1");
    EXPECT_EQ(cell("note", first)->Value().text(), changed);

    // Room again: the same F7 writes both.
    std::filesystem::remove(dir + "/filler");
    EXPECT_EQ(writeBack(), GetMessage(88));
    EXPECT_EQ(psql("SELECT id FROM packed WHERE note = repeat('b', 1900) ORDER BY id"), "1\n40");
}

TEST_F(ServerTest, RunsAViewAProcedureWithPromptsAndAFunctionWithASkippedParameter) {
    openServer();
    clickTable("customers");
    clickIn(tag::Views, "customer_orders");
    EXPECT_EQ(HostApp().ActiveSheet()->Name(), "View customer_orders");
    EXPECT_EQ(HostApp().ActiveSheet()->Cells(1, 1)->Value().text(), "company_name");
    EXPECT_EQ(HostApp().ActiveSheet()->Cells(4, 1)->Value().text(), "Alfreds Futterkiste");

    // The procedure asks before it runs, prompts its inputs with the skip hint,
    // reports, and shows its output parameter.
    ui_.expectMsgBox(host::answer::Yes, firstLine(47), host::mb::Question);
    ui_.expectInput(Variant(2024.0));
    ui_.expectInput(Variant(1.0));
    expectHint();
    ui_.expectMsgBox(host::answer::OK, std::string("Output parameter:\rName: p_total\r"), host::mb::Information);
    clickIn(tag::Queries, "order_total");
    ui_.verifyAllConsumed();
    const auto& inputs = ui_.shown();
    bool hinted = false;
    for (const auto& s : inputs)
        if (s.kind == PromptKind::ApplicationInputBox && s.text.find(GetMessage(54)) != std::string::npos) hinted = true;
    EXPECT_TRUE(hinted);
    EXPECT_NE(ui_.lastMessage().find("200"), std::string::npos) << ui_.lastMessage();

    // Cancel skips the country: the function's default applies and its rows are shown.
    ui_.expectInput(Variant(std::string("2024-04-02")));
    ui_.expectInputCancel();
    clickIn(tag::Queries, "orders_since");
    ui_.verifyAllConsumed();
    EXPECT_EQ(HostApp().ActiveSheet()->Name(), "SP orders_since");
    EXPECT_EQ(HostApp().ActiveSheet()->Cells(3, 2)->Value().toLong(), 3);
    EXPECT_TRUE(HostApp().ActiveSheet()->Cells(4, 1)->Value().isEmpty());
}

TEST_F(ServerTest, TypedSqlRunsInTheServersOwnDialect) {
    openServer();
    clickTable("customers");
    auto runSql = [&] {
        auto control = goApplication->Toolbar().FindControlByTag(tag::ExecuteSql);
        ASSERT_NE(control, nullptr);
        session_->user().clickControl(control);
    };
    ui_.expectInput(Variant(std::string("SELECT company_name, is_active FROM customers WHERE is_active = TRUE ORDER BY 1 LIMIT 1")));
    runSql();
    EXPECT_EQ(HostApp().ActiveSheet()->Cells(2, 1)->Value().text(), "Alfreds Futterkiste");
    EXPECT_EQ(HostApp().ActiveSheet()->Cells(3, 1)->Value().text(), "");
    ui_.expectInput(Variant(std::string("UPDATE products SET units_in_stock = 5 WHERE added_on < DATE '2024-02-01'")));
    ui_.expectMsgBox(host::answer::Yes, firstLine(48), host::mb::Question);
    std::string report;
    expectHint(&report);
    runSql();
    EXPECT_NE(report.find(GetMessage(37, Variant(2))), std::string::npos) << report;
    EXPECT_EQ(psql("SELECT string_agg(units_in_stock::text, ',' ORDER BY product_id) FROM products"), "5,5,13,0");
    // A large result is asked about before its rows are fetched: the count runs on the server.
    auto& ds = *goApplication->DataSource();
    auto counted = ds.GetRecordSet("SELECT Count(*) FROM (" + ds.FirstRows("SELECT * FROM customers", 2, "dv_rows") + ") AS dv_counted", false);
    EXPECT_EQ(counted->Fields()(0)->Value().toLong(), 2);
    ds.CloseRecordSet(counted);
    setSetting(setting::WarningNrOfCells, "1");
    ui_.expectInput(Variant(std::string("SELECT company_name FROM customers")));
    ui_.expectMsgBox(host::answer::No, firstLine(32), host::mb::Question);
    const int sheets = static_cast<int>(HostApp().ActiveWorkbook()->Worksheets()->Count());
    runSql();
    EXPECT_EQ(static_cast<int>(HostApp().ActiveWorkbook()->Worksheets()->Count()), sheets) << "declined: no result sheet";
    setSetting(setting::WarningNrOfCells, "100000");
    // A statement the server refuses is told with its kind and the statement.
    ui_.expectInput(Variant(std::string("SELECT * FROM nowhere")));
    ui_.expectMsgBox(host::answer::OK, std::string("Message PostgreSQL:"), host::mb::Information);
    runSql();
    EXPECT_NE(ui_.lastMessage().find("SQL: SELECT * FROM nowhere"), std::string::npos);
}

// --- the server dialect, no server needed ------------------------------------------

TEST(ServerDialect, DefaultsReadAsTheSheetsNewRowDefaults) {
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("'Netherlands'::character varying"), "\"Netherlands\"");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("'O''Brien'::text"), "\"O'Brien\"");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("((0))"), "0");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("(1000)::numeric(12,2)"), "1000");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("(getdate())"), "now()");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("now()"), "now()");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("CURRENT_DATE"), "date()");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("(newid())"), "newid");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("(N'Nederland')"), "\"Nederland\"");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("nextval('customers_customer_id_seq'::regclass)"), "");
    EXPECT_EQ(clsDSSQLServer::NormalizeDefault("(0) + (1)"), "(0) + (1)");  // not one pair of parentheses
}

TEST(ServerDialect, ConnectionTextsKeepThePasswordOut) {
    EXPECT_EQ(clsDSSQLServer::WithoutPassword("Driver={FreeTDS};Server=db1;PWD={se;cret}}x};Uid=ann;"),
              "Driver={FreeTDS};Server=db1;Uid=ann;");
    EXPECT_EQ(clsDSSQLServer::WithoutPassword("Sales"), "Sales");
    EXPECT_EQ(clsDSSQLServer::NativeConnectionString(true, "db1", "1433", "Shop", "ann", false),
              "Driver={FreeTDS};Server=db1;Port=1433;Database=Shop;Uid=ann;ClientCharset=UTF-8;");
    EXPECT_EQ(clsDSSQLServer::NativeConnectionString(true, "db1", "", "Shop;Test", "", true),
              "Driver={FreeTDS};Server=db1;Database={Shop;Test};Trusted_Connection=Yes;ClientCharset=UTF-8;");
    EXPECT_EQ(clsDSSQLServer::NativeConnectionString(false, "/run/pg", "5433", "shop", "ann", false),
              "Driver={PostgreSQL Unicode};Servername=/run/pg;Port=5433;Database=shop;Uid=ann;");
}

TEST(ServerDialect, EachServerGetsItsOwnNamesLiteralsAndDates) {
    clsDSSQLServer ms, pg;
    ms.SetConnection("Driver={FreeTDS};Server=db1;Database=Shop;");
    pg.SetConnection("Driver={PostgreSQL Unicode};Servername=db2;Database=shop;");
    EXPECT_EQ(ms.KindName(), "MS SQL Server");
    EXPECT_EQ(pg.KindName(), "PostgreSQL");
    EXPECT_EQ(ms.QuoteName("Order]Lines"), "[Order]]Lines]");
    EXPECT_EQ(pg.QuoteName("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(ms.BooleanLiteral(true) + ms.BooleanLiteral(false), "10");
    EXPECT_EQ(pg.BooleanLiteral(true) + pg.BooleanLiteral(false), "TRUEFALSE");
    // Unicode texts keep their characters on SQL Server only as national literals.
    EXPECT_EQ(ms.TextLiteralPrefix(), "N");
    EXPECT_EQ(pg.TextLiteralPrefix(), "");
    // A result is counted before it is fetched, in each server's way of limiting rows.
    EXPECT_EQ(ms.FirstRows("SELECT a FROM t", 5, "q"), "SELECT TOP 5 * FROM (SELECT a FROM t) AS q");
    EXPECT_EQ(pg.FirstRows("SELECT a FROM t", 5, "q"), "SELECT * FROM (SELECT a FROM t) AS q LIMIT 5");
    // ISO dates, with the T SQL Server needs to read them whatever its language, and milliseconds kept.
    const double at = dateSerial(2024, 4, 1, 10, 15, 0) + 250.0 / 86400000.0;
    EXPECT_EQ(ms.Convert2Date(Variant::date(at)), "'2024-04-01T10:15:00.25'");
    EXPECT_EQ(pg.Convert2Date(Variant::date(dateSerial(2024, 6, 1) + (45296e6 + 789123) / 86400e6)),
              "'2024-06-01 12:34:56.789123'");
    EXPECT_EQ(pg.Convert2Date(Variant::date(dateSerial(1899, 12, 29, 18, 0, 0))), "'1899-12-29 18:00:00'");
    EXPECT_EQ(pg.Convert2GUID("{a'b}"), "'{a''b}'");
    // A data source name alone reveals no driver: the server says what it is once connected.
    clsDSSQLServer dsn;
    dsn.SetConnection("Sales");
    EXPECT_EQ(dsn.KindName(), "");
}

TEST(ServerDialect, TypeNamesAndArgumentModesMapToAdoCodes) {
    clsDSSQLServer ds;
    EXPECT_EQ(ds.MapToTypeADO(Variant("integer")), 3);
    EXPECT_EQ(ds.MapToTypeADO(Variant("numeric(10,2)")), 131);
    EXPECT_EQ(ds.MapToTypeADO(Variant("timestamp without time zone")), 135);
    EXPECT_EQ(ds.MapToTypeADO(Variant("datetime2")), 135);
    EXPECT_EQ(ds.MapToTypeADO(Variant("time without time zone")), 134);
    EXPECT_EQ(ds.MapToTypeADO(Variant("bit")), 11);
    EXPECT_EQ(ds.MapToTypeADO(Variant("uniqueidentifier")), 72);
    EXPECT_EQ(ds.MapToTypeADO(Variant("character varying")), 202);
    EXPECT_EQ(ds.GetParameterDirectionTypeADO(Variant("o")), 2);
    EXPECT_EQ(ds.GetParameterDirectionTypeADO(Variant("b")), 3);
    EXPECT_EQ(ds.GetParameterDirectionTypeADO(Variant::longValue(4)), 0);
}

}  // namespace
}  // namespace dalvera::testing
