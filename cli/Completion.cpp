#include "cli/Completion.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace lumbrook::cli {

namespace {

// What an option's value is, for the shell to offer.
enum class ValueKind { None, Directory, File, Choice, Other };

struct OptionCompletion {
    std::string name;
    std::string help;
    ValueKind kind = ValueKind::None;
    std::vector<std::string> choices;  // for Choice, from the synopsis ("--format html|txt|same")
};

std::vector<std::string> choicesInUsage(const Command* c, const std::string& option) {
    if (!c) return {};
    std::istringstream in(c->usage);
    for (std::string word; in >> word;) {
        while (word.starts_with("[")) word.erase(0, 1);
        if (word != option || !(in >> word)) continue;
        while (!word.empty() && (word.back() == ']' || word.back() == '.')) word.pop_back();
        if (word.find('|') == std::string::npos) return {};
        std::vector<std::string> choices;
        std::istringstream parts(word);
        for (std::string part; std::getline(parts, part, '|');) choices.push_back(part);
        return choices;
    }
    return {};
}

OptionCompletion completionOf(const OptionInfo& o, const Command* c) {
    OptionCompletion out{o.name, o.help, ValueKind::None, {}};
    if (!o.valueName) return out;
    const std::string value = o.valueName;
    out.choices = choicesInUsage(c, o.name);
    if (!out.choices.empty()) out.kind = ValueKind::Choice;
    else if (value == "DIR" || value == "OUT") out.kind = ValueKind::Directory;
    else if (value == "PAGE" || value == "FILE") out.kind = ValueKind::File;
    else out.kind = ValueKind::Other;
    return out;
}

std::vector<OptionCompletion> optionsOf(const Command* c) {
    std::vector<OptionCompletion> out;
    if (c)
        for (const auto& o : c->options) out.push_back(completionOf(o, c));
    for (const auto& o : globalOptions()) out.push_back(completionOf(o, c));
    return out;
}

// Whether the command's words are files (FILE, MESSAGE), as far as the shell can tell.
bool takesFiles(const Command& c) {
    const std::string usage = c.usage;
    return usage.starts_with("FILE") || usage.starts_with("[MESSAGE]");
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

std::vector<std::string> valueOptionNames() {
    std::vector<std::string> names;
    const auto add = [&](const OptionInfo& o) {
        if (!o.valueName) return;
        for (const auto& n : names)
            if (n == o.name) return;
        names.push_back(o.name);
    };
    for (const auto& o : globalOptions()) add(o);
    for (const auto& c : commandTable())
        for (const auto& o : c.options) add(o);
    return names;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const auto& c : commandTable()) names.emplace_back(c.name);
    names.emplace_back("help");
    return names;
}

// Text between single quotes of a shell: each ' closes, escapes and reopens.
std::string singleQuoted(const std::string& text, const char* quoteEscape = "'\\''") {
    std::string out = "'";
    for (char ch : text) out += ch == '\'' ? std::string(quoteEscape) : std::string(1, ch);
    return out + "'";
}

}  // namespace

void writeBashCompletion(std::ostream& out) {
    std::string valueOptions;
    for (const auto& n : valueOptionNames()) valueOptions += (valueOptions.empty() ? "" : "|") + n;
    out << "# bash completion for lumbrook-cli, written from its command table.\n"
           "# File names may hold spaces: they are split at line ends only.\n"
           "_lumbrook_cli_files() {\n"
           "    local IFS=$'\\n'\n"
           "    COMPREPLY=($(compgen \"$1\" -- \"$cur\"))\n"
           "}\n"
           "_lumbrook_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local command= i\n"
           "    # bash splits --to=DIR into --to, = and DIR.\n"
           "    if [[ $cur == = ]]; then cur=; prev=${COMP_WORDS[COMP_CWORD-1]}; fi\n"
           "    if [[ $prev == = ]]; then prev=${COMP_WORDS[COMP_CWORD-2]}; fi\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            --) break ;;\n"
           "            " << valueOptions << ") [[ ${COMP_WORDS[i+1]} == = ]] && ((i++)); ((i++)) ;;\n"
           "            -*) ;;\n"
           "            help) [[ -z $command ]] && command=help ;;\n"
           "            *) [[ -z $command || $command == help ]] && { command=${COMP_WORDS[i]}; break; } ;;\n"
           "        esac\n"
           "    done\n"
           "    case $command:$prev in\n";
    for (const Command* c : [] {
             std::vector<const Command*> all{nullptr};
             for (const auto& c : commandTable()) all.push_back(&c);
             return all;
         }()) {
        for (const auto& o : optionsOf(c)) {
            if (o.kind == ValueKind::None) continue;
            out << "        " << (c ? c->name : "*") << ':' << o.name << ") ";
            switch (o.kind) {
                case ValueKind::Directory:
                    out << "_lumbrook_cli_files -d";
                    break;
                case ValueKind::File:
                    out << "_lumbrook_cli_files -f";
                    break;
                case ValueKind::Choice:
                    out << "COMPREPLY=($(compgen -W '" << joined(o.choices) << "' -- \"$cur\"))";
                    break;
                default:
                    out << "COMPREPLY=()";
            }
            out << "; return ;;\n";
        }
    }
    out << "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        local options\n"
           "        case $command in\n";
    for (const auto& c : commandTable()) {
        std::vector<std::string> names;
        for (const auto& o : optionsOf(&c)) names.push_back(o.name);
        out << "            " << c.name << ") options='" << joined(names) << "' ;;\n";
    }
    std::vector<std::string> global;
    for (const auto& o : optionsOf(nullptr)) global.push_back(o.name);
    out << "            *) options='" << joined(global) << "' ;;\n"
           "        esac\n"
           "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
           "    elif [[ -z $command || $command == help ]]; then\n"
           "        COMPREPLY=($(compgen -W '" << joined(commandNames()) << "' -- \"$cur\"))\n"
           "    else\n"
           "        case $command in\n";
    std::vector<std::string> fileCommands;
    for (const auto& c : commandTable())
        if (takesFiles(c)) fileCommands.emplace_back(c.name);
    std::string pattern;
    for (const auto& n : fileCommands) pattern += (pattern.empty() ? "" : "|") + n;
    out << "            " << pattern << ") _lumbrook_cli_files -f ;;\n"
           "        esac\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F _lumbrook_cli lumbrook-cli\n";
}

