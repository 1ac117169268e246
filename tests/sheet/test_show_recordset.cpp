// Record sets on sheets: the bulk copy, the column treatments and the size limit.
#include <cmath>

#include "TableSheetFixture.h"

#include "data/IDS.h"

namespace dalvera::testing {
namespace {

namespace xl = host::xl;

// A record set that claims many records and holds none: the size checks read
// only the count.
class CountingRecordset : public host::ado::Recordset {
public:
    explicit CountingRecordset(long count) : count_(count) {}
    long FieldCount() const override { return 1; }
    long FetchColumns(long, std::vector<std::vector<Variant>>&) override { return 0; }
    long State() const override { return 1; }
    void Close() override {}
    void ActiveConnection(std::shared_ptr<host::ado::Connection>) override {}
    std::shared_ptr<host::ado::Connection> ActiveConnection() const override { return nullptr; }
    const host::ado::Fields& Fields() const override { return fields_; }
    long RecordCount() const override { return count_; }
    bool Bof() const override { return true; }
    bool Eof() const override { return true; }
    void MoveFirst() override {}
    void MoveNext() override {}
    void MovePrevious() override {}
    void MoveLast() override {}
    long AbsolutePosition() const override { return -1; }

private:
    struct TextField : host::ado::Field {
        const std::string& Name() const override { return name; }
        int Type() const override { return 202; }
        long DefinedSize() const override { return 10; }
        Variant Value() const override { return Variant(); }
        std::string name = "Label";
    };
    struct OneField : host::ado::Fields {
        long Count() const override { return 1; }
        std::shared_ptr<host::ado::Field> Item(long) const override { return field; }
        std::shared_ptr<host::ado::Field> Item(const std::string&) const override { return field; }
        std::shared_ptr<TextField> field = std::make_shared<TextField>();
    };
    long count_;
    OneField fields_;
};

class ShowRecordsetTest : public TableSheetTest {
protected:
    void SetUp() override {
        TableSheetTest::SetUp();
        std::string path;
        makeDatabase("values.sqlite",
                     {"CREATE TABLE Measures (ID COUNTER CONSTRAINT PK PRIMARY KEY, D DOUBLE, S TEXT(10), "
                      "C CURRENCY, W DATETIME)",
                      "INSERT INTO Measures (D, S, C, W) VALUES (1.123456789, '0042', 12.5, #2024-05-01 10:30:00#)",
                      "INSERT INTO Measures (D, S) VALUES (NULL, 'x')",
                      "CREATE TABLE Blank (ID COUNTER CONSTRAINT PK PRIMARY KEY, Label TEXT(5))"},
                     &path)
            ->Close();
        openSample(path);
        book_ = HostApp().Workbooks().Add();
        other_ = book_->Worksheets()->Item(1);
    }
    std::shared_ptr<host::ado::Recordset> open(const std::string& sql) {
        return goApplication->DataSource()->GetRecordSet(sql, false);
    }
    host::WorkbookPtr book_;
    host::WorksheetPtr other_;
};

TEST_F(ShowRecordsetTest, ResultSheetGetsRoundingAlignmentAndTheFormatsOfItsTypesButNoCaptions) {
    auto rs = open("SELECT D, S, C, W FROM Measures ORDER BY ID");
    auto range = goApplication->ShowRecordset(other_, *rs, 3, 2);
    EXPECT_EQ(range->Address(), "$B$3:$E$5");
    EXPECT_EQ(other_->Range("B3")->Value().text(), "D");
    EXPECT_DOUBLE_EQ(other_->Range("B4")->Value().toDouble(), 1.12346);
    EXPECT_TRUE(other_->Range("B5")->Value().isEmpty());  // empty stays empty
    EXPECT_EQ(other_->Range("C4")->Value().text(), "0042");
    EXPECT_EQ(other_->Range("C4")->HorizontalAlignment().toLong(), xl::HAlignLeft);
    // An amount and a date show as such, not as the numbers they are stored as.
    EXPECT_EQ(other_->Range("D4")->NumberFormat().text(), "$ #,##0.00_-");
    EXPECT_EQ(other_->Range("E4")->NumberFormat().text(), "d/m/yyyy h:mm:ss");
    goApplication->DataSource()->CloseRecordSet(rs);
}

TEST_F(ShowRecordsetTest, TableSheetGetsTheFormatsOfTypesWithoutNotation) {
    clickTable("Measures");
    EXPECT_EQ(cell("C", 1)->NumberFormat().text(), "$ #,##0.00_-");
    EXPECT_EQ(cell("W", 1)->NumberFormat().text(), "d/m/yyyy h:mm:ss");
    EXPECT_EQ(cell("D", 1)->NumberFormat().text(), "General");
}

TEST_F(ShowRecordsetTest, EmptyRecordSetWritesTheHeaderOnly) {
    auto rs = open("SELECT * FROM Blank");
    auto range = goApplication->ShowRecordset(other_, *rs, 1, 1);
    EXPECT_EQ(range->Address(), "$A$1:$B$1");
    EXPECT_EQ(other_->Range("B1")->Value().text(), "Label");
    EXPECT_TRUE(other_->Range("A2")->Value().isEmpty());
    goApplication->DataSource()->CloseRecordSet(rs);
}

TEST_F(ShowRecordsetTest, SavedTableWorkbookStaysSaved) {
    auto tableBook = form().Sheet()->Parent();
    tableBook->SetSaved(true);
    auto rs = open("SELECT D, S FROM Measures");
    goApplication->ShowRecordset(form().ListSheet(), *rs, 20, 5);
    EXPECT_EQ(form().ListSheet()->Range("E21")->Value().toDouble(), 1.12346);
    EXPECT_TRUE(tableBook->Saved());
    goApplication->DataSource()->CloseRecordSet(rs);
}

TEST_F(ShowRecordsetTest, TooManyRecordsAreRefusedBeforeAnythingIsWritten) {
    const long rows = other_->Rows()->RowsCount();
    CountingRecordset tooMany(rows - 1);
    try {
        goApplication->ShowRecordset(other_, tooMany, 1, 1);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::Information);
        EXPECT_EQ(e.description(), GetMessage(31, Variant(rows - 1)));
    }
    EXPECT_TRUE(other_->Range("A1")->Value().isEmpty());

