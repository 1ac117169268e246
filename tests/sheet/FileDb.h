#pragma once
// A database file read and written with SQLite's own calls, behind the add-in's
// back: what the file really holds, and another program holding it.
#include <sqlite3.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace dalvera::testing {

class FileDb {
public:
    explicit FileDb(const std::string& path, bool readOnly = false) {
        if (sqlite3_open_v2(path.c_str(), &db_, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db_);
    }
    ~FileDb() { sqlite3_close(db_); }
    FileDb(const FileDb&) = delete;
    FileDb& operator=(const FileDb&) = delete;

    // SQLite's result code; the message goes to `error` when given, else a failure is recorded.
    int exec(const std::string& sql, std::string* error = nullptr) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            if (error) *error = message ? message : "";
            else ADD_FAILURE() << (message ? message : "?") << " in " << sql;
        }
        sqlite3_free(message);
        return rc;
    }
    // The first column of every row.
    std::vector<std::string> column(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db_) << " in " << sql;
            return out;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = sqlite3_column_text(st, 0);
            out.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
        }
        sqlite3_finalize(st);
        return out;
    }
    // One value; "<none>" when there is no row.
    std::string value(const std::string& sql) {
        auto values = column(sql);
        return values.empty() ? "<none>" : values.front();
    }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace dalvera::testing
