#pragma once
// An in-memory SQLite database with the dialect's functions, for running translations.
#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/jet/sql/JetSql.h"
#include "runtime/Error.h"

namespace dalvera::jet::testing {

class JetDb {
public:
    JetDb() {
        if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("cannot open");
        registerFunctions(db_);
    }
    ~JetDb() { sqlite3_close(db_); }
    JetDb(const JetDb&) = delete;
    JetDb& operator=(const JetDb&) = delete;

    sqlite3* handle() const { return db_; }

    // Translates and runs a statement; rows come back as texts ("NULL" for Null), fields joined by '|'.
    std::vector<std::string> run(const std::string& jetSql, const std::vector<std::string>& binds = {}) {
        return runNative(translate(jetSql).sql, binds);
    }

    std::vector<std::string> runNative(const std::string& sql, const std::vector<std::string>& binds = {}) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
        for (size_t i = 0; i < binds.size(); ++i)
            sqlite3_bind_text(st, static_cast<int>(i + 1), binds[i].c_str(), -1, SQLITE_TRANSIENT);
        std::vector<std::string> rows;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) row += "|";
                const unsigned char* t = sqlite3_column_text(st, c);
                row += t ? reinterpret_cast<const char*>(t) : "NULL";
            }
            rows.push_back(row);
        }
        std::string err = sqlite3_errmsg(db_);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) throw std::runtime_error(err);
        return rows;
    }

    // The single value of a one-row, one-column query.
    std::string value(const std::string& jetSql) {
        auto rows = run(jetSql);
        if (rows.size() != 1) throw std::runtime_error("expected one row from: " + jetSql);
        return rows[0];
    }

private:
    sqlite3* db_ = nullptr;
};

// The number of the error a statement's translation raises; 0 when it translates.
inline long errorNumber(const std::string& sql) {
    try {
        translate(sql);
    } catch (const dalvera::Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace dalvera::jet::testing
