// Table and field names holding dots, brackets, quotes and other signs, in
// every statement shape the table sheet writes and in DAO's metadata.
#include "JetFixture.h"

namespace dalvera::jet::test {
namespace ado = host::ado;

class NamesTest : public JetFixture {
protected:
    void SetUp() override {
        JetFixture::SetUp();
        db = CreateDatabase(file("names.sqlite"));
        db->Execute("CREATE TABLE [dot.ted] ([k] LONG PRIMARY KEY, [a.b] TEXT(10) NOT NULL, `c]d` SHORT, [e`f] DOUBLE, "
                    "[g'h] DATETIME, [i\"j] CURRENCY, [k!l] YESNO, [m n] MEMO, [Prïs €] SINGLE, [x, y] TEXT(5) UNIQUE)");
        db->Execute("CREATE TABLE `brack]et` ([it's] LONG PRIMARY KEY, [say \"hi\"] TEXT(20))");
        c = adoProvider()->NewConnection();
        c->Open("Dbq=" + file("names.sqlite"));
    }
    long run(const std::string& sql) {
        long n = -2;
        c->Execute(sql, n);
        return n;
    }
    std::shared_ptr<Database> db;
    std::shared_ptr<ado::Connection> c;
};

TEST_F(NamesTest, EveryStatementShapeTakesQuotedNames) {
    EXPECT_EQ(run("Insert Into [dot.ted] ([k], [a.b], `c]d`, [e`f], [g'h], [i\"j], [k!l], [m n], [Prïs €], [x, y]) "
                  "Values (1, 'one', 5, 0.30000000000000004, #2024-01-20 10:00:00#, 2.5, True, 'memo', 1.5, 'p')"),
              1);
    EXPECT_EQ(run("Insert Into [dot.ted] ([k], [a.b], `c]d`) Values (2, 'two', 6)"), 1);
    EXPECT_EQ(run("Insert Into [dot.ted] ([k], [a.b]) Values (3, 'one')"), 1);
    EXPECT_EQ(run("INSERT INTO `brack]et` ([it's], [say \"hi\"]) VALUES (1, 'hello')"), 1);
    // By a reader of its own.
    EXPECT_EQ(fileRows(file("names.sqlite"), "SELECT \"a.b\", \"c]d\", \"e`f\", \"g'h\", \"i\"\"j\", \"k!l\", \"Prïs €\" "
                                             "FROM \"dot.ted\" WHERE k = 1"),
              std::vector<std::string>{"text:one|int:5|real:0.30000000000000004|text:2024-01-20 10:00:00|real:2.5|int:-1|"
                                       "real:1.5"});
    EXPECT_EQ(fileValue(file("names.sqlite"), "SELECT \"say \"\"hi\"\"\" FROM \"brack]et\""), "text:hello");

    // A dot inside brackets belongs to the name; it is no qualifier.
    auto all = c->Execute("SELECT * FROM [dot.ted]");
    EXPECT_EQ(all->RecordCount(), 3);
    std::vector<std::string> names;
    for (long i = 0; i < all->Fields().Count(); ++i) names.push_back(all->Fields()(i)->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"k", "a.b", "c]d", "e`f", "g'h", "i\"j", "k!l", "m n", "Prïs €", "x, y"}));
    EXPECT_EQ(all->Fields()("c]d")->Type(), 2);
    auto distinct = c->Execute("SELECT DISTINCT [a.b] FROM [dot.ted] ORDER BY [a.b]");
    ASSERT_EQ(distinct->RecordCount(), 2);
    EXPECT_EQ(distinct->Fields()("a.b")->Value(), Variant("one"));
    EXPECT_EQ(c->Execute("SELECT [dot.ted].[a.b] FROM [dot.ted] WHERE `c]d` = 6")->Fields()(0)->Value(), Variant("two"));
    EXPECT_EQ(c->Execute("SELECT t.`c]d` FROM [dot.ted] AS t WHERE t.[k] = 2")->Fields()(0)->Value(), Variant::integer(6));

    EXPECT_EQ(run("Update [dot.ted] SET [a.b] = 'uno', `c]d` = `c]d` + 1, [i\"j] = 3 WHERE [k] = 1 AND [i\"j] = 2.5 "
                  "AND [e`f] = 0.30000000000000004 AND [g'h] = #2024-01-20 10:00:00#"),
              1);
    EXPECT_EQ(run("UPDATE `brack]et` SET [say \"hi\"] = 'bye' WHERE [it's] = 1"), 1);
    EXPECT_EQ(fileRows(file("names.sqlite"), "SELECT \"a.b\", \"c]d\", \"i\"\"j\" FROM \"dot.ted\" WHERE k = 1"),
              std::vector<std::string>{"text:uno|int:6|int:3"});
    EXPECT_EQ(run("DELETE FROM [dot.ted] WHERE [k] = 3 AND [g'h] IS NULL AND [m n] IS NULL"), 1);
    EXPECT_EQ(run("DELETE * FROM `brack]et` WHERE [say \"hi\"] = 'bye'"), 1);
    EXPECT_EQ(fileValue(file("names.sqlite"), "SELECT group_concat(k) FROM \"dot.ted\""), "text:1,2");
    EXPECT_EQ(fileValue(file("names.sqlite"), "SELECT count(*) FROM \"brack]et\""), "int:0");
    // A table opened by name through a command.
    auto cmd = adoProvider()->NewCommand();
    cmd->ActiveConnection(c);
    cmd->CommandType(ado::command::Table);
    cmd->CommandText("brack]et");
    long n = 0;
    EXPECT_EQ(cmd->Execute(n)->RecordCount(), 0);
}

