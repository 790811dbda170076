#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/DbxStore.h"

namespace lumbrook::cli {

// A mistake in how the tool was called; reported with the usage text and exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The arguments after the command name, with the options the command understands
// taken out by the helpers below.
class Args {
public:
    explicit Args(std::vector<std::string> args) : items(std::move(args)) {}

    // Removes "--name" and reports whether it was there.
    bool takeFlag(std::string_view name);
    // Removes "--name VALUE" (or "--name=VALUE") and returns VALUE.
    std::optional<std::string> takeOption(std::string_view name);
    // The remaining arguments; any left-over "--option" is a usage error.
    std::vector<std::string> positionals() const;

private:
    std::vector<std::string> items;
};

// Store texts are 8-bit in the store's code page; JSON wants UTF-8. Text that
// already is UTF-8 (a date text in the locale's) stays as it is.
std::string jsonText(const DbxStore& store, std::string_view bytes);
void printJsonLine(const nlohmann::ordered_json& value);

std::int32_t parseOffset(std::string_view text);

}  // namespace lumbrook::cli
