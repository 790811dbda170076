#pragma once

// The command line's grammar: options before or after the command name, "--name
// VALUE" and "--name=VALUE", "--" ending the options, each option known to the
// command that takes it (cli/CommandTable.cpp) so that a value is never taken
// for a word of the command's own.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumbrook::cli {

// A mistake in how the tool was called: reported in two lines (what was wrong,
// where the help is) with exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    UsageError(const std::string& what, std::string command)
        : std::runtime_error(what), commandName(std::move(command)) {}
    // The command whose help tells more; empty when unknown here.
    const std::string& command() const { return commandName; }

private:
    std::string commandName;
};

struct OptionInfo {
    const char* name;       // "--to"
    const char* valueName;  // "DIR"; nullptr for an option without a value
    const char* help;
};

// The arguments after the command name as the grammar split them: the command
// takes out the options it understands with the helpers below.
class Args {
public:
    Args() = default;
    Args(std::vector<std::pair<std::string, std::string>> options, std::vector<std::string> words)
        : options(std::move(options)), words(std::move(words)) {}

    // Removes "--name" and reports whether it was there.
    bool takeFlag(std::string_view name);
    // Removes the first "--name VALUE" (or "--name=VALUE") and returns VALUE;
    // called again, the next one.
    std::optional<std::string> takeOption(std::string_view name);
    // The words that are no options (the grammar refused unknown options before).
    std::vector<std::string> positionals() const { return words; }
    // The same for a command whose words are text (a query): there a word starting
    // with "-" after its first word is text too ("invoice -report").
    std::vector<std::string> textWords() const { return words; }

private:
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)
    std::vector<std::string> words;
};

// What the words of a command line are: the command's name (empty when none was
// given), the global options, help asked for, and the command's own arguments.
struct CommandLine {
    std::string command;
    std::optional<std::string> storeDir;
    bool help = false;
    bool version = false;
    Args args;
};

struct Command;

// Splits the words after the program's name; a mistake is a UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& words);

// The name among names that typed is most likely a slip of ("serch", "--stor"),
// empty when none is near enough.
std::string nearestName(std::string_view typed, const std::vector<std::string>& names);

}  // namespace lumbrook::cli
