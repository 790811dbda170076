#include "cli/Help.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace lumbrook::cli {

namespace {

struct Entry {
    const char* name;
    const char* text;
};

// The argument words of the synopses.
const Entry ArgumentWords[] = {
    {"FILE", "a folder file of the store (Inbox.dbx), or a path when it holds a slash"},
    {"OFFSET", "a message's data offset, as messages and recover list it (decimal, or hex with 0x)"},
    {"QUERY", "the words to find"},
    {"PATH", "a directory to look below: a mounted disk, a Windows profile, any directory"},
    {"MESSAGE", "a file holding one raw message; standard input when not given, or -"},
};

const Entry ExitCodes[] = {
    {"0", "everything was read whole and written"},
    {"1", "something was not whole or not written (said on standard error), or the command failed"},
    {"2", "the command line was wrong"},
    {"130", "interrupted by Ctrl+C (SIGINT); 143 when stopped by SIGTERM"},
};

const Entry EnvironmentVariables[] = {
    {"LUMBROOK_CODEPAGE", "the Windows code page of the store's texts (1250, 1251 ...) over the one detected; "
                          "--codepage goes first"},
    {"LUMBROOK_REGISTRY", "the registry file (Wine's user.reg or a .reg export) naming the store when "
                          "--store is not given"},
    {"WINEPREFIX", "the Wine prefix whose user.reg is read when LUMBROOK_REGISTRY is not set (~/.wine)"},
    {"XDG_CACHE_HOME", "where the search index lives, in lumbrook/ (~/.cache)"},
    {"LUMBROOK_IMAP_PASSWORD", "upload: the account's password (else ~/.netrc, else a prompt)"},
    {"LUMBROOK_IMAP_TOKEN", "upload: an OAuth2 bearer token, for XOAUTH2 instead of a password"},
    {"XDG_STATE_HOME", "upload: where the record of what each account took lives, in lumbrook/upload/"},
    {"TZ", "the time zone of the local times (Date); each date in the offset in force on that date"},
    {"LC_ALL, LC_TIME", "the language of date texts"},
};

std::vector<std::string> argumentWords(const Command& c) {
    std::vector<std::string> found;
    std::istringstream in(c.usage);
    for (std::string word; in >> word;) {
        while (word.starts_with("[")) word.erase(0, 1);
        if (word.starts_with("-")) {
            // An option's value ("--to DIR") is told with the option.
            if (!word.ends_with("]")) in >> word;
            continue;
        }
        std::string bare;
        for (char ch : word) {
            if (ch < 'A' || ch > 'Z') break;
            bare += ch;
        }
        for (const auto& e : ArgumentWords)
            if (bare == e.name && std::find(found.begin(), found.end(), bare) == found.end())
                found.push_back(bare);
    }
    return found;
}

const char* argumentText(const std::string& word) {
    for (const auto& e : ArgumentWords)
        if (word == e.name) return e.text;
    return "";
}

std::string optionHead(const OptionInfo& o) {
    std::string head = o.name;
    if (head == "--help") head = "-h, --help";
    if (o.valueName) head += std::string(" ") + o.valueName;
    return head;
}

constexpr std::size_t LineWidth = 79;

// Text broken into lines of at most width letters (UTF-8 sequences count once),
// each after indent spaces but the first.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t firstColumn = 0) {
    std::string out;
    std::size_t column = firstColumn;
    bool lineHasWord = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        const auto letters = static_cast<std::size_t>(
            std::count_if(word.begin(), word.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        if (lineHasWord && column + 1 + letters > LineWidth) {
            out += '\n' + std::string(indent, ' ');
            column = indent;
            lineHasWord = false;
        }
        if (lineHasWord) {
            out += ' ';
            ++column;
        }
        out += word;
        column += letters;
        lineHasWord = true;
    }
    return out;
}

void printRows(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t width = 0;
    for (const auto& r : rows) width = std::max(width, r.first.size());
    width = std::min<std::size_t>(width, 20);
    const std::size_t indent = 2 + width + 2;
    for (const auto& r : rows) {
        out << "  " << r.first;
        if (r.first.size() > width) out << "\n  " << std::string(width, ' ');
        else out << std::string(width - r.first.size(), ' ');
        out << "  " << wrapped(r.second, indent, indent) << '\n';
    }
}

template <typename List>
std::vector<std::pair<std::string, std::string>> rowsOf(const List& entries) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const Entry& e : entries) rows.emplace_back(e.name, e.text);
    return rows;
}

std::string synopsis(const Command& c) {
    return std::string("lumbrook-cli [--store DIR] ") + c.name + (*c.usage ? " " : "") + c.usage;
}

// man(7) text: backslashes escaped, dashes as minus signs, no line that begins
// as a request.
std::string roff(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\') out += "\\e";
        else if (ch == '-') out += "\\-";
        else out += ch;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

void writeManHeader(std::ostream& out, std::string_view name, std::string_view version,
                    std::string_view title) {
    out << ".\\\" Written by " << name << "'s build from its help texts; changes belong there.\n"
        << ".TH " << name << " 1 \"\" \"Lumbrook " << version << "\" \"User Commands\"\n"
        << ".SH NAME\n" << roff(name) << " \\- " << roff(title) << '\n';
}

void writeManEntries(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows) {
    for (const auto& r : rows) out << ".TP\n.B " << roff(r.first) << '\n' << roff(r.second) << '\n';
}

}  // namespace

