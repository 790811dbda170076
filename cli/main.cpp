// lumbrook-cli: the store, the message model and the page pipeline from the command line.
#include <cctype>
#include <clocale>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "cli/Help.h"
#include "store/MailStore.h"

namespace lumbrook::cli {
namespace {

// A setting that makes every command meaningless; reported in one line, with exit
// code 2.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The command a usage error is about, for the line that says where its help is.
std::string commandInHand;

int run(std::span<char*> argv) {
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv.begin() + 1, argv.end()));
    commandInHand = line.command;
    const Command* command = findCommand(line.command);
    if (line.help) {
        if (command) printCommandHelp(std::cout, *command);
        else printUsage(std::cout);
        return 0;
    }
    if (line.version) {
        std::cout << "lumbrook-cli " << LUMBROOK_VERSION << '\n';
        return 0;
    }
    if (!command) throw UsageError("no command given");
    // A code page iconv does not know would turn every text into the wrong
    // letters: the user hears of it before anything is read.
    Args args = line.args;
    const std::optional<std::string> codePageSetting = args.takeOption("--codepage");
    std::string problem;
    std::optional<CodePage> codePage = CodePage::fromEnvironmentIfSet(&problem);
    if (codePageSetting) {
        problem.clear();
        codePage = CodePage::fromSetting(*codePageSetting, &problem);
        if (!problem.empty()) problem = "unknown code page '" + problem + "' in --codepage";
    }
    if (!problem.empty()) throw SetupError(problem);
    const MailStore store = openStoreDetectingCodePage(line.storeDir, std::move(codePage));
    if (command->needsStore) requireStore(store);
    return command->run(args, store);
}

}  // namespace
}  // namespace lumbrook::cli

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::ios::sync_with_stdio(false);
    try {
        int rc = lumbrook::cli::run(std::span<char*>(argv, static_cast<std::size_t>(argc)));
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "lumbrook-cli: writing the output failed\n";
            return 1;
        }
        return rc;
    } catch (const lumbrook::cli::UsageError& e) {
        std::cout.flush();
        const std::string& command =
            e.command().empty() ? lumbrook::cli::commandInHand : e.command();
        std::cerr << "lumbrook-cli: " << e.what() << "\nSee 'lumbrook-cli " << command
                  << (command.empty() ? "" : " ") << "--help'.\n";
        return 2;
    } catch (const lumbrook::cli::SetupError& e) {
        std::cerr << "lumbrook-cli: " << e.what() << '\n';
        return 2;
    } catch (const lumbrook::LumbrookError& e) {
        std::cout.flush();
        std::cerr << "lumbrook-cli: " << lumbrook::cli::errorText(e) << '\n';
        // A directory without a folder list or folder files is most often a disk or a
        // profile that holds a store somewhere below it.
        if (const auto* open = dynamic_cast<const lumbrook::FileOpenError*>(&e)) {
            const std::filesystem::path missing(open->path());
            std::string name = missing.filename().string();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (name == "folders.dbx" && std::filesystem::is_directory(missing.parent_path()))
                std::cerr << "lumbrook-cli: " << missing.parent_path().string()
                          << " holds no store; 'lumbrook-cli find " << missing.parent_path().string()
                          << "' looks for the stores below it\n";
        }
        return 1;
    } catch (const std::exception& e) {
        std::cout.flush();
        const std::string_view text = e.what();
        std::cerr << (text.starts_with("lumbrook-cli: ") ? "" : "lumbrook-cli: ") << text << '\n';
        return 1;
    }
}
