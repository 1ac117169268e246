// Database passwords, workgroup logons and secured databases.
#include "JetFixture.h"
#include "platform/jet/Security.h"

namespace dalvera::jet::test {
namespace ado = host::ado;

class SecurityTest : public JetFixture {
protected:
    std::shared_ptr<host::dao::Database> open(const std::string& connect) {
        return daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file("orders.sqlite"), false, false, connect);
    }
    std::shared_ptr<host::dao::Database> openWithWorkgroup(const std::string& user, const std::string& pw) {
        auto engine = daoProvider()->NewPrivateEngine();
        engine->SystemDB(file("team.mdw"));
        engine->DefaultUser(user);
        engine->DefaultPassword(pw);
        return engine->Workspaces(0)->OpenDatabase(file("orders.sqlite"));
    }
};

TEST_F(SecurityTest, DatabasePasswordIsCheckedAgainstAStoredVerifierOnly) {
    buildOrders()->NewPassword("", "s3cret;x");
    EXPECT_EQ(errorOf([&] { open(";pwd=wrong"); }).number(), 3031);
    auto e = errorOf([&] { open(""); });
    EXPECT_EQ(e.number(), 3031);
    EXPECT_EQ(e.description(), "Not a valid password.");
    // The password may hold a semicolon; the rest of the connect text is the password.
    EXPECT_EQ(open(";pwd=s3cret;x")->TableDefs("Orders")->Name(), "Orders");
    EXPECT_EQ(readBytes(file("orders.sqlite")).find("s3cret"), std::string::npos);

    auto c = adoProvider()->NewConnection();
    auto ae = errorOf([&] { c->Open("Driver={d};Dbq=" + file("orders.sqlite") + ";Uid=Admin;Pwd=nope;"); });
    EXPECT_EQ(ae.number(), ado::ProviderError);
    EXPECT_EQ(ae.description(), "[Microsoft][ODBC Microsoft Access Driver] Not a valid password.");
    c->Open("Driver={d};Dbq=" + file("orders.sqlite") + ";Uid=Admin;Pwd={s3cret;x};");
    EXPECT_EQ(c->State(), ado::state::Open);
}

TEST_F(SecurityTest, ChangingThePasswordNeedsTheOldOne) {
    buildOrders()->NewPassword("", "one");
    auto db = std::static_pointer_cast<Database>(open(";pwd=one"));
    EXPECT_EQ(errorOf([&] { db->NewPassword("wrong", "two"); }).number(), 3031);
    db->NewPassword("one", "");
    db->Close();
    EXPECT_NO_THROW(open(""));
}

TEST_F(SecurityTest, WorkgroupLogonAndSecuredDatabase) {
    addWorkgroupAccount(file("team.mdw"), "Bob", "pw-bob");
    addWorkgroupAccount(file("team.mdw"), "Eve", "pw-eve");
    buildOrders()->Close();
    EXPECT_EQ(errorOf([&] { std::static_pointer_cast<Database>(open(""))->SetSecuredAccounts({"bob"}); }).number(), 3033);
    std::static_pointer_cast<Database>(openWithWorkgroup("Bob", "pw-bob"))->SetSecuredAccounts({"bob"});

    EXPECT_EQ(errorOf([&] { openWithWorkgroup("Bob", "bad"); }).number(), 3029);
    auto unknown = errorOf([&] { openWithWorkgroup("Nobody", "x"); });
    EXPECT_EQ(unknown.number(), 3029);
    EXPECT_EQ(unknown.description(), "Not a valid account name or password.");
    EXPECT_EQ(openWithWorkgroup("BOB", "pw-bob")->TableDefs().Exists("Orders"), true);
    // A valid account that is not on the database's list, and no logon at all.
    EXPECT_EQ(errorOf([&] { openWithWorkgroup("Eve", "pw-eve"); }).number(), 3033);
    EXPECT_EQ(errorOf([&] { open(""); }).number(), 3033);
    // The same account name in another workgroup file does not open it.
    addWorkgroupAccount(file("other.mdw"), "Bob", "mine");
    auto other = daoProvider()->NewPrivateEngine();
    other->SystemDB(file("other.mdw"));
    other->DefaultUser("Bob");
    other->DefaultPassword("mine");
    EXPECT_EQ(errorOf([&] { other->Workspaces(0)->OpenDatabase(file("orders.sqlite")); }).number(), 3033);

    auto c = adoProvider()->NewConnection();
    c->Open("Driver={d};Dbq=" + file("orders.sqlite") + ";Uid=Bob;Pwd=pw-bob;SystemDB=" + file("team.mdw") + ";");
    EXPECT_EQ(c->State(), ado::state::Open);
    auto c2 = adoProvider()->NewConnection();
    EXPECT_EQ(errorOf([&] {
                  c2->Open("Driver={d};Dbq=" + file("orders.sqlite") + ";Uid=Bob;Pwd=x;SystemDB=" + file("team.mdw"));
              }).number(),
              ado::ProviderError);
    EXPECT_EQ(lastEngineError(), 3029);
}

TEST_F(SecurityTest, MissingOrForeignWorkgroupFileIsRefused) {
    buildOrders();
    auto engine = daoProvider()->NewPrivateEngine();
    engine->SystemDB(file("missing.mdw"));
    EXPECT_EQ(errorOf([&] { engine->Workspaces(0); }).number(), 3028);
    // An ordinary database is not a workgroup file and takes no accounts.
    EXPECT_EQ(errorOf([&] { addWorkgroupAccount(file("orders.sqlite"), "Bob", "x"); }).number(), 3028);
    engine->SystemDB(file("orders.sqlite"));
    EXPECT_EQ(errorOf([&] { engine->Workspaces(0); }).number(), 3028);
}

}  // namespace dalvera::jet::test
