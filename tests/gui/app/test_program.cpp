// The dalvera program as a newcomer meets it: the open dialog preset to the
// --database folder, and an unattended run that writes the window to a PNG.
#include <QFileDialog>
#include <QImage>
#include <QProcess>

#include "WindowFixture.h"

namespace dalvera::testing {
namespace {

TEST_F(WindowTest, TheOpenDialogStartsInTheFolderOfTheDatabaseGiven) {
    gui::DesktopUserInterface ui;
    ui.setDatabase(dir_ + "/sample.sqlite");
    QString shownFolder;
    ui.setAutoResponder([&](QWidget* dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(dialog)) shownFolder = files->directory().absolutePath();
        return false;  // cancelled
    });
    host::OpenFileRequest request;
    request.initialFolder = "/";
    request.filters = {{"Databases", "*.sqlite"}};
    EXPECT_EQ(ui.GetOpenFileName(request), "");
    EXPECT_EQ(shownFolder.toStdString(), dir_);
}

#ifdef DALVERA_PROGRAM
struct ProgramRun {
    int exitCode = -1;
    QString errors;
};

ProgramRun runProgram(const QStringList& args) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(DALVERA_PROGRAM, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "dalvera did not finish";
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

TEST_F(WindowTest, AnUnattendedRunWritesTheWindowAfterItsActions) {
    const QString registry = QString::fromStdString(dir_ + "/registry.reg");
    const QString shot = QString::fromStdString(dir_ + "/start.png");
    QStringList args{"--registry", registry, "--screenshot", shot};
    const std::string sample = sampleDatabase();
    const bool haveSample = !sample.empty();
    if (haveSample) {
        std::filesystem::copy_file(sample, dir_ + "/sample.sqlite");
        args << "--database" << QString::fromStdString(dir_ + "/sample.sqlite") << "--actions" << "click:Open database";
    }
    ProgramRun run = runProgram(args);
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
    QImage image(shot);
    ASSERT_FALSE(image.isNull()) << run.errors.toStdString();
    EXPECT_EQ(image.size(), QSize(1280, 800));
    // The first start's hint was answered rather than left open.
    EXPECT_TRUE(run.errors.contains("answered with OK")) << run.errors.toStdString();
    if (haveSample) {
        EXPECT_TRUE(run.errors.contains("open dialog")) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.contains(QString::fromStdString("answered with " + dir_ + "/sample.sqlite")))
            << run.errors.toStdString();
    }

    // An action that finds nothing to click fails the run, and says why.
    ProgramRun bad = runProgram({"--registry", registry, "--screenshot", shot, "--actions", "click:No such button"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.errors.contains("no control No such button")) << bad.errors.toStdString();
    EXPECT_EQ(runProgram({"--variant", "13"}).exitCode, 2);
}
#endif

}  // namespace
}  // namespace dalvera::testing

namespace dalvera::testing {
namespace {

// The newcomer's path through the ribbon: open the sample, click a table.
TEST_F(WindowTest, ATableOfTheSampleShowsWithItsFrozenTitlesAndFilterButtons) {
    const std::string sample = sampleDatabase();
    if (sample.empty()) GTEST_SKIP() << "the sample database was not built";
    const std::string db = dir_ + "/sample.sqlite";
    std::filesystem::copy_file(sample, db);
    auto& w = open(12);
    ui_.expectOpenFile(db);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    ASSERT_TRUE(w.perform("click:Open database"));
    ui_.verifyAllConsumed();
    QString why;
    ASSERT_TRUE(w.perform("click:Tables/Orders", &why)) << why.toStdString();
    settle();
    ui_.verifyAllConsumed();

    auto& g = grid();
    auto& model = g.sheetModel();
    ASSERT_NE(model.sheet(), nullptr);
    EXPECT_TRUE(w.sheetTabs().tabText(w.sheetTabs().currentIndex()).contains("Orders"));
    // The three orders of the sample under one title row, which stays put.
    EXPECT_FALSE(model.displayText(1, 1).isEmpty());
    for (int row = 2; row <= 4; ++row) EXPECT_FALSE(model.displayText(row, 1).isEmpty()) << row;
    EXPECT_TRUE(model.displayText(5, 1).isEmpty());
    EXPECT_TRUE(g.frozenView()->isVisible());
    EXPECT_TRUE(model.isFilterButton(1, 1));
    EXPECT_TRUE(w.commands().find("Tables")->Enabled());

    // The protected table sheet still lets its AutoFilter be used.
    const auto choices = g.filterChoices(1);
    ASSERT_GE(choices.size(), 2u);
    int matching = 0;
    for (int row = 2; row <= 4; ++row) matching += model.sheet()->value(row, 1).text() == choices[1].toStdString();
    ASSERT_TRUE(w.perform("filter:A=" + choices[1], &why)) << why.toStdString();
    settle();
    ui_.verifyAllConsumed();
    int visible = 0;
    for (int row = 2; row <= 4; ++row) visible += !g.isRowHidden(row - 1);
    EXPECT_EQ(visible, matching);
    ASSERT_TRUE(w.perform("filter:A="));
    settle();
    for (int row = 2; row <= 4; ++row) EXPECT_FALSE(g.isRowHidden(row - 1)) << row;
}

}  // namespace
}  // namespace dalvera::testing
