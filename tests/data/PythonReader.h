#pragma once
// Runs an independent reader (a Python module) on a saved file: the script is
// written to the scratch folder, its output lines are "kind|field|field...".
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace dalvera::testing {

struct PythonOutput {
    std::string skipReason;  // set when no interpreter has the module
    int status = -1;
    std::vector<std::vector<std::string>> lines;
    std::string raw;

    // Lines that are none of the script's own: the reader's warnings.
    std::string otherLines(const std::vector<std::string>& kinds) const {
        std::string out;
        for (const auto& l : lines) {
            bool known = l.empty() || (l.size() == 1 && l[0].empty());
            for (const auto& k : kinds) known = known || (l.size() > 1 && l[0] == k);
            if (!known) {
                for (const auto& f : l) out += f + "|";
                out += "\n";
            }
        }
        return out;
    }

    // The lines of a kind, without the kind.
    std::vector<std::vector<std::string>> of(const std::string& kind) const {
        std::vector<std::vector<std::string>> out;
        for (const auto& l : lines)
            if (!l.empty() && l[0] == kind) out.emplace_back(l.begin() + 1, l.end());
        return out;
    }
};

// The first interpreter on the path (or the system's own) that can import the module.
inline std::string pythonWith(const std::string& module) {
    for (const char* python : {"python3", "/usr/bin/python3"}) {
        std::string probe = std::string(python) + " -c 'import " + module + "' >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return python;
    }
    return {};
}

inline PythonOutput runPythonReader(const std::string& module, const std::string& folder, const std::string& script,
                                    const std::string& file) {
    PythonOutput out;
    std::string python = pythonWith(module);
    if (python.empty()) {
        out.skipReason = "no python3 with the module '" + module + "' (the package python3-" + module + ")";
        return out;
    }
    std::string path = folder + "/read_" + module + ".py";
    std::ofstream(path) << script;
    std::string command = python + " '" + path + "' '" + file + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.raw.append(buffer, n);
    out.status = pclose(pipe);
    size_t start = 0;
    while (start < out.raw.size()) {
        size_t end = out.raw.find('\n', start);
        if (end == std::string::npos) end = out.raw.size();
        std::vector<std::string> fields;
        std::string line = out.raw.substr(start, end - start);
        for (size_t p = 0;;) {
            size_t bar = line.find('|', p);
            fields.push_back(line.substr(p, bar == std::string::npos ? std::string::npos : bar - p));
            if (bar == std::string::npos) break;
            p = bar + 1;
        }
        out.lines.push_back(fields);
        start = end + 1;
    }
    return out;
}

}  // namespace dalvera::testing
