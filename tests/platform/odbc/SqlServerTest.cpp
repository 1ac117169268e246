// The same ADO layer against MS SQL Server through FreeTDS; runs only when
// DALVERA_MSSQL holds a connection string (a database the test may write in).
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/odbc/Odbc.h"

namespace dalvera {
namespace {

namespace ado = host::ado;

class SqlServer : public ::testing::Test {
protected:
    void SetUp() override {
        const char* text = std::getenv("DALVERA_MSSQL");
        if (!text || !*text) GTEST_SKIP() << "DALVERA_MSSQL names no MS SQL Server";
        c = odbc::adoProvider()->NewConnection();
        c->Open(text);
        long n = 0;
        c->Execute("IF OBJECT_ID('dbo.dalvera_probe', 'P') IS NOT NULL DROP PROCEDURE dbo.dalvera_probe", n);
        c->Execute("CREATE PROCEDURE dbo.dalvera_probe @a int, @factor int = 2, @b int OUTPUT AS SET @b = @a * @factor", n);
    }
    void TearDown() override {
        if (!c || c->State() != ado::state::Open) return;
        long n = 0;
        c->Execute("DROP PROCEDURE dbo.dalvera_probe", n);
        c->Close();
    }
    std::shared_ptr<ado::Connection> c;
};

TEST_F(SqlServer, TypesTransactionsAndDiagnostics) {
    EXPECT_EQ(odbc::serverOf(c->DbmsName()), odbc::Server::SqlServer);
    long n = 0;
    c->Execute("CREATE TABLE #t (id int PRIMARY KEY, name nvarchar(20), flag bit, amount money, at datetime2)", n);
    c->BeginTrans();
    c->Execute("INSERT INTO #t VALUES (1, N'Zoë', 1, 12.3456, '2024-04-01T10:15:00')", n);
    EXPECT_EQ(n, 1);
    c->CommitTrans();
    auto rs = c->Execute("SELECT * FROM #t");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields().Item("name")->Value().text(), "Zoë");
    EXPECT_EQ(rs->Fields().Item("flag")->Type(), ado::type::Boolean);
    EXPECT_EQ(rs->Fields().Item("amount")->Type(), ado::type::Currency);
    EXPECT_TRUE(rs->Fields().Item("at")->Value().isDate());
    EXPECT_THROW(c->Execute("SELECT * FROM no_such_table"), Error);
    EXPECT_EQ(c->SqlState(), "42S02");
}

TEST_F(SqlServer, ProcedureWithASkippedArgumentAndAnOutputParameter) {
    auto cmd = odbc::adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::StoredProc);
    cmd->CommandText("`dbo.dalvera_probe`");
    cmd->Parameters().Append(cmd->CreateParameter("@a", ado::type::Integer, ado::direction::Input, 2, Variant("21")));
    cmd->Parameters().Append(cmd->CreateParameter("@b", ado::type::Integer, ado::direction::InputOutput, 0, Variant()));
    long n = 0;
    cmd->Execute(n);
    EXPECT_EQ(cmd->Parameters().Item("@b")->Value().toLong(), 42);
}

}  // namespace
}  // namespace dalvera
