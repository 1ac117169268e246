// Unattended journeys: the answers a script queues meet the real Qt dialogs,
// and whole journeys run through the dalvera program itself.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>

#include "WindowFixture.h"
#include "gui/app/Journey.h"

namespace dalvera::testing {
namespace {

namespace mb = host::mb;
namespace answer = host::answer;

// A form with a name to type and OK and Cancel.
class NameForm : public host::Form {
public:
    NameForm() {
        caption = "Your name";
        controls.push_back(host::makeControl("lblText", host::ControlKind::Label, 10, 10, 200, 30));
        controls.back().caption = "Who are you?\rTell us.";
        controls.push_back(host::makeControl("txtName", host::ControlKind::TextBox, 10, 45, 150, 18));
        controls.push_back(host::makeControl("cmdOK", host::ControlKind::CommandButton, 10, 70, 60, 20));
        controls.back().caption = "OK";
        controls.push_back(host::makeControl("cmdCancel", host::ControlKind::CommandButton, 80, 70, 60, 20));
        controls.back().caption = "&Cancel";
    }
    std::string Name() const override { return "frmName"; }
    void Click(const std::string& name) override {
        if (name == "cmdOK" || name == "cmdCancel") {
            clicked = name;
            Hide();
        }
    }
    void Change(const std::string& name) override { changed = name; }
    std::string clicked, changed;
};

class JourneyTest : public WindowTest {
protected:
    gui::Journey& journey(bool lenient = false) {
        gui::Journey::Options o;
        o.lenient = lenient;
        journey_ = std::make_unique<gui::Journey>(o, [this](const QString& line) { log_ << line; });
        ui_qt.setAutoResponder(journey_->responder());
        return *journey_;
    }
    bool logged(const QString& line) const { return log_.contains(line); }
    gui::QtUserInterface ui_qt;
    std::unique_ptr<gui::Journey> journey_;
    QStringList log_;
};

TEST_F(JourneyTest, EachKindOfDialogTakesItsOwnAnswersInTheirOrder) {
    auto& j = journey();
    for (const char* a : {"answer:No", "input:SELECT 1;", "answer:yes", "input:", "cancel:input"})
        ASSERT_TRUE(j.queue(a)) << a;
    EXPECT_EQ(j.pending(), QStringList({"answer:No", "input:SELECT 1;", "answer:yes", "input:", "cancel:input"}));
    // The input box takes the first input, though a button answer was written before it.
    EXPECT_EQ(ui_qt.InputBox("Type a statement\rthen OK", "Dalvera", ""), "SELECT 1;");
    EXPECT_EQ(ui_qt.MsgBox("Sure?\rReally?", mb::YesNo | mb::Question, "Dalvera"), answer::No);
    EXPECT_EQ(ui_qt.MsgBox("Again?", mb::YesNo | mb::DefaultButton2, "Dalvera"), answer::Yes);
    EXPECT_EQ(ui_qt.ApplicationInputBox("Empty is fine", "", Variant::missing(), 2), Variant(std::string()));
    EXPECT_EQ(ui_qt.InputBox("Cancelled", "", "x"), "");
    EXPECT_TRUE(j.pending().isEmpty());
    EXPECT_TRUE(j.problems().isEmpty()) << j.problems().join("\n").toStdString();
    EXPECT_TRUE(logged("input box \"Type a statement / then OK\" answered with \"SELECT 1;\"")) << log_.join("\n").toStdString();
    EXPECT_TRUE(logged("message box \"Sure? / Really?\" [Yes/No] answered No")) << log_.join("\n").toStdString();
    EXPECT_TRUE(logged("input box \"Cancelled\" cancelled"));
}

TEST_F(JourneyTest, ADialogWithoutItsAnswerFailsAndGetsTheLeastHarmfulAnswer) {
    auto& j = journey();
    // Yes is the default; the way out is No.
    EXPECT_EQ(ui_qt.MsgBox("Delete 3 rows?", mb::YesNo, ""), answer::No);
    ASSERT_EQ(j.problems().size(), 1);
    EXPECT_EQ(j.problems()[0], "message box \"Delete 3 rows?\" [Yes/No]: no answer was queued");
    // An answer the box has no button for fails too, and is used up.
    ASSERT_TRUE(j.queue("answer:Retry"));
    EXPECT_EQ(ui_qt.MsgBox("Saved.", mb::OKOnly | mb::Information, ""), answer::OK);
    EXPECT_EQ(j.problems().size(), 2);
    EXPECT_TRUE(j.problems()[1].contains("has no button Retry")) << j.problems()[1].toStdString();
    EXPECT_TRUE(j.pending().isEmpty());
    EXPECT_EQ(ui_qt.InputBox("Name?", "", ""), "");
    EXPECT_EQ(ui_qt.GetSaveAsFilename("/tmp/x.csv", "CSV (*.csv),*.csv", 1, "Save As"), Variant(false));
    EXPECT_EQ(j.problems().size(), 4);
    // What is not an answer is refused as it is written.
    QString why;
    EXPECT_FALSE(j.queue("answer:Maybe", &why));
    EXPECT_TRUE(why.contains("Maybe"));
    EXPECT_FALSE(j.queue("cancel:box", &why));
    EXPECT_FALSE(j.queue("color:not a colour", &why));
    EXPECT_FALSE(j.queue("file:", &why));
    EXPECT_TRUE(j.pending().isEmpty());
}

TEST_F(JourneyTest, LenientRunsTakeDefaultsAndFormsAreAnsweredWithOKOrAsQueued) {
    auto& j = journey(true);
    EXPECT_EQ(ui_qt.MsgBox("Go on?", mb::YesNo | mb::DefaultButton2, ""), answer::No);
    EXPECT_EQ(ui_qt.MsgBox("Go on?", mb::YesNo, ""), answer::Yes);
    EXPECT_EQ(ui_qt.InputBox("Name?", "", "x"), "");
    EXPECT_TRUE(j.problems().isEmpty());

    NameForm notice;
    ui_qt.ShowForm(notice);
    EXPECT_EQ(notice.clicked, "cmdOK");
    EXPECT_TRUE(logged("form \"Your name\" \"Who are you? / Tell us.\" answered with OK")) << log_.join("\n").toStdString();
    NameForm typed;
    ASSERT_TRUE(j.queue("form:txtName=Anna Smit,Cancel"));
    ui_qt.ShowForm(typed);
    EXPECT_EQ(typed.control("txtName")->value.text(), "Anna Smit");
    EXPECT_EQ(typed.changed, "txtName");
    EXPECT_EQ(typed.clicked, "cmdCancel");
    // A step the form cannot take fails even a lenient run.
    NameForm wrong;
    ASSERT_TRUE(j.queue("form:txtAge=3"));
    ui_qt.ShowForm(wrong);
    EXPECT_FALSE(wrong.visible());
    ASSERT_EQ(j.problems().size(), 1);
    EXPECT_TRUE(j.problems()[0].contains("no text box txtAge")) << j.problems()[0].toStdString();
}

TEST_F(JourneyTest, SaveDialogsTakeThePathAddTheFormatsExtensionAndAskBeforeReplacing) {
    QTemporaryDir dir;
    auto& j = journey();
    const std::string filter = "Workbook (*.xlsx),*.xlsx,CSV (Comma delimited) (*.csv),*.csv";
    const QString proposal = dir.filePath("Dalvera Desk.xlsx");
    ASSERT_TRUE(j.queue("file:" + dir.filePath("orders")));
    EXPECT_EQ(ui_qt.GetSaveAsFilename(proposal.toStdString(), filter, 1, "Save As"),
              Variant(dir.filePath("orders.xlsx").toStdString()));
    EXPECT_TRUE(logged("save dialog \"Save As\" proposing \"" + proposal + "\" as \"Workbook (*.xlsx)\" answered with " +
                       dir.filePath("orders")))
        << log_.join("\n").toStdString();
    ASSERT_TRUE(j.queue("file:" + dir.filePath("orders.csv")));
    EXPECT_EQ(ui_qt.GetSaveAsFilename(proposal.toStdString(), filter, 1, "Save As"),
              Variant(dir.filePath("orders.csv").toStdString()));

    // A file that is there: No goes back to the dialog for another name.
    std::ofstream(dir.filePath("taken.csv").toStdString()) << "old";
    ui_qt.setReplaceQuestion([](const std::string& path) { return "Replace " + path + "?"; });
    for (const QString a : {"file:" + dir.filePath("taken.csv"), QString("answer:No"), "file:" + dir.filePath("free.csv")})
        ASSERT_TRUE(j.queue(a));
    EXPECT_EQ(ui_qt.GetSaveAsFilename(proposal.toStdString(), filter, 1, "Save As"),
              Variant(dir.filePath("free.csv").toStdString()));
    EXPECT_TRUE(logged("message box \"Replace " + dir.filePath("taken.csv") + "?\" [Yes/No] answered No"));
    ASSERT_TRUE(j.queue("file:" + dir.filePath("taken.csv")));
    ASSERT_TRUE(j.queue("answer:Yes"));
    EXPECT_EQ(ui_qt.GetSaveAsFilename(proposal.toStdString(), filter, 1, "Save As"),
              Variant(dir.filePath("taken.csv").toStdString()));
    // An open dialog is not given a file that is not there.
    ASSERT_TRUE(j.queue("file:" + dir.filePath("missing.sqlite")));
    host::OpenFileRequest request;
    request.filters = {{"Databases", "*.sqlite"}};
    EXPECT_EQ(ui_qt.GetOpenFileName(request), "");
    EXPECT_EQ(j.problems().size(), 1) << log_.join("\n").toStdString();
    EXPECT_TRUE(j.pending().isEmpty());
}

TEST_F(JourneyTest, ChoosingAnotherFormatChangesTheProposedExtension) {
    QTemporaryDir dir;
    QString shownName;
    ui_qt.setAutoResponder([&](QWidget* dialog) {
        auto* fd = qobject_cast<QFileDialog*>(dialog);
        fd->selectNameFilter("CSV (*.csv)");
        shownName = fd->findChild<QLineEdit*>("fileNameEdit")->text();
        QMetaObject::invokeMethod(fd, "accept");
        return true;
    });
    EXPECT_EQ(ui_qt.GetSaveAsFilename(dir.filePath("Dalvera Desk.xlsx").toStdString(),
                                      "Workbook (*.xlsx),*.xlsx,CSV (*.csv),*.csv", 1, "Save As"),
              Variant(dir.filePath("Dalvera Desk.csv").toStdString()));
    EXPECT_EQ(shownName, "Dalvera Desk.csv");
}

TEST_F(JourneyTest, OptionsTakeWholeActionsAndSemicolonsInThem) {
    gui::AppOptions o;
    QString error;
    ASSERT_TRUE(gui::AppOptions::parse({"--actions", "click:Execute SQL statement;input:SELECT 1;;;answer:Yes",
                                        "--action", "input:a;b", "--lenient", "--dialog-shots", "/tmp/shots"},
                                       o, error))
        << error.toStdString();
    EXPECT_EQ(o.actions, (QStringList{"click:Execute SQL statement", "input:SELECT 1;", "answer:Yes", "input:a;b"}));
    EXPECT_TRUE(o.lenient);
    EXPECT_EQ(o.dialogShots, "/tmp/shots");
    EXPECT_TRUE(o.unattended());
    EXPECT_FALSE(gui::AppOptions().unattended());
    EXPECT_TRUE(gui::Journey::isAnswer("cancel:file"));
    EXPECT_FALSE(gui::Journey::isAnswer("click:Answer"));
    EXPECT_EQ(gui::Journey::oneLine("One\r\nTwo\rThree\n\n"), "One / Two / Three");
}

#ifdef DALVERA_PROGRAM
struct ProgramRun {
    int exitCode = -1;
    QString errors;
};

class ProgramJourneyTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        const std::string sample = sampleDatabase();
        if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
        db_ = dir_ + "/sample.sqlite";
        std::filesystem::copy_file(sample, db_);
    }
    ProgramRun run(const QStringList& extra) {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", QString::fromStdString(dir_));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(dir_));
        QStringList args{"--registry", QString::fromStdString(dir_ + "/registry.reg"), "--database",
                         QString::fromStdString(db_)};
        p.start(DALVERA_PROGRAM, args + extra);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "dalvera did not finish";
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
    }
    static std::vector<std::string> lines(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (out.empty() && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // the UTF-8 mark
            if (!line.empty()) out.push_back(line);
        }
        return out;
    }
    std::string db_;
};

