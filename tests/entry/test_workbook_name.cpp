// The name of a new table workbook in the temporary folder.
#include "SessionFixture.h"

#include <fstream>
#include <set>

namespace dalvera::testing {

namespace {
// The local file system, except that some files are in use and cannot go.
class LockingFileSystem : public host::FileSystem {
public:
    explicit LockingFileSystem(host::FileSystem& real) : real_(real) {}
    std::set<std::string> inUse;
    bool FileExists(const std::string& p) override { return real_.FileExists(p); }
    bool FolderExists(const std::string& p) override { return real_.FolderExists(p); }
    std::string GetFileName(const std::string& p) override { return real_.GetFileName(p); }
    std::string GetExtensionName(const std::string& p) override { return real_.GetExtensionName(p); }
    std::string GetBaseName(const std::string& p) override { return real_.GetBaseName(p); }
    std::string GetParentFolderName(const std::string& p) override { return real_.GetParentFolderName(p); }
    std::string BuildPath(const std::string& p, const std::string& n) override { return real_.BuildPath(p, n); }
    void DeleteFile(const std::string& p) override {
        if (inUse.count(p)) raise(err::PermissionDenied, "Permission denied");
        real_.DeleteFile(p);
    }

private:
    host::FileSystem& real_;
};

void touch(const std::string& path) { std::ofstream(path) << "x"; }
}  // namespace

class WorkbookNameTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        start();
        openAddinAcceptingHint();
        fs_ = std::make_unique<LockingFileSystem>(*host::platform().fileSystem);
        host::platform().fileSystem = fs_.get();
    }
    std::string path(const std::string& suffix) { return temp_ + "/" + GetProductName() + suffix + ".xlsx"; }
    std::unique_ptr<LockingFileSystem> fs_;
};

TEST_F(WorkbookNameTest, AFreeNameIsUsedAndAnOldFileRemoved) {
    EXPECT_EQ(goApplication->GetWorkbookFileName(), path(""));
    touch(path(""));
    EXPECT_EQ(goApplication->GetWorkbookFileName(), path(""));
    EXPECT_FALSE(std::filesystem::exists(path("")));
}

TEST_F(WorkbookNameTest, FilesInUseAreSkippedFromTwoOn) {
    touch(path(""));
    touch(path("02"));
    touch(path("03"));
    fs_->inUse = {path(""), path("02")};
    EXPECT_EQ(goApplication->GetWorkbookFileName(), path("03"));
    EXPECT_FALSE(std::filesystem::exists(path("03")));  // deleted to make room
    EXPECT_TRUE(std::filesystem::exists(path("02")));
}

TEST_F(WorkbookNameTest, AnOpenWorkbookOfThatNameIsSkipped) {
    session_->app().registerSaver(host::xl::OpenXMLWorkbook,
                                  [](const host::Workbook&, const platform::WorkbookModel&, const std::string& p,
                                     int) { std::ofstream(p) << "x"; });
    auto book = session_->app().Workbooks().Add();
    book->SaveAs(path(""));
    std::filesystem::remove(path(""));
    EXPECT_EQ(goApplication->GetWorkbookFileName(), path("01"));
}

TEST_F(WorkbookNameTest, OlderVariantsUseTheOlderExtension) {
    session_.reset();
    SessionOptions o;
    o.variant = 11;
    o.hostVersion = "11.0";
    start(o);
    openAddinAcceptingHint();
    EXPECT_EQ(goApplication->GetWorkbookFileName(), temp_ + "/" + GetProductName() + ".xls");
    EXPECT_EQ(GetProductName(), "Dalvera Desk Classic");
}

}  // namespace dalvera::testing