    CountingRecordset fits(rows - 2);
    auto range = goApplication->ShowRecordset(other_, fits, 1, 1);
    EXPECT_EQ(range->RowsCount(), rows - 1);
    EXPECT_EQ(other_->Range("A1")->Value().text(), "Label");
}

TEST_F(ShowRecordsetTest, CountsBeyondTheSheetAreRefusedWithMessage31NotAHostError) {
    const long rows = form().Sheet()->Rows()->RowsCount();
    for (long n : {rows - 1, rows, rows * 2}) {
        try {
            CheckRecordCountFits(form().Sheet(), n);
            FAIL() << n;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::Information) << n;
            EXPECT_EQ(e.description(), GetMessage(31, Variant(n)));
        }
    }
    EXPECT_NO_THROW(CheckRecordCountFits(form().Sheet(), rows - 2));
}

TEST_F(ShowRecordsetTest, RoundingTiesGoToTheEvenNeighbour) {
    auto cells = other_->Range("A1:A5");
    VariantArray2D v(5, 1);
    v(1, 1) = Variant(0.125);
    v(2, 1) = Variant(0.375);
    v(4, 1) = Variant(-2.5);
    v(5, 1) = Variant("text");
    cells->SetValues(v);
    clsApplication::RoundRangeValues(other_->Range("A1:A4"), 2);
    clsApplication::RoundRangeValues(other_->Range("A4"), 0);
    EXPECT_DOUBLE_EQ(other_->Range("A1")->Value().toDouble(), 0.12);
    EXPECT_DOUBLE_EQ(other_->Range("A2")->Value().toDouble(), 0.38);
    EXPECT_TRUE(other_->Range("A3")->Value().isEmpty());
    EXPECT_DOUBLE_EQ(other_->Range("A4")->Value().toDouble(), -2.0);
    EXPECT_EQ(other_->Range("A5")->Value().text(), "text");
}

TEST_F(ShowRecordsetTest, ATallColumnIsRoundedToItsLastRowWhereverItStarts) {
    // Taller than the slices the rounding goes in, and more than half the sheet.
    constexpr long kRows = 600000;
    VariantArray2D v(kRows, 1);
    for (long r = 1; r <= kRows; ++r) v(r, 1) = Variant(r + 0.123456789);
    v(kRows / 2, 1) = Variant();
    auto cells = other_->Range("C3:C" + std::to_string(kRows + 2));
    cells->SetValues(v);
    clsApplication::RoundRangeValues(cells, 5);
    VariantArray2D out = cells->Values();
    long wrong = 0;
    for (long r = 1; r <= kRows; ++r)
        if (r != kRows / 2 && out(r, 1).toDouble() != std::nearbyint((r + 0.123456789) * 1e5) / 1e5) ++wrong;
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(out(kRows / 2, 1).isEmpty());
    EXPECT_DOUBLE_EQ(other_->Range("C" + std::to_string(kRows + 2))->Value().toDouble(), kRows + 0.12346);
    EXPECT_TRUE(other_->Range("C" + std::to_string(kRows + 3))->Value().isEmpty());
    EXPECT_TRUE(other_->Range("C2")->Value().isEmpty());
}

}  // namespace
}  // namespace dalvera::testing
