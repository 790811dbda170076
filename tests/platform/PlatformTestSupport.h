#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace lumbrook::test {

// The date-time value (days since 30 December 1899, the time of day as the
// fraction, counting away from zero before then) of a calendar date and time.
inline double dateTimeOf(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    using namespace std::chrono;
    const double days = static_cast<double>(
        (sys_days{year{y} / mo / d} - sys_days{year{1899} / December / 30}).count());
    const double time = (((h * 60.0 + mi) * 60 + s) * 1000 + ms) / 86'400'000.0;
    return days >= 0 ? days + time : days - time;
}

// Sets (or, with nullopt, removes) an environment variable for the life of the guard;
// TZ takes effect at once.
class EnvGuard {
  public:
    EnvGuard(std::string name, std::optional<std::string> value) : name(std::move(name)) {
        if (const char* current = std::getenv(this->name.c_str())) old = current;
        set(value);
    }
    ~EnvGuard() { set(old); }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

  private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
        if (name == "TZ") tzset();
    }
    std::string name;
    std::optional<std::string> old;
};

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumbrook-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& rel) const { return path + "/" + rel; }
    const std::string& str() const { return path; }

    void makeDirs(const std::string& rel) const {
        std::filesystem::create_directories(*this / rel);
    }
    void write(const std::string& rel, const std::string& bytes) const {
        std::ofstream(*this / rel, std::ios::binary) << bytes;
    }

  private:
    std::string path;
};

}  // namespace lumbrook::test
