#pragma once

// Registry hives for tests: an empty hive of our own making (libhivex edits hives
// but cannot start one), then keys and values added through libhivex itself.

#include <string>
#include <utility>
#include <vector>

namespace lumbrook::test {

struct HiveValue {
    std::string name;
    std::string text;  // UTF-8
    enum Kind { String, ExpandString, Dword } kind = String;
    unsigned dword = 0;
};

struct HiveKey {
    std::string path;  // backslash-separated, below the root
    std::vector<HiveValue> values;
};

// Writes a hive holding keys (parents made as needed) to path; throws
// std::runtime_error when libhivex refuses.
void writeHive(const std::string& path, const std::vector<HiveKey>& keys);

}  // namespace lumbrook::test
