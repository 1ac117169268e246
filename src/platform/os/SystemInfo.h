#pragma once
// This machine's facts for the information dialog, read from the files the
// kernel and the distribution keep: /etc/os-release, /proc/cpuinfo, /proc/meminfo.
#include <string>
#include <utility>
#include <vector>

namespace dalvera::platform {

// PRETTY_NAME, else NAME and VERSION; quotes and escapes of the file's shell syntax undone.
std::string osNameFromOsRelease(const std::string& text);
// The first "model name" (x86) or "Processor"/"cpu model"/"Model" (other machines),
// and the number of "processor" entries.
std::pair<std::string, int> cpuFromCpuInfo(const std::string& text);
// MemTotal in bytes; 0 when absent.
unsigned long long memTotalFromMemInfo(const std::string& text);

// The facts under root ("" for this machine); kernel from uname. Error 75 when
// none of the three files can be read.
std::vector<std::pair<std::string, std::string>> readSystemInfo(const std::string& root);

}  // namespace dalvera::platform
