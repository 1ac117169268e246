#include "platform/os/SystemInfo.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "runtime/Error.h"

namespace dalvera::platform {

namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// os-release values are shell words: "quoted", 'quoted' or bare, with \ escapes in double quotes.
std::string unquote(const std::string& v) {
    if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') return v.substr(1, v.size() - 2);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
        std::string out;
        for (size_t i = 1; i + 1 < v.size(); ++i) {
            if (v[i] == '\\' && i + 2 < v.size()) ++i;
            out += v[i];
        }
        return out;
    }
    return v;
}

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

}  // namespace

std::string osNameFromOsRelease(const std::string& text) {
    std::istringstream in(text);
    std::string line, pretty, name, version;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos || trim(line).rfind('#', 0) == 0) continue;
        std::string key = trim(line.substr(0, eq));
        std::string value = unquote(trim(line.substr(eq + 1)));
        if (key == "PRETTY_NAME") pretty = value;
        else if (key == "NAME") name = value;
        else if (key == "VERSION") version = value;
    }
    if (!pretty.empty()) return pretty;
    if (!version.empty()) return name.empty() ? version : name + " " + version;
    return name;
}

std::pair<std::string, int> cpuFromCpuInfo(const std::string& text) {
    std::istringstream in(text);
    std::string line, model;
    int count = 0;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = trim(line.substr(0, colon));
        std::string value = trim(line.substr(colon + 1));
        if (key == "processor") {
            // ARM kernels once wrote "Processor : ARMv7 ..." as the model, not a number.
            bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
            if (digits) ++count;
        }
        if (model.empty() && (key == "model name" || key == "Processor" || key == "cpu model" || key == "Model" ||
                              key == "cpu"))
            model = value;
    }
    return {model, count};
}

unsigned long long memTotalFromMemInfo(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MemTotal:", 0) != 0) continue;
        std::istringstream v(line.substr(9));
        unsigned long long amount = 0;
        std::string unit;
        if (!(v >> amount)) return 0;
        v >> unit;
        return unit == "kB" ? amount * 1024 : amount;
    }
    return 0;
}

std::vector<std::pair<std::string, std::string>> readSystemInfo(const std::string& root) {
    std::vector<std::pair<std::string, std::string>> facts;
    int read = 0;
    std::string text;
    // The distribution may keep only the vendor copy.
    if (readFile(root + "/etc/os-release", text) || readFile(root + "/usr/lib/os-release", text)) {
        ++read;
        std::string os = osNameFromOsRelease(text);
        if (!os.empty()) facts.emplace_back("os", os);
    }
    struct utsname u {};
    if (::uname(&u) == 0) facts.emplace_back("kernel", std::string(u.sysname) + " " + u.release + " (" + u.machine + ")");
    if (readFile(root + "/proc/cpuinfo", text)) {
        ++read;
        auto [model, count] = cpuFromCpuInfo(text);
        if (!model.empty()) facts.emplace_back("cpu", model);
        if (count > 0) facts.emplace_back("cpus", std::to_string(count));
    }
    if (readFile(root + "/proc/meminfo", text)) {
        ++read;
        if (auto bytes = memTotalFromMemInfo(text)) facts.emplace_back("memory", std::to_string(bytes));
    }
    if (read == 0) raise(75, "The system's facts cannot be read from " + (root.empty() ? std::string("/") : root) + ".");
    return facts;
}

}  // namespace dalvera::platform
