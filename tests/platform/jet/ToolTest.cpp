// The dalvera-db tool as a person runs it.
#include <cstdio>
#include <cstdlib>

#include "JetFixture.h"

namespace dalvera::jet::test {

class ToolTest : public JetFixture {
protected:
    // Runs the tool with a shell command line; returns its exit status and output.
    std::pair<int, std::string> tool(const std::string& args, const std::string& input = {}) {
        std::string cmd = std::string(DALVERA_DB_TOOL) + " " + args + " 2>&1";
        if (!input.empty()) cmd = "printf '%s\\n' '" + input + "' | " + cmd;
        FILE* p = ::popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        int rc = ::pclose(p);
        return {WEXITSTATUS(rc), out};
    }
    std::string q(const std::string& s) { return "'" + s + "'"; }
};

TEST_F(ToolTest, CreateInfoAndSql) {
    writeBytes(file("s.sql"), "CREATE TABLE T (ID COUNTER PRIMARY KEY, Name TEXT(20), Price CURRENCY);\n"
                              "PROPERTY [T].[Name] Caption = 'Name, shown';\n"
                              "INSERT INTO T (Name, Price) VALUES ('a \"b\"', 2.5);\n"
                              "QUERY [ByName] AS PARAMETERS [N] Text(20); SELECT * FROM T WHERE Name = [N];");
    auto [rc, out] = tool("create " + q(file("t.sqlite")) + " " + q(file("s.sql")));
    EXPECT_EQ(rc, 0) << out;
    std::tie(rc, out) = tool("info " + q(file("t.sqlite")));
    EXPECT_EQ(rc, 0);
    EXPECT_NE(out.find("Field Name: Text (DAO 10, ADO 202), size 20"), std::string::npos) << out;
    EXPECT_NE(out.find("Caption = \"Name, shown\""), std::string::npos);
    EXPECT_NE(out.find("Parameter N: Text (DAO 10), direction 1"), std::string::npos);
    std::tie(rc, out) = tool("sql " + q(file("t.sqlite")) + " 'SELECT Name, Price FROM T'");
    EXPECT_EQ(out, "Name,Price\n\"a \"\"b\"\"\",2.5\n");
    std::tie(rc, out) = tool("sql " + q(file("t.sqlite")) + " 'UPDATE T SET Price = 3'");
    EXPECT_EQ(out, "1 record affected\n");
}

TEST_F(ToolTest, FailuresExitNonZeroWithTheEngineNumberAndLeaveNoFile) {
    writeBytes(file("bad.sql"), "CREATE TABLE T (A LONG);\nINSERT INTO Nope VALUES (1);");
    auto [rc, out] = tool("create " + q(file("t.sqlite")) + " " + q(file("bad.sql")));
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("error 3078"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(file("t.sqlite")));
    EXPECT_EQ(std::filesystem::directory_iterator(dir) != std::filesystem::directory_iterator(), true);
    for (const auto& e : std::filesystem::directory_iterator(dir)) EXPECT_EQ(e.path().extension(), ".sql");
    std::tie(rc, out) = tool("info " + q(file("bad.sql")));
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("error 3343"), std::string::npos);
}

TEST_F(ToolTest, PasswordAsksForTheOldOneOnStandardInput) {
    writeBytes(file("s.sql"), "CREATE TABLE T (A LONG)");
    tool("create " + q(file("t.sqlite")) + " " + q(file("s.sql")));
    EXPECT_EQ(tool("password " + q(file("t.sqlite")) + " first").first, 0);
    auto [rc, out] = tool("info " + q(file("t.sqlite")));
    EXPECT_EQ(rc, 1);
    EXPECT_NE(out.find("error 3031: Not a valid password."), std::string::npos);
    EXPECT_EQ(tool("password " + q(file("t.sqlite")) + " second", "wrong").first, 1);
    EXPECT_EQ(tool("password " + q(file("t.sqlite")) + " second", "first").first, 0);
    EXPECT_EQ(tool("info " + q(file("t.sqlite")) + " --password second").first, 0);
    EXPECT_EQ(tool("password " + q(file("t.sqlite")), "second").first, 0);
    EXPECT_EQ(tool("info " + q(file("t.sqlite"))).first, 0);
}

TEST_F(ToolTest, WorkgroupAndSecure) {
    writeBytes(file("s.sql"), "CREATE TABLE T (A LONG)");
    tool("create " + q(file("t.sqlite")) + " " + q(file("s.sql")));
    EXPECT_EQ(tool("workgroup " + q(file("w.mdw")) + " Ann pw").first, 0);
    std::string logon = " --systemdb " + q(file("w.mdw")) + " --user Ann --logon ";
    EXPECT_EQ(tool("secure " + q(file("t.sqlite")) + " Ann").first, 1);
    EXPECT_EQ(tool("secure " + q(file("t.sqlite")) + " Ann" + logon + "pw").first, 0);
    EXPECT_NE(tool("info " + q(file("t.sqlite"))).second.find("error 3033"), std::string::npos);
    EXPECT_EQ(tool("sql " + q(file("t.sqlite")) + " 'SELECT count(*) AS n FROM T'" + logon + "pw").second, "n\n0\n");
    EXPECT_NE(tool("info " + q(file("t.sqlite")) + logon + "no").second.find("error 3029"), std::string::npos);
}

}  // namespace dalvera::jet::test
