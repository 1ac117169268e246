#include "SheetsFixture.h"

#include <limits>

#include "runtime/DateSerial.h"
#include "runtime/ValueTable.h"

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

// The same rows held compactly and lent in place, as the engine's record sets do.
class HeldRows : public host::RecordSource {
public:
    std::shared_ptr<ValueTable> table;
    long pos = 0;
    long FieldCount() const override { return static_cast<long>(table->columnCount()); }
    long FetchColumns(long, std::vector<std::vector<Variant>>&) override {
        ADD_FAILURE() << "held rows are lent, not copied";
        return 0;
    }
    long FetchHeld(long maxRows, std::shared_ptr<const ValueTable>& out, long& first) override {
        first = pos;
        long n = std::min<long>(maxRows, static_cast<long>(table->rowCount()) - pos);
        out = table;
        pos += n;
        return n;
    }
};

HeldRows held(const std::vector<std::vector<Variant>>& rows) {
    HeldRows h;
    h.table = std::make_shared<ValueTable>(rows.front().size());
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) h.table->column(c).push(row[c]);
    return h;
}
}  // namespace

TEST_F(SheetsTest, HeldRowsLandInCellsAsCopiedOnesDo) {
    const std::vector<std::vector<Variant>> rows = {
        {Variant::longValue(7), Variant("seven"), Variant::currencyScaled(125000), Variant::date(45000.5), Variant(true)},
        {Variant::longLong(1LL << 40), Variant(""), Variant::null(), Variant::single(0.25f), Variant(false)},
        {Variant::integer(-3), Variant("O'Brien"), Variant(1.123456789), Variant(), Variant::byteValue(9)},
    };
    Rows copied;
    copied.rows = rows;
    cell("A1")->CopyFromRecordset(copied);
    HeldRows lent = held(rows);
    cell("H1")->CopyFromRecordset(lent);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 5; ++c) {
            auto a = sheet->Cells(r, c), b = sheet->Cells(r, c + 7);
            EXPECT_EQ(a->Value(), b->Value()) << "row " << r << " column " << c;
            EXPECT_EQ(a->Value().type(), b->Value().type()) << "row " << r << " column " << c;
        }
    EXPECT_EQ(cell("I1")->Value(), Variant("seven"));
    EXPECT_TRUE(cell("I2")->Value().isEmpty());  // an empty text leaves the cell empty
    EXPECT_EQ(cell("J1")->Value().type(), VarType::Currency);
    EXPECT_TRUE(cell("K1")->Value().isDate());
}

TEST_F(SheetsTest, HeldRowsAreCopiedFromThePositionAndWhatNoCellHoldsIsLeftOut) {
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 10000; ++i) rows.push_back({Variant::longValue(i), Variant("n" + std::to_string(i))});
    rows[9000][1] = Variant(std::string(40000, 'x'));  // longer than a cell holds
    rows[9001][0] = Variant(std::numeric_limits<double>::infinity());
    rows[9002][0] = Variant(std::vector<uint8_t>{1, 2});
    HeldRows lent = held(rows);
    lent.pos = 100;
    events.changes.clear();
    long n = 0;
    EXPECT_EQ(errorOf([&] { n = cell("A2")->CopyFromRecordset(lent); }), err::HostRefusal);
    EXPECT_EQ(lent.pos, 10000);
    EXPECT_EQ(cell("A2")->Value(), Variant(100.0));
    EXPECT_EQ(cell("B9901")->Value(), Variant("n9999"));
    EXPECT_TRUE(cell("A9902")->Value().isEmpty());
    // The three values without a cell form are left out, their neighbours are not.
    EXPECT_TRUE(cell("B8902")->Value().isEmpty());
    EXPECT_EQ(cell("A8902")->Value(), Variant(9000.0));
    EXPECT_TRUE(cell("A8903")->Value().isEmpty());
    EXPECT_EQ(cell("B8903")->Value(), Variant("n9001"));
    EXPECT_TRUE(cell("A8904")->Value().isEmpty());
    EXPECT_EQ(events.changes, std::vector<std::string>{"Sheet1!A2:B9901"});

    // No more than the sheet's rows, and nothing on a protected sheet.
    HeldRows again = held(rows);
    EXPECT_EQ(cell("D1048570")->CopyFromRecordset(again), 7);
    EXPECT_EQ(cell("D1048576")->Value(), Variant(6.0));
    HeldRows refused = held(rows);
    sheet->Protect("pw");
    EXPECT_EQ(errorOf([&] { cell("F1")->CopyFromRecordset(refused); }), err::HostRefusal);
    EXPECT_TRUE(cell("F1")->Value().isEmpty());
}

// A large copy writes the columns without texts beside the others: every
// kind of value still lands where a copy cell by cell puts it.
TEST_F(SheetsTest, ALargeHeldCopyLandsAsACellByCellCopyDoes) {
    std::vector<std::vector<Variant>> rows;
    for (int i = 0; i < 30000; ++i)
        rows.push_back({Variant::longValue(i), Variant("name " + std::to_string(i)), Variant(i * 0.5),
                        Variant::date(45000 + i / 100.0), Variant(i % 2 == 0), i % 5 ? Variant::currencyScaled(i * 10000LL) : Variant::null()});
    rows[12345][2] = Variant("not a number");  // a text in a column of numbers
    rows[20000][3] = Variant(std::numeric_limits<double>::quiet_NaN());
    rows[29999][4] = Variant(std::vector<uint8_t>{1});
    HeldRows lent = held(rows);
    // Copied cell by cell, a value with no cell form would stop the copy; the held one leaves it out.
    Rows copied;
    copied.rows = rows;
    copied.rows[20000][3] = Variant();
    EXPECT_EQ(errorOf([&] { cell("A1")->CopyFromRecordset(copied); }), err::HostRefusal);
    std::string refusal;
    try {
        cell("H1")->CopyFromRecordset(lent);
    } catch (const Error& e) {
        refusal = e.description();
    }
    EXPECT_EQ(refusal.rfind("2 value(s)", 0), 0u) << refusal;
    const VariantArray2D a = sheet->Range("A1:F30000")->Values(), b = sheet->Range("H1:M30000")->Values();
    ASSERT_EQ(a.rows(), 30000);
    long differences = 0;
    for (long r = 1; r <= 30000; ++r)
        for (long c = 1; c <= 6; ++c) {
            const Variant& x = a(r, c);
            const Variant& y = b(r, c);
            if (x.type() != y.type() || (!x.isEmpty() && !(x == y))) {
                if (differences++ < 5) ADD_FAILURE() << "row " << r << ", column " << c << ": " << x.text() << " / " << y.text();
            }
        }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(cell("J12346")->Value(), Variant("not a number"));
    EXPECT_EQ(cell("J12347")->Value(), Variant(12346 * 0.5));
    EXPECT_TRUE(cell("K20001")->Value().isEmpty());
    EXPECT_TRUE(cell("K20002")->Value().isDate());
    EXPECT_EQ(cell("L29999")->Value(), Variant(true));
    EXPECT_TRUE(cell("L30000")->Value().isEmpty());
    EXPECT_EQ(cell("M3")->Value().type(), VarType::Currency);
}

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
