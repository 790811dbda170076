#include "cli/CliCommon.h"

#include <charconv>
#include <cstdio>
#include <iostream>

#include "platform/CodePage.h"

namespace lumbrook::cli {

bool TArgs::TakeFlag(std::string_view name) {
    for (auto it = Items.begin(); it != Items.end(); ++it) {
        if (*it == name) {
            Items.erase(it);
            return true;
        }
    }
    return false;
}

std::optional<std::string> TArgs::TakeOption(std::string_view name) {
    const std::string prefix = std::string(name) + "=";
    for (auto it = Items.begin(); it != Items.end(); ++it) {
        if (*it == name) {
            if (it + 1 == Items.end()) throw EUsageError(std::string(name) + " needs a value");
            std::string value = *(it + 1);
            Items.erase(it, it + 2);
            return value;
        }
        if (it->starts_with(prefix)) {
            std::string value = it->substr(prefix.size());
            Items.erase(it);
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> TArgs::Positionals() const {
    for (const auto& item : Items) {
        if (item.size() > 1 && item[0] == '-' && item != "-")
            throw EUsageError("unknown option " + item);
    }
    return Items;
}

std::string JsonText(std::string_view bytes) { return ToUtf8(bytes); }

void PrintJsonLine(const nlohmann::ordered_json& value) {
    std::cout << value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

std::int32_t ParseOffset(std::string_view text) {
    std::int32_t value = 0;
    int base = 10;
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        throw EUsageError("not an offset: " + std::string(text));
    return value;
}

}  // namespace lumbrook::cli
