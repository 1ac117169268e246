// A damaged file that makes the reader loop or crash ends with a clear refusal
// in time, leaves nothing in the temporary folder, and the program goes on;
// mirrors of processes that were killed are cleared, those of running ones kept.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <random>

#include "platform/access/Mirror.h"
#include "platform/jet/Jet.h"
#include "runtime/Error.h"
#include "platform/access/AccessFixture.h"

namespace dalvera::access::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto Limit = std::chrono::milliseconds(1500);

class AccessWatchdog : public ::testing::Test {
protected:
    void SetUp() override {
        DALVERA_NEED_ACCESS_FILES();
        setStallLimit(Limit);
    }
    void TearDown() override { setStallLimit(std::chrono::milliseconds(20000)); }
    testing::TempDir dir{"dalvera-watchdog"};

    // 32 bytes past the header page set to random values; mt19937's raw
    // output is the same with every standard library, so a seed is a file.
    std::string corrupt(const std::string& name, unsigned seed) {
        std::string b = fileBytes(dataFile(name));
        std::mt19937 r(seed);
        for (int i = 0; i < 32; ++i) {
            size_t at = 4096 + r() % (b.size() - 4096);
            b[at] = static_cast<char>(r() & 0xff);
        }
        std::string path = dir / ("c" + std::to_string(seed) + ".mdb");
        std::ofstream(path, std::ios::binary) << b;
        return path;
    }
    static std::vector<std::string> leftovers(const std::string& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind("dalvera-access-", 0) == 0) out.push_back(e.path().string());
        return out;
    }
};

struct Outcome {
    long number = 0;
    std::string text;
    double seconds = 0;
};
Outcome attempt(const std::function<void()>& f) {
    Outcome o;
    auto start = Clock::now();
    try {
        f();
    } catch (const Error& e) {
        o.number = e.number();
        o.text = e.description();
    }
    o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return o;
}

TEST_F(AccessWatchdog, CorruptionsThatHangOrCrashTheReaderEndInTimeAndLeaveNothing) {
    SKIP_WHERE_THE_HEAP_IS_SANITIZED();
    testing::TempDir temp{"dalvera-watchdog-tmp"};
    testing::EnvVar tmpdir("TMPDIR", temp.path().c_str());
    auto expectDamaged = [&](const std::string& path, const char* why) {
        Outcome o = attempt([&] { mirrorFor(path); });
        EXPECT_EQ(o.number, DamagedFile) << o.text;
        EXPECT_NE(o.text.find(path), std::string::npos) << o.text;
        EXPECT_NE(o.text.find(why), std::string::npos) << o.text;
        EXPECT_LT(o.seconds, 1.5 + 3.0);
        EXPECT_TRUE(leftovers(temp.path()).empty());
    };
    // One byte of the catalogue's page 32 (offset 3869, a 0 made 47) sends
    // libmdb's catalogue reading round for ever.
    {
        std::string b = fileBytes(dataFile("queryTestV2003.mdb"));
        ASSERT_EQ(b[32 * 4096 + 3869], 0);
        b[32 * 4096 + 3869] = 47;
        std::string path = dir / "loops.mdb";
        std::ofstream(path, std::ios::binary) << b;
        expectDamaged(path, "did not finish");
        // Asked again, it is read again and refused again, not taken from a cache.
        expectDamaged(path, "did not finish");
    }
    // This seed's bytes make libmdb read through a bad pointer.
    expectDamaged(corrupt("queryTestV2003.mdb", 145), "broke off");
}

// Whatever random damage does to the reader, in either build: it ends in time,
// opens or is refused as damaged, and leaves no half-written mirror.
TEST_F(AccessWatchdog, RandomDamageOpensOrIsRefusedInTime) {
    testing::TempDir temp{"dalvera-watchdog-tmp"};
    testing::EnvVar tmpdir("TMPDIR", temp.path().c_str());
    for (unsigned seed = 0; seed < 60; ++seed) {
        SCOPED_TRACE(seed);
        std::string path = corrupt("queryTestV2003.mdb", seed);
        Outcome o = attempt([&] { mirrorFor(path); });
        EXPECT_LT(o.seconds, 1.5 + 3.0) << o.text;
        if (o.number != 0) EXPECT_TRUE(o.number == DamagedFile || o.number == 3343) << o.number << " " << o.text;
        for (const auto& f : leftovers(temp.path())) EXPECT_EQ(f.find(".part"), std::string::npos) << f;
    }

    // The process is still whole: a good file opens with its rows.
    std::string good = dir / "good.mdb";
    fs::copy_file(dataFile("queryTestV2003.mdb"), good);
    Sqlite db(mirrorFor(good));
    auto expected = splitOn(run({"mdb-export", good, "Table1"}), "\n");
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Table1"), std::to_string(expected.size() - 2));
}

