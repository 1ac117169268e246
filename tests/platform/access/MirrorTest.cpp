// The mirror of every test file against what the Debian mdbtools commands
// read from the same file: row counts, values by type, field types and sizes.
#include <cmath>
#include <cstdio>
#include <map>
#include <regex>

#include "platform/access/Mirror.h"
#include "platform/jet/Jet.h"
#include "runtime/Error.h"
#include "platform/access/AccessFixture.h"

namespace dalvera::access::test {
namespace {

const std::string Null = "\x02NULL";

struct SchemaColumn {
    std::string name, type;
    long size = 0;
    bool required = false;
};

// "CREATE TABLE [T] ( [c] Text (50) NOT NULL, ...)" as mdb-schema writes it.
std::map<std::string, std::vector<SchemaColumn>> schemaOf(const std::string& file) {
    std::map<std::string, std::vector<SchemaColumn>> out;
    std::string text = run({"mdb-schema", file, "access"});
    std::regex table(R"(^CREATE TABLE \[(.*)\]$)"), column(R"(^\t\[(.*)\]\t+([A-Za-z_/ 0-9]+?)(?: \((\d+)(?:, ?\d+)?\))?( NOT NULL)?,?\s*$)");
    std::string current;
    for (const auto& line : splitOn(text, "\n")) {
        std::smatch m;
        if (std::regex_match(line, m, table)) current = m[1];
        else if (!current.empty() && std::regex_match(line, m, column))
            out[current].push_back({m[1], m[2], m[3].matched ? std::stol(m[3]) : 0, m[4].matched});
    }
    return out;
}

// Fields whose stored value libmdb cannot decode: calculated ones.
std::vector<std::string> calculatedFields(const std::string& file, const std::string& table) {
    std::vector<std::string> out;
    std::string current;
    for (const auto& line : splitOn(run({"mdb-prop", file, table}), "\n")) {
        if (line.rfind("name: ", 0) == 0) current = line.substr(6);
        if (line.find("\tExpression:") == 0) out.push_back(current);
    }
    return out;
}

std::string number(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6g", d == 0 ? 0.0 : d);
    return buf;
}

// One value in a form both readers agree on, by the column's type in mdb-schema.
std::string canonical(const std::string& type, const std::string& v, bool fromMirror) {
    if (v == Null || v == "XNULL") return "NULL";
    if (type == "Boolean") return (v == "0") ? "0" : "1";
    if (type == "Currency") {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.4f", std::strtod(v.c_str(), nullptr));
        return buf;
    }
    if (type == "Double" || type == "Single" || type == "Numeric") return number(std::strtod(v.c_str(), nullptr));
    if (type == "DateTime") {
        // libmdb writes every date before 1900 as "1900-01-00"; those are checked on their own.
        if (!fromMirror && v.rfind("1900-01-00", 0) == 0) return "?";
        if (fromMirror && v < "1900-01-01") return "?";
        return v.substr(0, 19);
    }
    if (type == "Replication ID") {
        std::string hex;
        for (char c : v)
            if (std::isxdigit(static_cast<unsigned char>(c))) hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return hex;
    }
    if (type == "OLE" || type == "Binary") {
        std::string hex;
        for (char c : v)
            if (std::isxdigit(static_cast<unsigned char>(c))) hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return hex;
    }
    return v;
}

bool comparable(const std::string& type) { return type.rfind("Unknown_", 0) != 0; }

class AccessMirror : public ::testing::Test {
protected:
    void SetUp() override { DALVERA_NEED_ACCESS_FILES(); }
    testing::TempDir dir{"dalvera-access"};
};

TEST_F(AccessMirror, EveryTableOfEveryFileHoldsWhatMdbExportReads) {
    long checkedTables = 0, checkedCells = 0;
    for (const auto& name : accessFiles()) {
        SCOPED_TRACE(name);
        const std::string file = dataFile(name), out = dir / (name + ".sqlite");
        MirrorReport report = writeEngineDatabase(file, out);
        Sqlite db(out);
        auto schema = schemaOf(file);
        for (const auto& table : splitOn(run({"mdb-tables", "-1", file}), "\n")) {
            if (table.empty()) continue;
            SCOPED_TRACE(table);
            const auto& cols = schema[table];
            ASSERT_FALSE(cols.empty()) << "mdb-schema lists no columns";
            auto calculated = calculatedFields(file, table);
            std::vector<size_t> compared;
            std::string select;
            for (size_t i = 0; i < cols.size(); ++i) {
                const auto& c = cols[i];
                bool isCalculated = std::find(calculated.begin(), calculated.end(), c.name) != calculated.end();
                if (!comparable(c.type) || isCalculated) continue;
                compared.push_back(i);
                std::string q = "\"" + c.name + "\"";
                select += (select.empty() ? "" : ", ") + ((c.type == "OLE" || c.type == "Binary") ? "hex(" + q + ")" : q);
            }
            std::string exported = run({"mdb-export", "-Q", "-H", "-d", "<|>", "-R", "<#>", "-0", "XNULL", "-b", "hex",
                                        "-T", "%Y-%m-%d %H:%M:%S", "-D", "%Y-%m-%d %H:%M:%S", file, table});
            std::vector<std::string> expected, actual;
            for (const auto& line : splitOn(exported, "<#>")) {
                if (line.empty()) continue;
                auto cells = splitOn(line, "<|>");
                ASSERT_EQ(cells.size(), cols.size());
                std::string r;
                for (size_t i : compared) r += canonical(cols[i].type, cells[i], false) + "|";
                expected.push_back(r);
            }
            auto rows = db.rows("SELECT " + (select.empty() ? std::string("1") : select) + " FROM \"" + table + "\"");
            for (const auto& row : rows) {
                std::string r;
                for (size_t k = 0; k < compared.size(); ++k) r += canonical(cols[compared[k]].type, row[k], true) + "|";
                actual.push_back(r);
            }
            // Both read the pages in order, but rows moved by an update may come back elsewhere.
            std::sort(expected.begin(), expected.end());
            std::sort(actual.begin(), actual.end());
            EXPECT_EQ(actual, expected);
            ++checkedTables;
            checkedCells += static_cast<long>(expected.size() * compared.size());
        }
    }
    EXPECT_GT(checkedTables, 40);
    EXPECT_GT(checkedCells, 600);
}

TEST_F(AccessMirror, FieldTypesAndSizesAreThoseOfTheFile) {
    // mdb-schema's words for Jet's types, and the DAO type each is reported as.
    const std::map<std::string, int> dao = {{"Boolean", 1},  {"Byte", 2},      {"Integer", 3},       {"Long Integer", 4},
                                            {"Currency", 5}, {"Single", 6},    {"Double", 7},        {"DateTime", 8},
                                            {"Text", 10},    {"OLE", 11},      {"Memo/Hyperlink", 12}, {"Replication ID", 15},
                                            {"Numeric", 20}};
    long checked = 0;
    for (const auto& name : accessFiles()) {
        SCOPED_TRACE(name);
        const std::string file = dataFile(name);
        // Opened as the data source opens it: the engine recognises the file by its header.
        auto db = jet::daoProvider()->ThreadEngine()->Workspaces(0)->OpenDatabase(file);
        for (const auto& [table, cols] : schemaOf(file)) {
            if (table.rfind("MSys", 0) == 0) continue;
            SCOPED_TRACE(table);
            auto def = db->TableDefs(table);
            for (const auto& c : cols) {
                auto it = dao.find(c.type);
                if (it == dao.end()) continue;
                auto field = def->Fields(c.name);
                EXPECT_EQ(field->Type(), it->second) << c.name;
                if (c.type == "Text") EXPECT_EQ(field->Size(), c.size) << c.name;
                // A Yes/No field is never Null, yet Access reports it as not Required.
                if (c.required && c.type != "Boolean") EXPECT_TRUE(field->Required()) << c.name;
                ++checked;
            }
        }
        db->Close();
    }
    EXPECT_GT(checked, 500);
}

TEST_F(AccessMirror, DatesBefore1900AndExtendedDatesAreRead) {
    // The file keeps each date also as the text Access showed for it.
    const std::string out = dir / "ext.sqlite";
    writeEngineDatabase(dataFile("extDateTestV2019.accdb"), out);
    Sqlite db(out);
    long checked = 0;
    for (const auto& r : db.rows("SELECT DateExt, DateExtStr FROM Table1 WHERE DateExtStr IS NOT NULL")) {
        SCOPED_TRACE(r[1]);
        // "6/14/1765 12:45:00.0000000 PM" against "1765-06-14 12:45:00".
        int m, d, y, hh = 0, mm = 0, ss = 0;
        char ampm[3] = "AM";
        int n = std::sscanf(r[1].c_str(), "%d/%d/%d %d:%d:%d.%*d %2s", &m, &d, &y, &hh, &mm, &ss, ampm);
        ASSERT_GE(n, 3);
        if (n >= 7 && std::string(ampm) == "PM" && hh < 12) hh += 12;
        if (n >= 7 && std::string(ampm) == "AM" && hh == 12) hh = 0;
        char want[32];
        std::snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mm, ss);
        EXPECT_EQ(r[0].substr(0, 19), want);
        ++checked;
    }
    EXPECT_EQ(checked, 8);
    // The same dates in the plain Date/Time field, where libmdb gives up before 1900.
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Table1 WHERE DateNormal < '1900-01-01'"), "3");
    EXPECT_EQ(db.scalar("SELECT DateNormal FROM Table1 WHERE ID = 7"), "1765-06-14 12:45:00");
}

}  // namespace
}  // namespace dalvera::access::test