TEST_F(NamesTest, ErrorTextsNameTheFieldsWhole) {
    run("INSERT INTO [dot.ted] ([k], [a.b], [x, y]) VALUES (1, 'one', 'p')");
    auto fails = [&](const std::string& sql) {
        auto e = errorOf([&] { c->Execute(sql); });
        EXPECT_EQ(e.number(), ado::ProviderError) << sql;
        return std::make_pair(lastEngineError(), e.description());
    };
    auto [n1, t1] = fails("UPDATE [dot.ted] SET `c]d` = 99999");
    EXPECT_EQ(n1, 3349);
    EXPECT_NE(t1.find("the field 'c]d' of table 'dot.ted'"), std::string::npos) << t1;
    auto [n2, t2] = fails("INSERT INTO [dot.ted] ([k]) VALUES (2)");
    EXPECT_EQ(n2, 3314);
    EXPECT_NE(t2.find("The field dot.ted.a.b cannot"), std::string::npos) << t2;
    auto [n3, t3] = fails("UPDATE [dot.ted] SET [a.b] = 'far too long for it'");
    EXPECT_EQ(n3, 3163);
    EXPECT_NE(t3.find("The field dot.ted.a.b is too small"), std::string::npos) << t3;
    auto [n4, t4] = fails("INSERT INTO [dot.ted] ([k], [a.b], [x, y]) VALUES (2, 'two', 'p')");
    EXPECT_EQ(n4, 3022);
    EXPECT_NE(t4.find("in the field dot.ted.x, y of the index"), std::string::npos) << t4;
    auto [n5, t5] = fails("UPDATE [dot.ted] SET [Prïs €] = 'cheap'");
    EXPECT_EQ(n5, 3464);
    EXPECT_NE(t5.find("the field 'Prïs €' of table 'dot.ted'"), std::string::npos) << t5;
    EXPECT_EQ(fileValue(file("names.sqlite"), "SELECT count(*) || \"a.b\" FROM \"dot.ted\""), "text:1one");
}

TEST_F(NamesTest, DaoListsTheNamesAndFindsTheirProperties) {
    db->SetProperty("dot.ted", "c]d", "Caption", Variant("C or D"));
    db->SetProperty("dot.ted", "g'h", "Format", Variant("Short Date"));
    db->SetProperty("brack]et", "", "Description", Variant("odd one"));
    auto tables = db->TableDefs();
    EXPECT_TRUE(tables.Exists("dot.ted"));
    EXPECT_TRUE(tables.Exists("brack]et"));
    auto t = db->TableDefs("dot.ted");
    std::vector<std::string> names;
    for (const auto& f : t->Fields()) names.push_back(f->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"k", "a.b", "c]d", "e`f", "g'h", "i\"j", "k!l", "m n", "Prïs €", "x, y"}));
    EXPECT_EQ(t->Fields("c]d")->Type(), host::dao::type::Integer);
    EXPECT_EQ(t->Fields("a.b")->Size(), 10);
    EXPECT_TRUE(t->Fields("a.b")->Required());
    EXPECT_EQ(t->Fields("Prïs €")->Type(), host::dao::type::Single);
    EXPECT_EQ(t->Fields("c]d")->Properties()("Caption")->Value(), Variant("C or D"));
    EXPECT_EQ(t->Fields("g'h")->Properties()("Format")->Value(), Variant("Short Date"));
    EXPECT_EQ(db->TableDefs("brack]et")->Properties()("Description")->Value(), Variant("odd one"));
    bool keyed = false;
    for (const auto& ix : db->TableDefs("brack]et")->Indexes())
        if (ix->Primary()) keyed = ix->Fields()(0)->Name() == "it's";
    EXPECT_TRUE(keyed);
    bool unique = false;
    for (const auto& ix : t->Indexes())
        if (ix->Unique() && !ix->Primary()) unique = ix->Fields()(0)->Name() == "x, y";
    EXPECT_TRUE(unique);
    // Dropping the table takes its properties with it.
    db->Execute("DROP TABLE `brack]et`");
    EXPECT_EQ(fileValue(file("names.sqlite"), "SELECT count(*) FROM dv_sys_properties WHERE object = 'brack]et'"), "int:0");
}

}  // namespace dalvera::jet::test
