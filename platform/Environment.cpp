#include "platform/Environment.h"

#include <unistd.h>

#include "base/Ascii.h"

namespace lumbrook {

std::optional<std::string> getEnvironmentVariableNoCase(std::string_view name) {
    // Windows names never hold '=', and an empty name names nothing.
    if (name.empty() || name.find('=') != std::string_view::npos) return std::nullopt;
    std::optional<std::string> folded;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string_view e(*entry);
        auto eq = e.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view n = e.substr(0, eq);
        // The exact spelling wins where Linux holds several that differ in case.
        if (n == name) return std::string(e.substr(eq + 1));
        if (!folded && equalsNoCase(n, name)) folded = std::string(e.substr(eq + 1));
    }
    return folded;
}

std::string expandEnvironmentStrings(std::string_view text, const VariableLookup& lookup) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        std::string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value;
        if (!name.empty()) value = lookup(name);
        if (value) {
            out += *value;
            pos = close + 1;
        } else {
            // An unknown name keeps its first percent sign; the second one may open
            // the next reference, as in Windows.
            out += '%';
            out.append(name);
            pos = close;
        }
    }
    return out;
}

}  // namespace lumbrook
