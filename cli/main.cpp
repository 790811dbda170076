// lumbrook-cli: the store, the message model and the page pipeline from the command line.
#include <algorithm>
#include <clocale>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "store/MailStore.h"

namespace lumbrook::cli {
namespace {

// A setting that makes every command meaningless; reported without the usage text,
// with exit code 2.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const Command Commands[] = {
    {"folders", cmdFolders, "", "the folder list, one JSON object per line"},
    {"messages", cmdMessages, "FILE [--deleted]", "the message records of a folder file, one JSON object per line"},
    {"text", cmdText, "FILE OFFSET", "the raw text of the message at a data offset"},
    {"render", cmdRender, "FILE OFFSET --out PAGE [--head] [--design NAME] [--fields LIST]",
     "the message's page as the preview renders it, Content-ID files beside it"},
    {"save", cmdSave, "FILE --to DIR [--date] [--deleted] [OFFSET...]",
     "the raw messages as .eml files (all messages when no offset is given)"},
    {"export", cmdExport,
     "FILE --to DIR [--format html|txt|same] [--date] [--attachments] [--head] [--design NAME] [--fields LIST] "
     "[--deleted] [OFFSET...]",
     "the messages as .HTM pages or .txt files (attachments into <page>_files/ with --attachments)"},
    {"parse", cmdParse, "[FILE]", "the message model's parts, bodies and attachments of a raw message (stdin without FILE)"},
    {"convert", cmdConvert, "--to OUT [--format mbox|maildir|eml] [--folder NAME]... [--no-status] [--deleted]",
     "the whole store (or the named folders) as mbox, Maildir or .eml files, folder tree kept"},
    {"index", cmdIndex, "", "builds or updates the store's search index and says what it did"},
    {"search", cmdSearch, "QUERY [--limit N]", "messages matching QUERY, best first, one JSON object per line"},
    {"attachments", cmdAttachments, "FILE OFFSET [--to DIR] [--index N]...",
     "a message's attachments, one JSON object per line, or written into DIR"},
    {"recover", cmdRecover, "FILE [--to DIR]",
     "messages the folder file holds but its index does not list (orphaned, deleted)"},
    {"upload", cmdUpload, "--to imaps://USER@HOST[:PORT][/PREFIX] [--ca FILE] [--insecure] [--folder NAME]... [--deleted] [--dry-run]", "the store (or the named folders) into a mail account over IMAP, flags and dates kept; resumable (--deleted: the deleted messages the files still hold too)"},
};

void printUsage(std::ostream& out) {
    out << "Usage: lumbrook-cli [--store DIR] COMMAND [ARGS...]\n\n"
           "Reads an Outlook Express 5/6 mail store (a directory of .dbx files). Without --store\n"
           "the store of the current user is found through the registry (Wine's user.reg, or the\n"
           "file named by LUMBROOK_REGISTRY). The store is only ever read.\n\nCommands:\n";
    for (const auto& c : Commands) {
        std::string head = std::string(c.name) + (*c.usage ? " " : "") + c.usage;
        out << "  " << head << std::string(head.size() < 34 ? 34 - head.size() : 1, ' ')
            << c.summary << '\n';
    }
}

void printCommandUsage(std::ostream& out, const Command& c) {
    out << "Usage: lumbrook-cli [--store DIR] " << c.name << (*c.usage ? " " : "") << c.usage
        << "\n\n" << c.summary
        << ".\nFILE is a folder file of the store, or a path when it holds a slash.\n";
}

bool isHelp(const std::string& item) {
    return item == "-h" || item == "--help";
}

// Commands that work on the store as a whole; the others name a file, or none.
bool needsStore(std::string_view name) {
    return name == "convert" || name == "index" || name == "search";
}

int run(std::span<char*> argv) {
    std::vector<std::string> items(argv.begin() + 1, argv.end());
    // Global options come before the command name.
    std::optional<std::string> storeDir;
    std::size_t i = 0;
    while (i < items.size() && items[i].starts_with("-")) {
        if (isHelp(items[i])) {
            printUsage(std::cout);
            return 0;
        }
        if (items[i] == "--version") {
            std::cout << "lumbrook-cli 1.0\n";
            return 0;
        }
        if (items[i] == "--store" && i + 1 < items.size()) {
            storeDir = items[i + 1];
            i += 2;
        } else if (items[i].starts_with("--store=")) {
            storeDir = items[i].substr(8);
            i += 1;
        } else {
            throw UsageError("unknown option " + items[i]);
        }
    }
    if (i == items.size()) throw UsageError("no command given");
    for (const auto& c : Commands) {
        if (items[i] == c.name) {
            std::vector<std::string> rest(items.begin() + i + 1, items.end());
            if (std::any_of(rest.begin(), rest.end(), isHelp)) {
                printCommandUsage(std::cout, c);
                return 0;
            }
            // A code page iconv does not know would turn every text into the wrong
            // letters: the user hears of it before anything is read.
            std::string problem;
            CodePage codePage = CodePage::fromEnvironment(&problem);
            if (!problem.empty()) throw SetupError(problem);
            Args args(std::move(rest));
            const MailStore store = openStore(storeDir, std::move(codePage));
            if (needsStore(c.name)) requireStore(store);
            return c.run(args, store);
        }
    }
    throw UsageError("unknown command " + items[i]);
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
        std::cerr << "lumbrook-cli: " << e.what() << "\n\n";
        lumbrook::cli::printUsage(std::cerr);
        return 2;
    } catch (const lumbrook::cli::SetupError& e) {
        std::cerr << "lumbrook-cli: " << e.what() << '\n';
        return 2;
    } catch (const lumbrook::LumbrookError& e) {
        std::cout.flush();
        std::cerr << "lumbrook-cli: " << lumbrook::cli::errorText(e) << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cout.flush();
        const std::string_view text = e.what();
        std::cerr << (text.starts_with("lumbrook-cli: ") ? "" : "lumbrook-cli: ") << text << '\n';
        return 1;
    }
}