TEST_F(AccessWatchdog, AConvertOfALoopingFileIsRefusedAndWritesNothing) {
    SKIP_WHERE_THE_HEAP_IS_SANITIZED();
    std::string b = fileBytes(dataFile("queryTestV2003.mdb"));
    b[32 * 4096 + 3869] = 47;
    std::string path = dir / "loops.mdb", out = dir / "copy.sqlite";
    std::ofstream(path, std::ios::binary) << b;
    Outcome o = attempt([&] { writeEngineDatabase(path, out); });
    EXPECT_EQ(o.number, DamagedFile) << o.text;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".part"));
    // A refusal of the child's own, such as a copy that exists, comes back as itself.
    std::ofstream(out) << "mine";
    o = attempt([&] { writeEngineDatabase(dataFile("queryTestV2003.mdb"), out); });
    EXPECT_EQ(o.number, 3204) << o.text;
    EXPECT_EQ(fileBytes(out), "mine");
}


// A second process that builds a mirror of the file, says so, and waits to be killed.
pid_t holder(const std::string& file) {
    int fd[2];
    if (::pipe(fd) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fd[0]);
        char ok = '0';
        try {
            mirrorFor(file);
            ok = '1';
        } catch (...) {
        }
        (void)!::write(fd[1], &ok, 1);
        for (;;) ::pause();
    }
    ::close(fd[1]);
    char ok = 0;
    if (::read(fd[0], &ok, 1) != 1 || ok != '1') {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ::close(fd[0]);
    return pid;
}

TEST_F(AccessWatchdog, MirrorsOfAKilledProcessAreRemovedThoseOfARunningOneKept) {
    testing::TempDir temp{"dalvera-watchdog-tmp"};
    testing::EnvVar tmpdir("TMPDIR", temp.path().c_str());
    // A path of its own, so no mirror this process already holds is handed on.
    const std::string file = dir / "held.mdb";
    fs::copy_file(dataFile("queryTestV2003.mdb"), file);
    pid_t killed = holder(file), running = holder(file);
    ASSERT_GT(killed, 0);
    ASSERT_GT(running, 0);
    auto ofPid = [&](pid_t pid) {
        std::vector<std::string> out;
        for (const auto& f : leftovers(temp.path()))
            if (fs::is_regular_file(f) &&
                fs::path(f).filename().string().rfind("dalvera-access-" + std::to_string(pid) + "-", 0) == 0)
                out.push_back(f);
        return out;
    };
    ASSERT_EQ(ofPid(killed).size(), 1u);
    ASSERT_EQ(ofPid(running).size(), 1u);
    // A half-written one the killed process left, and a file that only looks like a mirror.
    std::ofstream(ofPid(killed)[0] + ".part") << "x";
    std::ofstream(temp / "dalvera-access-notapid.db") << "x";
    // A folder with a dead process's number in its name is not a mirror.
    fs::create_directory(temp / ("dalvera-access-" + std::to_string(killed) + "-folder"));
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);

    removeStaleMirrors();
    EXPECT_TRUE(ofPid(killed).empty());
    ASSERT_EQ(ofPid(running).size(), 1u);
    EXPECT_TRUE(fs::exists(temp / "dalvera-access-notapid.db"));
    EXPECT_TRUE(fs::is_directory(temp / ("dalvera-access-" + std::to_string(killed) + "-folder")));
    // The running copy's mirror is whole and still read.
    Sqlite db(ofPid(running)[0]);
    EXPECT_EQ(db.scalar("PRAGMA integrity_check"), "ok");
    ::kill(running, SIGKILL);
    ::waitpid(running, nullptr, 0);
}

}  // namespace
}  // namespace dalvera::access::test
