#include "cli/Args.h"

#include <algorithm>

#include "cli/Commands.h"

namespace lumbrook::cli {

bool Args::takeFlag(std::string_view name) {
    const auto it = std::find_if(options.begin(), options.end(), [&](const auto& o) { return o.first == name; });
    if (it == options.end()) return false;
    options.erase(it);
    return true;
}

std::optional<std::string> Args::takeOption(std::string_view name) {
    const auto it = std::find_if(options.begin(), options.end(), [&](const auto& o) { return o.first == name; });
    if (it == options.end()) return std::nullopt;
    std::string value = std::move(it->second);
    options.erase(it);
    return value;
}

namespace {

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool looksLikeOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

const OptionInfo* findOption(const std::vector<OptionInfo>& list, std::string_view name) {
    for (const auto& o : list)
        if (name == o.name) return &o;
    return nullptr;
}

// Whether an option of any command takes a value: before the command's name is
// known, the word after such an option is its value, not the command.
bool someOptionTakesValue(std::string_view name) {
    if (const OptionInfo* o = findOption(globalOptions(), name)) return o->valueName != nullptr;
    for (const auto& c : commandTable())
        if (const OptionInfo* o = findOption(c.options, name)) return o->valueName != nullptr;
    return false;
}

std::string withSuggestion(std::string text, std::string_view typed, const std::vector<std::string>& names) {
    const std::string near = nearestName(typed, names);
    return near.empty() ? text : text + " (did you mean " + near + "?)";
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names{"help"};
    for (const auto& c : commandTable()) names.emplace_back(c.name);
    return names;
}

}  // namespace

std::string nearestName(std::string_view typed, const std::vector<std::string>& names) {
    std::string best;
    // A slip is a letter or two; a short word two letters away is another word.
    std::size_t bestDistance = std::max<std::size_t>(1, std::min<std::size_t>(2, typed.size() / 3));
    bool found = false;
    for (const auto& name : names) {
        const std::size_t d = editDistance(typed, name);
        if (d <= bestDistance && (!found || d < bestDistance)) {
            best = name;
            bestDistance = d;
            found = true;
        }
    }
    // A word the typed one begins ("--attach" for "--attachments") is as near.
    if (!found && typed.size() >= 3) {
        for (const auto& name : names)
            if (name.starts_with(typed)) return name;
    }
    return best;
}

CommandLine parseCommandLine(const std::vector<std::string>& words) {
    CommandLine line;
    // The command is the first word that is neither an option nor an option's value.
    std::size_t commandAt = words.size();
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--") {
            if (i + 1 < words.size()) commandAt = i + 1;
            break;
        }
        if (!looksLikeOption(w)) {
            if (w == "help") {
                line.help = true;
                continue;
            }
            commandAt = i;
            break;
        }
        if (w.find('=') == std::string::npos && someOptionTakesValue(w)) ++i;
    }
    const Command* command = nullptr;
    if (commandAt < words.size()) {
        command = findCommand(words[commandAt]);
        if (!command)
            throw UsageError(withSuggestion("unknown command " + words[commandAt], words[commandAt], commandNames()));
        line.command = command->name;
    }

    std::vector<std::string> known;
    for (const auto& o : globalOptions()) known.emplace_back(o.name);
    if (command)
        for (const auto& o : command->options) known.emplace_back(o.name);

    // Asked for help, one is shown whatever else is wrong with the line.
    const auto dashes = std::find(words.begin(), words.end(), "--");
    const bool helpAsked = line.help || std::find_if(words.begin(), dashes, [](const std::string& w) {
                                            return w == "-h" || w == "--help";
                                        }) != dashes;

    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (i == commandAt) continue;
        if (optionsEnded || !looksLikeOption(w)) {
            if (i < commandAt && w == "help") continue;
            positional.push_back(w);
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
            continue;
        }
        if (w == "-h" || w == "--help") {
            line.help = true;
            continue;
        }
        const std::size_t equals = w.find('=');
        const std::string name = w.substr(0, equals);
        const OptionInfo* declared = findOption(globalOptions(), name);
        if (!declared && command) declared = findOption(command->options, name);
        if (!declared) {
            if (command && command->textWords && !positional.empty()) {
                positional.push_back(w);
                continue;
            }
            if (helpAsked) continue;
            throw UsageError(withSuggestion("unknown option " + name, name, known), line.command);
        }
        std::string value;
        if (!declared->valueName) {
            if (equals != std::string::npos && !helpAsked) throw UsageError(name + " takes no value", line.command);
        } else if (equals != std::string::npos) {
            value = w.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else if (!helpAsked) {
            throw UsageError(name + " needs a value: " + name + " " + declared->valueName, line.command);
        }
        if (name == "--version") line.version = true;
        else if (name == "--store") line.storeDir = value;
        else options.emplace_back(name, std::move(value));
    }
    // Words before the command's name that are no options ("help" aside) cannot be.
    line.help = helpAsked;
    if (!command && !positional.empty())
        throw UsageError(withSuggestion("unknown command " + positional[0], positional[0], commandNames()));
    line.args = Args(std::move(options), std::move(positional));
    return line;
}

}  // namespace lumbrook::cli