void writeZshCompletion(std::ostream& out) {
    const auto describe = [](const OptionCompletion& o) {
        std::string d = o.name;
        std::string help = o.help;
        return singleQuoted(d + ":" + help);
    };
    out << "#compdef lumbrook-cli\n"
           "# zsh completion for lumbrook-cli, written from its command table.\n"
           "_lumbrook_cli() {\n"
           "    local command i\n"
           "    local -a commands options\n"
           "    commands=(\n";
    for (const auto& c : commandTable())
        out << "        " << singleQuoted(std::string(c.name) + ":" + c.summary) << '\n';
    out << "        'help:the help of a command'\n    )\n"
           "    for ((i = 2; i < CURRENT; i++)); do\n"
           "        case $words[i] in\n"
           "            (--) break ;;\n"
           "            (";
    std::string valueOptions;
    for (const auto& n : valueOptionNames()) valueOptions += (valueOptions.empty() ? "" : "|") + n;
    out << valueOptions << ") ((i++)) ;;\n"
           "            (-*) ;;\n"
           "            (help) [[ -z $command ]] && command=help ;;\n"
           "            (*) if [[ -z $command || $command == help ]]; then command=$words[i]; break; fi ;;\n"
           "        esac\n"
           "    done\n"
           "    case $command:$words[CURRENT-1] in\n";
    std::vector<const Command*> all{nullptr};
    for (const auto& c : commandTable()) all.push_back(&c);
    for (const Command* c : all) {
        for (const auto& o : optionsOf(c)) {
            if (o.kind == ValueKind::None) continue;
            out << "        (" << (c ? c->name : "*") << ':' << o.name << ") ";
            switch (o.kind) {
                case ValueKind::Directory:
                    out << "_files -/";
                    break;
                case ValueKind::File:
                    out << "_files";
                    break;
                case ValueKind::Choice:
                    out << "compadd -- " << joined(o.choices);
                    break;
                default:
                    out << "_message " << singleQuoted(o.help);
            }
            out << "; return ;;\n";
        }
    }
    out << "    esac\n"
           "    case $command in\n";
    // The pattern for no command (*) last: zsh takes the first that matches.
    std::rotate(all.begin(), all.begin() + 1, all.end());
    for (const Command* c : all) {
        out << "        (" << (c ? c->name : "*") << ") options=(";
        for (const auto& o : optionsOf(c)) out << ' ' << describe(o);
        out << " ) ;;\n";
    }
    std::string pattern;
    for (const auto& c : commandTable())
        if (takesFiles(c)) pattern += (pattern.empty() ? "" : "|") + std::string(c.name);
    out << "    esac\n"
           "    if [[ $PREFIX == -* ]]; then\n"
           "        _describe -t options option options\n"
           "    elif [[ -z $command || $command == help ]]; then\n"
           "        _describe -t commands command commands\n"
           "    else\n"
           "        case $command in\n"
           "            (" << pattern << ") _files ;;\n"
           "        esac\n"
           "    fi\n"
           "}\n"
           "_lumbrook_cli \"$@\"\n";
}

void writeFishCompletion(std::ostream& out) {
    const auto quoted = [](const std::string& text) { return singleQuoted(text, "\\'"); };
    std::string commands = joined(commandNames());
    out << "# fish completion for lumbrook-cli, written from its command table.\n"
           "complete -c lumbrook-cli -f\n";
    for (const auto& c : commandTable())
        out << "complete -c lumbrook-cli -n " << quoted("not __fish_seen_subcommand_from " + commands) << " -a "
            << c.name << " -d " << quoted(c.summary) << '\n';
    out << "complete -c lumbrook-cli -n " << quoted("not __fish_seen_subcommand_from " + commands)
        << " -a help -d 'the help of a command'\n";
    out << "complete -c lumbrook-cli -n '__fish_seen_subcommand_from help' -a " << quoted(joined(commandNames()))
        << '\n';
    const auto option = [&](const OptionCompletion& o, const std::string& condition) {
        out << "complete -c lumbrook-cli";
        if (!condition.empty()) out << " -n " << quoted(condition);
        out << " -l " << o.name.substr(2);
        switch (o.kind) {
            case ValueKind::None:
                break;
            case ValueKind::Directory:
                out << " -x -a '(__fish_complete_directories)'";
                break;
            case ValueKind::File:
                out << " -r -F";
                break;
            case ValueKind::Choice:
                out << " -x -a " << quoted(joined(o.choices));
                break;
            case ValueKind::Other:
                out << " -x";
                break;
        }
        out << " -d " << quoted(o.help) << '\n';
    };
    for (const auto& o : globalOptions()) option(completionOf(o, nullptr), "");
    for (const auto& c : commandTable()) {
        const std::string condition = std::string("__fish_seen_subcommand_from ") + c.name;
        for (const auto& o : c.options) option(completionOf(o, &c), condition);
        if (takesFiles(c)) out << "complete -c lumbrook-cli -n " << quoted(condition) << " -F\n";
    }
}

}  // namespace lumbrook::cli
