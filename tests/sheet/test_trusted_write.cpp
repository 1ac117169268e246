// What a person types is what the database file holds: exact values, exact
// rows, and nothing reported as stored that was not, also when another program
// holds the file, changes the same records, or the write is cut short.
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "FileDb.h"
#include "TableSheetFixture.h"
#include "platform/jet/Session.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

using Texts = std::vector<std::string>;

// The start of a catalogue text, up to its first argument or line break: enough
// to know the box, whatever its arguments.
std::string firstLine(int16_t number) {
    const std::string text = GetMessage(number, Variant("\x01"), Variant("\x01"));
    return text.substr(0, std::min(text.find('\r'), text.find('\x01')));
}

class TrustedWriteTest : public TableSheetTest {
protected:
    void SetUp() override {
        TableSheetTest::SetUp();
        oldTimeout_ = jet::lockTimeout();
        jet::setLockTimeout(200);  // a lock held by another program is met quickly
    }
    void TearDown() override {
        jet::setLockTimeout(oldTimeout_);
        clsForm::SetReadyTimeout(30);
        TableSheetTest::TearDown();
    }
    void openCopy() {
        path_ = sampleCopy();
        openSample(path_);
    }
    // A database of our own, opened through the dialog.
    void openOwn(const std::string& name, const std::vector<std::string>& statements) {
        startAddin();
        makeDatabase(name, statements, &path_);
        openThroughDialog(path_);
        ui_.clearShown();
    }
    std::string file(const std::string& sql) { return FileDb(path_, true).value(sql); }
    Texts fileColumn(const std::string& sql) { return FileDb(path_, true).column(sql); }
    bool press(const char* key) { return session_->user().pressKey(key); }
    // F7 with its result notice; the notice's text is returned.
    std::string writeBack() {
        std::string text;
        expectHint(&text);
        EXPECT_TRUE(press("{F7}"));
        return text;
    }
    long editedColour() { return goApplication->Aux().SettingColor(setting::ColorMatrixBackEdited); }
    bool flagged(long row) { return form().RowChanged().at(static_cast<size_t>(row - 1)) == "1"; }
    bool painted(const std::string& column, long row) {
        return cell(column, row)->Interior()->Color().toLong() == editedColour();
    }
    std::string path_;
    int oldTimeout_ = 3000;
};

// --- a commit that fails ----------------------------------------------------------

TEST_F(TrustedWriteTest, ACommitRefusedByAReaderStoresNothingKeepsTheEditsAndTheNextF7WritesThem) {
    openCopy();
    clickTable("Products");
    ASSERT_EQ(type(cell("ProductName", 2), "Earl grey"), Result::Accepted);
    ASSERT_EQ(type(cell("ProductName", 3), "Rooibos"), Result::Accepted);

    FileDb reader(path_);
    reader.exec("BEGIN; SELECT COUNT(*) FROM Products;");  // a shared lock until COMMIT
    ui_.expectMsgBox(host::answer::OK, firstLine(221), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(86));
    ui_.verifyAllConsumed();
    reader.exec("COMMIT");

    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 2"), "Green tea");
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 3"), "Sourdough loaf");
    EXPECT_TRUE(flagged(2) && flagged(3));
    EXPECT_TRUE(painted("ProductName", 2) && painted("ProductName", 3));
    EXPECT_EQ(cell("ProductName", 2)->Value().text(), "Earl grey");
    EXPECT_TRUE(sheet()->ProtectContents());
    EXPECT_FALSE(std::filesystem::exists(path_ + "-journal"));

    // The lock is gone: the same F7 now writes both rows, once.
    EXPECT_EQ(writeBack(), GetMessage(88));
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 2"), "Earl grey");
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 3"), "Rooibos");
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products"), "4");
    EXPECT_FALSE(form().HasChanges());
}

