#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace lumbrook::test {

// Sets (or, with nullopt, removes) an environment variable for the life of the guard.
class TEnvGuard {
  public:
    TEnvGuard(std::string name, std::optional<std::string> value) : Name(std::move(name)) {
        if (const char* old = std::getenv(Name.c_str())) Old = old;
        Set(value);
    }
    ~TEnvGuard() { Set(Old); }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            setenv(Name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(Name.c_str());
        }
    }
    std::string Name;
    std::optional<std::string> Old;
};

// A fresh directory under the system's temporary directory, removed with its content.
class TTempDir {
  public:
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumbrook-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        Path = pattern;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::string operator/(const std::string& rel) const { return Path + "/" + rel; }
    const std::string& Str() const { return Path; }

    void MakeDirs(const std::string& rel) const {
        std::filesystem::create_directories(*this / rel);
    }
    void Write(const std::string& rel, const std::string& bytes) const {
        std::ofstream(*this / rel, std::ios::binary) << bytes;
    }

  private:
    std::string Path;
};

}  // namespace lumbrook::test
