#pragma once
// A scratch folder removed with its contents, and an environment variable set
// for a test's lifetime.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace dalvera::testing {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "dalvera-test") {
        std::string t = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        path_ = ::mkdtemp(t.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value) ::setenv(name, value, 1); else ::unsetenv(name);
    }
    ~EnvVar() {
        if (had_) ::setenv(name_.c_str(), old_.c_str(), 1); else ::unsetenv(name_.c_str());
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

}  // namespace dalvera::testing
