#include "SheetsFixture.h"

#include "runtime/DateSerial.h"

namespace dalvera::test {

namespace {
// Rows handed out in chunks, as a record set does.
class Rows : public host::RecordSource {
public:
    std::vector<std::vector<Variant>> rows;
    size_t pos = 0;
    long FieldCount() const override { return rows.empty() ? 0 : static_cast<long>(rows[0].size()); }
    long FetchColumns(long maxRows, std::vector<std::vector<Variant>>& columns) override {
        columns.resize(static_cast<size_t>(FieldCount()));
        long n = 0;
        for (; n < maxRows && pos < rows.size(); ++n, ++pos)
            for (size_t f = 0; f < columns.size(); ++f) columns[f].push_back(rows[pos][f]);
        return n;
    }
};
}  // namespace

TEST_F(SheetsTest, BulkArrayWriteAndReadKeepTypes) {
    VariantArray2D a(3, 4);
    a(1, 1) = "text", a(1, 2) = 1.25, a(1, 3) = true, a(1, 4) = Variant::date(dateSerial(2024, 2, 29));
    a(2, 1) = Variant::currency(12.5), a(2, 2) = Variant(), a(2, 3) = 7, a(2, 4) = "";
    a(3, 1) = "text", a(3, 2) = -0.5, a(3, 3) = false, a(3, 4) = Variant::null();
    cell("B2:E4")->SetValues(a);
    VariantArray2D b = cell("B2:E4")->Values();
    ASSERT_EQ(b.rows(), 3);
    EXPECT_EQ(b(1, 1), Variant("text"));
    EXPECT_EQ(b(1, 2), Variant(1.25));
    EXPECT_EQ(b(1, 3), Variant(true));
    EXPECT_TRUE(b(1, 4).isDate());
    EXPECT_EQ(b(1, 4).toDateSerial(), dateSerial(2024, 2, 29));
    EXPECT_EQ(b(2, 1).type(), VarType::Currency);
    EXPECT_TRUE(b(2, 2).isEmpty());
    EXPECT_EQ(b(2, 3), Variant(7.0));  // cells keep numbers as doubles
    EXPECT_TRUE(b(2, 4).isEmpty());
    EXPECT_TRUE(b(3, 4).isEmpty());
    EXPECT_EQ(sheet->UsedRange()->Address(), "$B$2:$E$4");

    EXPECT_EQ(errorOf([&] { cell("A1:Z9")->SetValues(a); }), err::HostRefusal);  // array too small
    VariantArray2D bytes(1, 2);
    bytes(1, 1) = std::vector<uint8_t>{1, 2};
    EXPECT_EQ(errorOf([&] { cell("A1:B1")->SetValues(bytes); }), err::TypeMismatch);
}

TEST_F(SheetsTest, CopyFromRecordsetWritesRowsFromTheCurrentPosition) {
    Rows src;
    for (int i = 0; i < 5000; ++i) src.rows.push_back({Variant(i), Variant("n" + std::to_string(i % 7)), Variant()});
    src.pos = 10;  // already moved on
    cell("A1:C1")->SetValues([] {
        VariantArray2D h(1, 3);
        h(1, 1) = "id", h(1, 2) = "name", h(1, 3) = "note";
        return h;
    }());
    events.changes.clear();
    long n = cell("A2")->CopyFromRecordset(src);
    EXPECT_EQ(n, 4990);
    EXPECT_EQ(cell("A2")->Value(), Variant(10.0));
    EXPECT_EQ(cell("B4991")->Value(), Variant("n1"));  // record 4999
    EXPECT_TRUE(cell("A4992")->Value().isEmpty());
    EXPECT_EQ(cell("A1")->End(host::xl::Down)->Row(), 4991);
    EXPECT_EQ(events.changes, std::vector<std::string>{"Sheet1!A2:C4991"});
    EXPECT_EQ(cell("A2")->CopyFromRecordset(src), 0);  // at the end

    Rows binary;
    binary.rows = {{Variant(1), Variant(std::vector<uint8_t>{1})}};
    EXPECT_EQ(errorOf([&] { cell("E1")->CopyFromRecordset(binary); }), err::HostRefusal);
    EXPECT_EQ(cell("E1")->Value(), Variant(1.0));  // the rest was still copied
}

TEST_F(SheetsTest, CopyFromRecordsetRespectsProtection) {
    Rows src;
    src.rows = {{Variant(1)}, {Variant(2)}};
    sheet->Protect("pw");
    EXPECT_EQ(errorOf([&] { cell("A1")->CopyFromRecordset(src); }), err::HostRefusal);
    EXPECT_TRUE(cell("A1")->Value().isEmpty());
}

TEST_F(SheetsTest, WriterSeesCellsInRowOrderWithStyles) {
    cell("B1")->SetValue("b1");
    cell("A2")->SetValue(2);
    cell("A1")->SetValue("a1");
    cell("C3")->Interior()->SetColor(255);  // formatted, empty
    const auto& m = platform::sheetModel(*sheet);
    std::vector<std::string> seen;
    m.forEachCell([&](int32_t r, int32_t c, const platform::CellValue& v, uint32_t style) {
        seen.push_back(platform::columnLetters(c) + std::to_string(r) + (v.empty() ? "-" : "") +
                       (m.workbook().styles()[style].fillColor == 255 ? "*" : ""));
    }, true);
    EXPECT_EQ(seen, (std::vector<std::string>{"A1", "B1", "A2", "C3-*"}));
}

}  // namespace dalvera::test
