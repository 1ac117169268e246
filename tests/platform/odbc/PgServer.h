#pragma once
// The private PostgreSQL the test run starts (scripts/test-server): each test
// gets a fresh copy of the sample database and checks it with psql itself.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <unistd.h>
#include <string>

namespace dalvera::test {

struct PgServer {
    std::string socket;
    int port = 55432;
    bool available = false;

    static PgServer& get() {
        static PgServer s = [] {
            PgServer p;
            std::ifstream location(std::string(DALVERA_PG_STATE) + "/location");
            std::string home;
            if (std::getline(location, home) && !home.empty()) {
                p.socket = home + "/socket";
                p.available = std::ifstream(p.socket + "/.s.PGSQL." + std::to_string(p.port)).good() ||
                              std::ifstream(p.socket + "/.s.PGSQL." + std::to_string(p.port) + ".lock").good();
            }
            return p;
        }();
        return s;
    }

    std::string connection(const std::string& database) const {
        return "Driver={PostgreSQL Unicode};Servername=" + socket + ";Port=" + std::to_string(port) +
               ";Database=" + database + ";Uid=dalvera";
    }

    // Runs psql; its output, rows unaligned with "|" between fields.
    std::string psql(const std::string& database, const std::string& sql) const {
        static std::atomic<int> serial{0};
        const std::string file =
            "/tmp/dalvera-psql-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".sql";
        {
            std::ofstream out(file);
            out << sql;
        }
        const std::string cmd = "PGOPTIONS='-c client_min_messages=warning' psql -X -q -A -t -v ON_ERROR_STOP=1 -h '" +
                                socket + "' -p " + std::to_string(port) + " -U dalvera -d " + database + " -f " + file +
                                " 2>&1";
        std::string result;
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
        std::array<char, 4096> buf;
        while (pipe && fgets(buf.data(), buf.size(), pipe.get())) result += buf.data();
        std::remove(file.c_str());
        while (!result.empty() && result.back() == '\n') result.pop_back();
        return result;
    }
};

// A fresh copy of the sample database, dropped when done.
struct PgDatabase {
    std::string name;
    // Empty: created; otherwise what psql said.
    std::string create() {
        static int n = 0;
        name = "t_" + std::to_string(::getpid()) + "_" + std::to_string(n++);
        return PgServer::get().psql("postgres", "CREATE DATABASE " + name + " TEMPLATE dalvera_sample;");
    }
    void drop() {
        if (!name.empty()) PgServer::get().psql("postgres", "DROP DATABASE IF EXISTS " + name + " WITH (FORCE);");
        name.clear();
    }
    std::string connection() const { return PgServer::get().connection(name); }
    std::string psql(const std::string& sql) const { return PgServer::get().psql(name, sql); }
};

class PgTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PgServer::get().available) GTEST_SKIP() << "the private PostgreSQL is not running";
        const std::string out = db.create();
        ASSERT_EQ(out, "") << out;
        database = db.name;
    }
    void TearDown() override { db.drop(); }
    static PgServer& server() { return PgServer::get(); }
    std::string connection() const { return db.connection(); }
    std::string psql(const std::string& sql) const { return db.psql(sql); }
    PgDatabase db;
    std::string database;
};

}  // namespace dalvera::test
