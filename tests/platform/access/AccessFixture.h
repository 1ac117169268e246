#pragma once
// The MS Access test files, a scratch folder, and what the Debian mdbtools
// commands say about a file: the yardstick the reader is checked against.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// The damaged bytes that make libmdb loop or crash act on whatever lies in
// fresh memory; under AddressSanitizer that differs, and libmdb reads on.
#if defined(__SANITIZE_ADDRESS__)
#define DALVERA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DALVERA_ASAN 1
#endif
#endif
#ifdef DALVERA_ASAN
#define SKIP_WHERE_THE_HEAP_IS_SANITIZED() \
    GTEST_SKIP() << "under AddressSanitizer these damaged bytes do not make libmdb loop or crash"
#else
#define SKIP_WHERE_THE_HEAP_IS_SANITIZED() static_cast<void>(0)
#endif
#include <functional>
#include <vector>

#include "runtime/Error.h"
#include "support/Scratch.h"

namespace dalvera::access::test {

// The engine number f raises (0 when it raises none), its text into *text.
inline long errorOf(const std::function<void()>& f, std::string* text = nullptr) {
    try {
        f();
    } catch (const Error& e) {
        if (text) *text = e.description();
        return e.number();
    }
    return 0;
}

// The shared test files lie beside the checkout; a run elsewhere names them.
inline std::string dataFolder() {
    if (const char* e = std::getenv("DALVERA_ACCESS_TESTDATA"); e && *e) return e;
    return DALVERA_ACCESS_TESTDATA;
}

inline std::string dataFile(const std::string& name) { return dataFolder() + "/" + name; }

// A clone without the shared files beside it skips what needs them, and says where it looked.
#define DALVERA_NEED_ACCESS_FILES()                                                     \
    if (!std::filesystem::is_directory(::dalvera::access::test::dataFolder()))           \
    GTEST_SKIP() << "the MS Access test files are not at " << ::dalvera::access::test::dataFolder() \
                 << " (set DALVERA_ACCESS_TESTDATA)"

inline std::vector<std::string> accessFiles() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dataFolder())) {
        auto ext = e.path().extension().string();
        if (ext == ".mdb" || ext == ".accdb") out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Standard output of a program (no shell), and its exit status.
inline std::string run(const std::vector<std::string>& args, int* status = nullptr) {
    int fd[2];
    if (::pipe(fd) != 0) return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fd[1], 1);
        int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 2);
        ::close(fd[0]);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fd[1]);
    std::string out;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    ::close(fd[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

inline std::vector<std::string> splitOn(const std::string& s, const std::string& sep) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        size_t p = s.find(sep, from);
        out.push_back(s.substr(from, p == std::string::npos ? std::string::npos : p - from));
        if (p == std::string::npos) break;
        from = p + sep.size();
    }
    return out;
}

// A database file read with SQLite itself.
class Sqlite {
public:
    explicit Sqlite(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr); }
    ~Sqlite() { sqlite3_close(db_); }
    sqlite3* db() const { return db_; }
    std::vector<std::vector<std::string>> rows(const std::string& sql, std::vector<int>* types = nullptr) const {
        std::vector<std::vector<std::string>> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return out;
        }
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> r;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (types) types->push_back(sqlite3_column_type(st, i));
                auto t = sqlite3_column_text(st, i);
                r.emplace_back(t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(st, i)))
                                 : std::string("\x02NULL"));
            }
            out.push_back(std::move(r));
        }
        sqlite3_finalize(st);
        return out;
    }
    std::string scalar(const std::string& sql) const {
        auto r = rows(sql);
        return r.empty() || r[0].empty() ? std::string() : r[0][0];
    }

private:
    sqlite3* db_ = nullptr;
};

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dalvera::access::test