TEST_F(ProgramJourneyTest, ATypedJoinWithADateIsSavedAsCsvByTheProgram) {
    const QString sql =
        "SELECT c.CompanyName, o.OrderDate FROM Orders AS o INNER JOIN Customers AS c ON o.CustomerID = "
        "c.CustomerID WHERE o.OrderDate >= #2/1/2024# ORDER BY o.OrderDate";
    ProgramRun r = run({"--actions", "click:Open database;click:Execute SQL statement;input:" + sql +
                                  ";save:orders.csv;answer:Yes"});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    const auto csv = lines(dir_ + "/orders.csv");
    ASSERT_EQ(csv.size(), 3u) << "a title row and the two orders since February 2024";
    EXPECT_EQ(csv[0], "CompanyName,OrderDate");
    EXPECT_EQ(csv[1].rfind("Corner Caf", 0), 0u) << csv[1];
    EXPECT_EQ(csv[2].rfind("Harbour Foods,", 0), 0u) << csv[2];
    // Every dialog on one line of its own, with what it was answered.
    EXPECT_TRUE(r.errors.contains("input box \"" )) << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains("answered with \"" + sql + "\"")) << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains("message box \"" + QString::fromStdString(GetMessage(23)).replace('\r', " / ") +
                                  "\" [Yes/No] answered Yes"))
        << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains("save dialog")) << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains("the journey went as written")) << r.errors.toStdString();
}

