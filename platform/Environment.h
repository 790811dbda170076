#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

using VariableLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Expands %NAME% references as Windows does: names compare without regard to case,
// an unknown name or an unpaired percent sign stays as it stands.
std::string expandEnvironmentStrings(std::string_view text, const VariableLookup& lookup);

// The process environment, looked up without regard to case.
std::optional<std::string> getEnvironmentVariableNoCase(std::string_view name);

}  // namespace lumbrook