// A small file system of its own, gone again whatever the test's outcome.
class SmallDisk {
public:
    SmallDisk(const std::string& folder, const std::string& options) : folder_(folder) {
        std::filesystem::create_directories(folder_);
        mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool remount(unsigned long flags, const std::string& options) {
        return mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | flags, options.c_str()) == 0;
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST_F(TrustedWriteTest, AFullDiskAtTheCommitStoresNothingAndTheEditsStay) {
    startAddin();
    const auto sampleSize = std::filesystem::file_size(DALVERA_SAMPLE_DATABASE);
    SmallDisk disk(dir_ + "/small", "size=" + std::to_string(sampleSize + 16 * 1024));
    if (!disk.mounted()) GTEST_SKIP() << "no small file system can be mounted here";
    path_ = dir_ + "/small/sample.sqlite";
    std::filesystem::copy_file(DALVERA_SAMPLE_DATABASE, path_);
    openThroughDialog(path_);
    clickTable("Categories");
    const std::string before = file("SELECT Description FROM Categories WHERE CategoryID = 1");
    const std::string text(30000, 'n');  // pages the disk has no room for
    ASSERT_EQ(session_->user().pasteBlock(cell("Description", 1), {{text}, {text}, {text}}), Result::Accepted);
    ASSERT_EQ(type(cell("CategoryName", 2), "Breads"), Result::Accepted);

    ui_.expectMsgBox(host::answer::OK, firstLine(221), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(86));
    ui_.verifyAllConsumed();
    EXPECT_TRUE(flagged(1) && flagged(2) && flagged(3));
    EXPECT_TRUE(painted("Description", 1) && painted("CategoryName", 2));
    {
        FileDb db(path_, true);
        EXPECT_EQ(db.value("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(db.value("SELECT CategoryName FROM Categories WHERE CategoryID = 2"), "Bakery");
        EXPECT_EQ(db.value("SELECT Description FROM Categories WHERE CategoryID = 1"), before);
    }
    // Room again: the second F7 writes what was kept.
    ASSERT_TRUE(disk.remount(0, "size=16m"));
    EXPECT_EQ(writeBack(), GetMessage(88));
    EXPECT_EQ(file("SELECT SUM(length(Description)) FROM Categories"), "90000");
    EXPECT_EQ(file("SELECT CategoryName FROM Categories WHERE CategoryID = 2"), "Breads");
    session_.reset();
}

// A write killed halfway leaves a sound file with all rows written or none.
TEST_F(TrustedWriteTest, AWriteKilledHalfwayLeavesAllOrNothing) {
    openOwn("many.sqlite", {"CREATE TABLE Items (ItemID LONG CONSTRAINT PK_Items PRIMARY KEY, Label TEXT(20))"});
    {
        FileDb db(path_);
        db.exec("BEGIN");
        for (int i = 1; i <= 10000; ++i)
            db.exec("INSERT INTO Items VALUES (" + std::to_string(i) + ", 'old " + std::to_string(i) + "')");
        db.exec("COMMIT");
    }
    clickTable("Items");
    ASSERT_EQ(matrix().RowCount(), 10000);
    std::vector<std::vector<std::string>> labels;
    for (int i = 1; i <= 10000; ++i) labels.push_back({"new " + std::to_string(i)});
    ASSERT_EQ(session_->user().pasteBlock(cell("Label", 1), labels), Result::Accepted);

    for (int delayMs : {0, 5, 20, 60, 150, 400}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            expectHint();
            session_->user().pressKey("{F7}");
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        FileDb db(path_);  // a hot journal is rolled back here
        EXPECT_EQ(db.value("PRAGMA integrity_check"), "ok") << delayMs;
        const std::string written = db.value("SELECT COUNT(*) FROM Items WHERE Label LIKE 'new %'");
        EXPECT_TRUE(written == "0" || written == "10000") << written << " rows after " << delayMs << " ms";
        EXPECT_EQ(db.value("SELECT COUNT(*) FROM Items"), "10000");
        if (written == "10000") db.exec("UPDATE Items SET Label = 'old ' || ItemID");
    }
}

// --- exact values -----------------------------------------------------------------

TEST_F(TrustedWriteTest, TextColumnsStoreExactlyWhatWasTypedOrPasted) {
    openCopy();
    clickTable("Customers");
    const Texts phones = {"0612345678", "+31612345678", "8712345678906"};
    for (size_t i = 0; i < phones.size(); ++i)
        ASSERT_EQ(type(cell("Phone", static_cast<long>(i) + 1), phones[i]), Result::Accepted) << phones[i];
    ASSERT_EQ(type(cell("InternalCode", 1), "007"), Result::Accepted);
    ASSERT_EQ(type(cell("InternalCode", 2), "1.50"), Result::Accepted);
    ASSERT_EQ(type(cell("InternalCode", 3), "2024-01-02"), Result::Accepted);
    ASSERT_EQ(session_->user().pasteBlock(cell("ContactName", 1), {{"'s-Hertogenbosch"}, {"12/31/1899"}, {"TRUE"}}),
              Result::Accepted);
    // Shown as typed, never as a number or ########, whatever the width.
    sheet()->Unprotect(clsAux::ProtectionPassword());
    cell("InternalCode", 3)->EntireColumn()->SetColumnWidth(2);
    sheet()->Protect(clsAux::ProtectionPassword());
    EXPECT_EQ(cell("InternalCode", 3)->Text(), "2024-01-02");
    EXPECT_EQ(writeBack(), GetMessage(88));

    FileDb db(path_, true);
    EXPECT_EQ(db.column("SELECT Phone FROM Customers WHERE CustomerID <= 3 ORDER BY CustomerID"), phones);
    EXPECT_EQ(db.column("SELECT InternalCode FROM Customers WHERE CustomerID <= 3 ORDER BY CustomerID"),
              (Texts{"007", "1.50", "2024-01-02"}));
    EXPECT_EQ(db.column("SELECT ContactName FROM Customers WHERE CustomerID <= 3 ORDER BY CustomerID"),
              (Texts{"'s-Hertogenbosch", "12/31/1899", "TRUE"}));
    EXPECT_EQ(db.value("SELECT typeof(Phone) FROM Customers WHERE CustomerID = 1"), "text");
}

TEST_F(TrustedWriteTest, NumbersAreWrittenFromTheirValueAtFullPrecisionAndNeverAsAnExpression) {
    openCopy();
    clickTable("Products");
    ASSERT_EQ(type(cell("Weight", 1), "1234567.123456789"), Result::Accepted);
    ASSERT_EQ(type(cell("UnitPrice", 2), "12.3456"), Result::Accepted);
    // A date in a number column is refused as it is typed, not stored as 0.
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(109), host::mb::Critical);
    EXPECT_EQ(type(cell("Weight", 3), "12/31/1899"), Result::Refused);
    EXPECT_EQ(writeBack(), GetMessage(88));
    ui_.verifyAllConsumed();
    EXPECT_EQ(file("SELECT Weight = 1234567.123456789 FROM Products WHERE ProductID = 1"), "1");
    EXPECT_EQ(file("SELECT UnitPrice FROM Products WHERE ProductID = 2"), "12.3456");
    EXPECT_EQ(file("SELECT Weight FROM Products WHERE ProductID = 3"), "0.8");

    // A cell that holds no number by other means is refused at F7, not written as text.
    sheet()->Unprotect(clsAux::ProtectionPassword());
    cell("Weight", 3)->SetValue(Variant::date(1));
    sheet()->Protect(clsAux::ProtectionPassword());
    form().RecordChange(cell("Weight", 3));
    ui_.expectMsgBox(host::answer::OK, firstLine(222), host::mb::Information);
    EXPECT_EQ(writeBack(), GetMessage(86));
    ui_.verifyAllConsumed();
    EXPECT_EQ(file("SELECT Weight FROM Products WHERE ProductID = 3"), "0.8");
    EXPECT_TRUE(flagged(3));
}

TEST_F(TrustedWriteTest, ValuesAColumnCannotHoldAreRefusedByTheEngineAndStoredOnesStillShow) {
    openCopy();
    // Whatever path a value comes by, the engine refuses what the column cannot hold.
    try {
        execute("UPDATE Products SET UnitsInStock = 99999 WHERE ProductID = 1");
        ADD_FAILURE() << "99999 was stored in a 16-bit column";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3349) << e.description();
    }
    EXPECT_EQ(file("SELECT UnitsInStock FROM Products WHERE ProductID = 1"), "120");
    // A file another tool filled with such values still shows them, as stored.
    FileDb(path_).exec("UPDATE Products SET UnitsInStock = 99999, ShelfNo = 300, UnitPrice = 1e20 WHERE ProductID = 1");
    clickTable("Products");
    ui_.verifyAllConsumed();
    EXPECT_EQ(cell("UnitsInStock", 1)->Value().toDouble(), 99999);
    EXPECT_EQ(cell("ShelfNo", 1)->Value().toDouble(), 300);
    EXPECT_EQ(cell("UnitPrice", 1)->Value().toDouble(), 1e20);
}

TEST_F(TrustedWriteTest, DatesAreReadInTheOrderTheSheetShowsThem) {
    openCopy();
    clickTable("Employees");
    ASSERT_EQ(cell("BirthDate", 1)->Text(), "4/5/1980");  // day first, as the sheet writes dates
    ASSERT_EQ(type(cell("BirthDate", 1), "5/3/1981"), Result::Accepted);
    ASSERT_EQ(type(cell("BirthDate", 2), "1992-11-07"), Result::Accepted);
    ui_.expectMsgBox(host::answer::Cancel, GetMessage(110), host::mb::Critical);
    EXPECT_EQ(type(cell("HireDate", 1), "31/2/2024"), Result::Refused);
    EXPECT_EQ(writeBack(), GetMessage(88));
    ui_.verifyAllConsumed();
    EXPECT_EQ(file("SELECT date(BirthDate) FROM Employees WHERE EmployeeID = 1"), "1981-03-05");
    EXPECT_EQ(file("SELECT date(BirthDate) FROM Employees WHERE EmployeeID = 2"), "1992-11-07");
}

TEST_F(TrustedWriteTest, OldDatesAndFractionsOfSecondsShowAndSurviveAWriteOfTheirRow) {
    openCopy();
    FileDb(path_).exec(
        "UPDATE Employees SET BirthDate = '1850-03-01 00:00:00', HireDate = '2024-01-20 10:00:00.250' "
        "WHERE EmployeeID = 1");
    clickTable("Employees");
    ui_.verifyAllConsumed();
    EXPECT_TRUE(cell("BirthDate", 1)->Value().isDate());
    EXPECT_EQ(cell("BirthDate", 1)->Text(), "1/3/1850");
    EXPECT_TRUE(cell("HireDate", 1)->Value().isDate());
    EXPECT_EQ(cell("HireDate", 1)->Text().find('#'), std::string::npos);
    ASSERT_EQ(type(cell("LastName", 1), "de Vries"), Result::Accepted);
    EXPECT_EQ(writeBack(), GetMessage(87));
    FileDb db(path_, true);
    EXPECT_EQ(db.value("SELECT LastName FROM Employees WHERE EmployeeID = 1"), "de Vries");
    EXPECT_EQ(db.value("SELECT BirthDate FROM Employees WHERE EmployeeID = 1"), "1850-03-01 00:00:00");
    EXPECT_EQ(db.value("SELECT HireDate FROM Employees WHERE EmployeeID = 1"), "2024-01-20 10:00:00.250");
}

// --- exact rows -------------------------------------------------------------------

TEST_F(TrustedWriteTest, KeysNameExactlyTheRowThatWasRead) {
    openOwn("keys.sqlite", {"CREATE TABLE Readings (Reading DOUBLE CONSTRAINT PK_Readings PRIMARY KEY, Label TEXT(20))",
                            "INSERT INTO Readings VALUES (0.3, 'a')",
                            "INSERT INTO Readings VALUES (0.30000000000000004, 'b')",
                            "INSERT INTO Readings VALUES (123456789.123456789, 'c')",
                            "INSERT INTO Readings VALUES (1e-300, 'd')"});
    clickTable("Readings");
    ASSERT_EQ(matrix().RowCount(), 4);
    ASSERT_EQ(cell("Label", 2)->Value().text(), "b");
    ASSERT_EQ(type(cell("Label", 2), "B"), Result::Accepted);
    ASSERT_EQ(type(cell("Label", 3), "C"), Result::Accepted);
    ASSERT_EQ(type(cell("Label", 4), "D"), Result::Accepted);
    EXPECT_EQ(writeBack(), GetMessage(88));
    ui_.verifyAllConsumed();
    EXPECT_EQ(fileColumn("SELECT Label FROM Readings ORDER BY Reading"), (Texts{"D", "a", "B", "C"}));

    // F8 deletes the very row selected, not its rounded neighbour.
    ASSERT_TRUE(session_->user().select(cell("Label", 2)));
    ui_.expectMsgBox(host::answer::Yes, GetMessage(76));
    std::string notice;
    expectHint(&notice);
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(notice, GetMessage(78));
    EXPECT_EQ(fileColumn("SELECT Label FROM Readings ORDER BY Reading"), (Texts{"D", "a", "C"}));
}

TEST_F(TrustedWriteTest, AChangeBySomeoneElseSinceTheLoadIsNeitherOverwrittenNorDeleted) {
    openCopy();
    clickTable("Products");
    // Another person changes two records after this sheet was loaded.
    FileDb other(path_);
    other.exec("UPDATE Products SET ProductName = 'Their tea' WHERE ProductID = 2");
    other.exec("UPDATE Products SET ProductName = 'Their bread', Weight = NULL WHERE ProductID = 3");
    ASSERT_EQ(type(cell("ProductName", 2), "Earl grey"), Result::Accepted);
    // A column they did not touch is still written: only what is written is compared.
    ASSERT_EQ(type(cell("UnitsInStock", 3), "7"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, GetMessage(219, Variant("3")), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(87));
    ui_.verifyAllConsumed();
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 2"), "Their tea");
    EXPECT_EQ(file("SELECT ProductName || '/' || UnitsInStock FROM Products WHERE ProductID = 3"), "Their bread/7");
    EXPECT_TRUE(flagged(2) && painted("ProductName", 2));
    EXPECT_FALSE(flagged(3) || painted("UnitsInStock", 3));

    // The row just written is known as it now is: a second change of it is no conflict.
    ASSERT_EQ(type(cell("UnitsInStock", 3), "8"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, GetMessage(219, Variant("3")), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(87));
    EXPECT_EQ(file("SELECT UnitsInStock FROM Products WHERE ProductID = 3"), "8");

    // F8 leaves a record changed since the load, and says so.
    other.exec("UPDATE Products SET Weight = 9 WHERE ProductID = 4");
    ASSERT_TRUE(session_->user().select(cell("ProductName", 4)));
    ui_.expectMsgBox(host::answer::Yes);
    ui_.expectMsgBox(host::answer::OK, firstLine(220), host::mb::Exclamation);
    expectHint();
    ASSERT_TRUE(press("{F8}"));
    ui_.verifyAllConsumed();
    EXPECT_EQ(file("SELECT COUNT(*) FROM Products WHERE ProductID = 4"), "1");

    // F9 shows the other person's version.
    ui_.expectMsgBox(host::answer::Yes, firstLine(21));
    ASSERT_TRUE(press("{F9}"));
    EXPECT_EQ(cell("ProductName", 2)->Value().text(), "Their tea");
    EXPECT_FALSE(form().HasChanges());
}

TEST_F(TrustedWriteTest, ARowInsertedByAWriteThatDidNotReloadIsUpdatedAndDeletedAfterwards) {
    openCopy();
    clickTable("Categories");
    const long loaded = matrix().RowCount();
    FileDb(path_).exec("UPDATE Categories SET CategoryName = 'Theirs' WHERE CategoryID = 1");
    ASSERT_EQ(type(cell("CategoryName", 1), "Mine"), Result::Accepted);  // will not be written
    ASSERT_TRUE(press("{F6}"));
    ASSERT_EQ(type(cell("CategoryName", loaded + 1), "Spices"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, GetMessage(219, Variant("2")), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(87));
    ui_.verifyAllConsumed();
    const std::string id = file("SELECT CategoryID FROM Categories WHERE CategoryName = 'Spices'");
    ASSERT_NE(id, "<none>");
    // The number the database gave is on the sheet.
    EXPECT_EQ(cell("CategoryID", loaded + 1)->Value().text(), id);

    ASSERT_EQ(type(cell("CategoryName", loaded + 1), "Herbs"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, GetMessage(219, Variant("2")), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(87));
    EXPECT_EQ(fileColumn("SELECT CategoryName FROM Categories WHERE CategoryID = " + id), (Texts{"Herbs"}));
    EXPECT_EQ(file("SELECT COUNT(*) FROM Categories"), std::to_string(loaded + 1));

    ASSERT_TRUE(session_->user().select(cell("CategoryName", loaded + 1)));
    ui_.expectMsgBox(host::answer::Yes);
    std::string notice;
    expectHint(&notice);
    ASSERT_TRUE(press("{F8}"));
    EXPECT_EQ(notice, GetMessage(78));
    EXPECT_EQ(file("SELECT COUNT(*) FROM Categories"), std::to_string(loaded));
}

// --- names, protection, waiting, opening ---------------------------------------------

TEST_F(TrustedWriteTest, TablesAndColumnsWithOddNamesAreShownAndWritten) {
    startAddin();
    path_ = dir_ + "/odd.sqlite";
    {
        makeDatabase("odd.sqlite", {"CREATE TABLE Plain (ID LONG CONSTRAINT PK_Plain PRIMARY KEY)"});
        FileDb db(path_);
        db.exec("CREATE TABLE \"dot.ted\" (ID INTEGER PRIMARY KEY, \"c]1\" TEXT(10), \"it's\" TEXT(10))");
        db.exec("INSERT INTO \"dot.ted\" VALUES (1, 'x', 'y')");
        db.exec("CREATE TABLE \"a]b\" (ID INTEGER PRIMARY KEY, \"v w\" TEXT(10))");
        db.exec("INSERT INTO \"a]b\" VALUES (1, 'old')");
        db.exec("CREATE TABLE \"q]`r\" (ID INTEGER PRIMARY KEY, v TEXT(10))");
    }
    openThroughDialog(path_);
    ui_.clearShown();
    clickTable("dot.ted");
    ASSERT_TRUE(form().HasMatrix());
    ASSERT_EQ(type(cell("c]1", 1), "new"), Result::Accepted);
    ASSERT_EQ(type(cell("it's", 1), "O'Brien"), Result::Accepted);
    EXPECT_EQ(writeBack(), GetMessage(87));
    ui_.verifyAllConsumed();
    EXPECT_EQ(file("SELECT \"c]1\" || '/' || \"it's\" FROM \"dot.ted\""), "new/O'Brien");

    clickTable("a]b");
    ASSERT_EQ(type(cell("v w", 1), "new"), Result::Accepted);
    EXPECT_EQ(writeBack(), GetMessage(87));
    EXPECT_EQ(file("SELECT \"v w\" FROM \"a]b\""), "new");

    // A name no quotes can hold is refused up front, naming its characters.
    ui_.expectMsgBox(host::answer::OK, GetMessage(224, Variant("q]`r"), Variant("] `")), host::mb::Information);
    clickTable("q]`r");
    ui_.verifyAllConsumed();
    EXPECT_TRUE(sheet()->ProtectContents());
}

TEST_F(TrustedWriteTest, AFailureWhileRecordingAChangeLeavesTheSheetProtected) {
    openCopy();
    clickTable("Products");
    // A change reported for a range whose workbook is gone: recording it fails halfway.
    auto other = session_->app().Workbooks().Add();
    host::RangePtr gone = other->Worksheets()->Item(1L)->Range("B2");
    other->Close(Variant(false));
    EXPECT_THROW(form().RecordChange(gone), Error);
    EXPECT_TRUE(sheet()->ProtectContents());
    ui_.expectMsgBox(host::answer::OK, std::nullopt, host::mb::Exclamation);  // the host's protected-sheet notice
    EXPECT_EQ(type(cell("ProductID", 1), "99"), Result::Refused);
    ui_.verifyAllConsumed();
    EXPECT_EQ(cell("ProductID", 1)->Value().text(), "1");
}

TEST_F(TrustedWriteTest, F7WhileACellIsStillBeingEditedSaysWhyNothingHappened) {
    openCopy();
    clickTable("Products");
    ASSERT_EQ(type(cell("ProductName", 1), "Mocha"), Result::Accepted);
    clsForm::SetReadyTimeout(0.5);
    session_->user().beginEdit(cell("ProductName", 2));
    ui_.expectMsgBox(host::answer::OK, firstLine(225), host::mb::Information);
    session_->app().Run("ThisWorkbook.WriteData");
    ui_.verifyAllConsumed();
    EXPECT_TRUE(flagged(1));
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 1"), "Dark roast coffee");
    session_->user().cancelEdit();
}

TEST_F(TrustedWriteTest, AFileThatCannotBeOpenedIsToldAsWhatItIsAndNoEditIsLost) {
    openCopy();
    clickTable("Products");
    ASSERT_EQ(type(cell("ProductName", 1), "Mocha"), Result::Accepted);
    const std::string saved = path_ + ".saved";
    std::filesystem::copy_file(path_, saved);

    // Locked by another program.
    {
        FileDb locker(path_);
        locker.exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;");
        ui_.expectMsgBox(host::answer::OK, firstLine(227), host::mb::Exclamation);
        EXPECT_EQ(writeBack(), GetMessage(86));
        locker.exec("ROLLBACK");
    }
    // Deleted, then replaced by something else.
    std::filesystem::remove(path_);
    ui_.expectMsgBox(host::answer::OK, firstLine(226), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(86));
    std::ofstream(path_) << "not a database at all, just text that someone saved here\n";
    ui_.expectMsgBox(host::answer::OK, firstLine(229), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(86));
    ui_.verifyAllConsumed();
    for (const auto& shown : ui_.shown())
        EXPECT_EQ(shown.text.find(GetMessage(66)), std::string::npos) << "told as a password: " << shown.text;

    // Back again: the edit that waited is written.
    std::filesystem::copy_file(saved, path_, std::filesystem::copy_options::overwrite_existing);
    EXPECT_TRUE(flagged(1));
    EXPECT_EQ(writeBack(), GetMessage(87));
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 1"), "Mocha");
}

TEST_F(TrustedWriteTest, AReadOnlyDatabaseIsToldAsReadOnly) {
    startAddin();
    SmallDisk disk(dir_ + "/readonly", "size=4m");
    if (!disk.mounted()) GTEST_SKIP() << "no read-only file system can be made here";
    path_ = dir_ + "/readonly/sample.sqlite";
    std::filesystem::copy_file(DALVERA_SAMPLE_DATABASE, path_);
    ASSERT_TRUE(disk.remount(MS_RDONLY, "size=4m"));
    openThroughDialog(path_);
    clickTable("Products");
    ASSERT_EQ(type(cell("ProductName", 1), "Mocha"), Result::Accepted);
    ui_.expectMsgBox(host::answer::OK, firstLine(228), host::mb::Exclamation);
    EXPECT_EQ(writeBack(), GetMessage(86));
    ui_.verifyAllConsumed();
    EXPECT_TRUE(flagged(1));
    EXPECT_EQ(file("SELECT ProductName FROM Products WHERE ProductID = 1"), "Dark roast coffee");
    session_.reset();
}

}  // namespace
}  // namespace dalvera::testing
