#pragma once
// The benchmarks' table: Sales with every column type and a relation to
// Regions, n rows, in a new database file in dir.
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"

namespace dalvera::bench {

// Returns the database's path.
inline std::string buildSalesTable(const std::string& dir, long rows) {
    std::filesystem::create_directories(dir + "/temp");
    std::string path = dir + "/sales.sqlite";
    auto db = jet::CreateDatabase(path);
    db->Execute("CREATE TABLE Regions (RegionID LONG CONSTRAINT PK_Regions PRIMARY KEY, Region TEXT(20))");
    db->Execute("CREATE TABLE Sales (ID LONG CONSTRAINT PK_Sales PRIMARY KEY, Name TEXT(50), Amount CURRENCY, "
                "RegionID LONG CONSTRAINT SalesRegions REFERENCES Regions (RegionID), Price DOUBLE, "
                "Created DATETIME, Active YESNO, Code GUID, Notes MEMO, Ratio SINGLE)");
    const std::string sql =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
        "INSERT INTO Regions SELECT i, 'Region ' || i FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rows) +
        ") "
        "INSERT INTO Sales SELECT i, 'Customer ' || i, (i % 1000) + 0.25, i % 20 + 1, i * 1.123456789, "
        "printf('2024-%02d-%02d %02d:%02d:00', i % 12 + 1, i % 28 + 1, i % 24, i % 60), "
        "CASE WHEN i % 2 THEN -1 ELSE 0 END, printf('{%08X-0000-4000-8000-%012X}', i, i), "
        "'Note for row ' || i, (i % 100) / 100.0 FROM n";
    sqlite3_exec(db->session().db(), sql.c_str(), nullptr, nullptr, nullptr);
    db->Close();
    return path;
}

}  // namespace dalvera::bench
