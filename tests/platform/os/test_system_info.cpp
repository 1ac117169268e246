// This machine's facts for the information dialog, from the files as the
// distributions and kernels of several machines write them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/os/DesktopShell.h"
#include "platform/os/SystemInfo.h"
#include "runtime/Error.h"
#include "support/Scratch.h"

using namespace dalvera;
using namespace dalvera::platform;

TEST(OsRelease, PrettyNameFirstThenNameAndVersion) {
    EXPECT_EQ(osNameFromOsRelease("NAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\n"
                                  "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(osNameFromOsRelease("NAME=Fedora\nVERSION='39 (Workstation Edition)'\n"), "Fedora 39 (Workstation Edition)");
    EXPECT_EQ(osNameFromOsRelease("NAME=\"Alpine Linux\"\n"), "Alpine Linux");
    // Shell escapes inside double quotes, comments and blank lines.
    EXPECT_EQ(osNameFromOsRelease("# made by hand\n\nPRETTY_NAME=\"My \\\"own\\\" system\"\n"), "My \"own\" system");
    EXPECT_EQ(osNameFromOsRelease("ID=x\n"), "");
}

TEST(CpuInfo, ModelAndCountOnSeveralMachines) {
    const char* x86 =
        "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n\n"
        "processor\t: 1\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n";
    EXPECT_EQ(cpuFromCpuInfo(x86), std::make_pair(std::string("Intel(R) Xeon(R) CPU @ 2.20GHz"), 2));
    // Old ARM kernels: "Processor" is the model, "processor" the numbered entries.
    const char* arm = "Processor\t: ARMv7 Processor rev 4 (v7l)\nprocessor\t: 0\nBogoMIPS\t: 38.40\n"
                      "processor\t: 1\nprocessor\t: 2\nprocessor\t: 3\nHardware\t: BCM2835\n";
    EXPECT_EQ(cpuFromCpuInfo(arm), std::make_pair(std::string("ARMv7 Processor rev 4 (v7l)"), 4));
    // Newer ARM boards name the model at the end.
    const char* pi = "processor\t: 0\nCPU part\t: 0xd08\n\nModel\t\t: Raspberry Pi 4 Model B Rev 1.4\n";
    EXPECT_EQ(cpuFromCpuInfo(pi), std::make_pair(std::string("Raspberry Pi 4 Model B Rev 1.4"), 1));
    EXPECT_EQ(cpuFromCpuInfo(""), std::make_pair(std::string(), 0));
}

TEST(MemInfo, TotalInBytes) {
    EXPECT_EQ(memTotalFromMemInfo("MemTotal:       16314564 kB\nMemFree:         1000 kB\n"), 16314564ull * 1024);
    EXPECT_EQ(memTotalFromMemInfo("MemFree:  10 kB\nMemTotal: 2048 kB\n"), 2048ull * 1024);
    EXPECT_EQ(memTotalFromMemInfo("MemFree: 10 kB\n"), 0u);
    EXPECT_EQ(memTotalFromMemInfo("MemTotal: lots\n"), 0u);
}

TEST(SystemInfo, ReadsTheFilesUnderItsRootAndFailsWhenNoneCanBeRead) {
    dalvera::testing::TempDir root("dalvera-facts");
    std::filesystem::create_directories(root / "usr/lib");
    std::filesystem::create_directories(root / "proc");
    // Only the vendor copy of os-release, as some distributions ship it.
    std::ofstream(root / "usr/lib/os-release") << "PRETTY_NAME=\"Test OS 1\"\n";
    std::ofstream(root / "proc/cpuinfo") << "processor : 0\nmodel name : Test CPU\nprocessor : 1\nmodel name : Test CPU\n";
    std::ofstream(root / "proc/meminfo") << "MemTotal: 1024 kB\n";
    DesktopShell shell(root.path());
    std::map<std::string, std::string> facts;
    std::vector<std::string> keys;
    for (auto& [k, v] : shell.SystemInfo()) {
        facts[k] = v;
        keys.push_back(k);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"os", "kernel", "cpu", "cpus", "memory"}));
    EXPECT_EQ(facts["os"], "Test OS 1");
    EXPECT_EQ(facts["cpu"], "Test CPU");
    EXPECT_EQ(facts["cpus"], "2");
    EXPECT_EQ(facts["memory"], "1048576");
    EXPECT_EQ(facts["kernel"].rfind("Linux ", 0), 0u);

    // With none of the files there the call fails.
    dalvera::testing::TempDir empty("dalvera-facts");
    try {
        DesktopShell(empty.path()).SystemInfo();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 75);
    }
    // This machine always has /proc.
    EXPECT_FALSE(DesktopShell().SystemInfo().empty());
}