TEST_F(ProgramJourneyTest, AnswersWrittenBeforeTheActionWorkToo) {
    ProgramRun r = run({"--action", "click:Open database", "--action", "input:SELECT CompanyName FROM Customers ORDER BY CustomerID;",
                 "--action", "click:Execute SQL statement", "--action", "answer:Yes", "--action", "key:F12",
                 "--action", "file:names.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    const auto txt = lines(dir_ + "/names.txt");
    ASSERT_EQ(txt.size(), 4u);
    EXPECT_EQ(txt[1], "Harbour Foods");
}

TEST_F(ProgramJourneyTest, AnswersBeforeTheFirstActionAreForTheStart) {
    // The older variant on a ribbon host says at start where its menu is.
    const QStringList older{"--variant", "11", "--host-version", "16.0", "--actions"};
    ProgramRun unanswered = run(older + QStringList{"click:Open database"});
    EXPECT_EQ(unanswered.exitCode, 1);
    EXPECT_TRUE(unanswered.errors.contains("no answer was queued")) << unanswered.errors.toStdString();
    EXPECT_FALSE(unanswered.errors.contains("open dialog")) << "the journey went on after its start failed";
    std::filesystem::remove(dir_ + "/registry.reg");  // a first start again
    ProgramRun answered = run(older + QStringList{"answer:No;click:Open database"});
    EXPECT_EQ(answered.exitCode, 0) << answered.errors.toStdString();
    EXPECT_TRUE(answered.errors.contains("open dialog")) << answered.errors.toStdString();
}

TEST_F(ProgramJourneyTest, WhatTheJourneyDidNotExpectFailsTheRun) {
    // The save's question has no answer.
    ProgramRun unanswered = run({"--actions", "click:Open database;click:Tables/Customers;key:F12"});
    EXPECT_EQ(unanswered.exitCode, 1);
    EXPECT_TRUE(unanswered.errors.contains("no answer was queued")) << unanswered.errors.toStdString();
    EXPECT_TRUE(unanswered.errors.contains("action \"key:F12\" failed")) << unanswered.errors.toStdString();
    // Lenient: the question gets its default, the dialog without a file is cancelled.
    ProgramRun lenient = run({"--lenient", "--actions", "click:Open database;click:Tables/Customers;key:F12"});
    EXPECT_EQ(lenient.exitCode, 0) << lenient.errors.toStdString();
    EXPECT_TRUE(lenient.errors.contains("answered Yes (its default)")) << lenient.errors.toStdString();
    // An answer nobody asked for.
    ProgramRun leftover = run({"--actions", "click:Open database;answer:Yes"});
    EXPECT_EQ(leftover.exitCode, 1);
    EXPECT_TRUE(leftover.errors.contains("never asked for: answer:Yes")) << leftover.errors.toStdString();
    // A save that could not be written is a failure, told as one.
    ProgramRun failed = run({"--actions", "click:Open database;save:no such folder/x.csv;answer:Yes"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.errors.contains("Unexpected error")) << failed.errors.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/no such folder/x.csv"));
}
#endif

}  // namespace
}  // namespace dalvera::testing