void printUsage(std::ostream& out) {
    out << "Usage: lumbrook-cli [--store DIR] COMMAND [ARGS...]\n"
           "       lumbrook-cli help COMMAND\n\n"
           "Reads an Outlook Express 5/6 mail store (a directory of .dbx files) and gets the\n"
           "mail out. The store is only ever read. Without --store the current user's store\n"
           "is found through Wine's registry. Options may come before or after the command.\n"
           "\nCommands:\n";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& c : commandTable()) rows.emplace_back(c.name, c.summary);
    printRows(out, rows);
    out << "\nOptions:\n";
    rows.clear();
    for (const auto& o : globalOptions()) rows.emplace_back(optionHead(o), o.help);
    printRows(out, rows);
    out << "\nlumbrook-cli COMMAND --help tells a command's options, exit codes and environment.\n";
}

void printCommandHelp(std::ostream& out, const Command& c) {
    out << "Usage: " << wrapped(synopsis(c), 8, 7) << "\n\n" << wrapped(c.description, 0) << '\n';
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& word : argumentWords(c)) rows.emplace_back(word, argumentText(word));
    if (!rows.empty()) {
        out << "\nArguments:\n";
        printRows(out, rows);
    }
    rows.clear();
    for (const auto& o : c.options) rows.emplace_back(optionHead(o), o.help);
    for (const auto& o : globalOptions()) rows.emplace_back(optionHead(o), o.help);
    out << "\nOptions:\n";
    printRows(out, rows);
    out << "\nExit status:\n";
    printRows(out, rowsOf(ExitCodes));
    out << "\nEnvironment:\n";
    printRows(out, rowsOf(EnvironmentVariables));
    out << "\nExamples:\n";
    for (const char* e : c.examples) out << "  lumbrook-cli " << e << '\n';
}

void writeCliManPage(std::ostream& out, std::string_view version) {
    writeManHeader(out, "lumbrook-cli", version, "read, convert and rescue Outlook Express mail stores");
    out << ".SH SYNOPSIS\n";
    for (const auto& c : commandTable()) out << ".B " << roff(synopsis(c)) << "\n.br\n";
    out << ".B lumbrook\\-cli help\n.I COMMAND\n"
        << ".SH DESCRIPTION\n"
        << roff("lumbrook-cli reads an Outlook Express 5/6 mail store (a directory of .dbx files) and gets "
                "the mail out: lists as JSON lines, raw messages, pages, .eml files, mbox and Maildir. The "
                "store is only ever read; no file is ever replaced. Options may come before or after the "
                "command; --name=VALUE and --name VALUE are the same, and -- ends the options.")
        << "\n.SH COMMANDS\n";
    for (const auto& c : commandTable()) {
        out << ".SS " << roff(synopsis(c).substr(std::string("lumbrook-cli [--store DIR] ").size())) << '\n'
            << roff(c.description) << '\n';
        std::vector<std::pair<std::string, std::string>> rows;
        for (const auto& word : argumentWords(c)) rows.emplace_back(word, argumentText(word));
        for (const auto& o : c.options) rows.emplace_back(optionHead(o), o.help);
        writeManEntries(out, rows);
        out << ".PP\nExamples:\n";
        for (const char* e : c.examples) out << ".br\n.B " << roff(std::string("lumbrook-cli ") + e) << '\n';
    }
    out << ".SH OPTIONS\n";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& o : globalOptions()) rows.emplace_back(optionHead(o), o.help);
    writeManEntries(out, rows);
    out << ".SH EXIT STATUS\n";
    writeManEntries(out, rowsOf(ExitCodes));
    out << ".SH ENVIRONMENT\n";
    writeManEntries(out, rowsOf(EnvironmentVariables));
    out << ".SH SEE ALSO\n.BR lumbrook (1)\n";
}

void writeWindowManPage(std::ostream& out, std::string_view helpText, std::string_view version) {
    writeManHeader(out, "lumbrook", version, "viewer for Outlook Express mail stores");
    std::istringstream in{std::string(helpText)};
    std::vector<std::string> synopsisLines;
    std::string description;
    for (std::string line; std::getline(in, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos) {
            if (!description.empty()) description += "\n.PP\n";
            continue;
        }
        std::string text = line.substr(start);
        if (text.starts_with("usage: ")) text = text.substr(7);
        if (text.starts_with("lumbrook ") && description.empty()) synopsisLines.push_back(text);
        else description += (description.empty() || description.ends_with('\n') ? "" : "\n") + roff(text);
    }
    out << ".SH SYNOPSIS\n";
    for (const auto& s : synopsisLines) out << ".B " << roff(s) << "\n.br\n";
    out << ".SH DESCRIPTION\n" << description << '\n' << ".SH ENVIRONMENT\n";
    writeManEntries(out, rowsOf(EnvironmentVariables));
    out << ".SH FILES\n";
    writeManEntries(out, {{"$XDG_CONFIG_HOME/lumbrook/options.dat", "the window's settings (~/.config)"},
                          {"$XDG_CACHE_HOME/lumbrook/", "working files and the search index (~/.cache)"}});
    out << ".SH SEE ALSO\n.BR lumbrook\\-cli (1)\n";
}

}  // namespace lumbrook::cli
