#pragma once

// lumbrook-cli's help texts and its manual page, both from the command table.

#include <iosfwd>
#include <string_view>

#include "cli/Commands.h"

namespace lumbrook::cli {

// lumbrook-cli --help: the synopsis and every command.
void printUsage(std::ostream& out);
// lumbrook-cli COMMAND --help: its synopsis, options, exit codes, environment, examples.
void printCommandHelp(std::ostream& out, const Command& command);

// The manual page lumbrook-cli(1), in man(7) markup.
void writeCliManPage(std::ostream& out, std::string_view version);
// The manual page of the window, lumbrook(1), from its --help text: the "usage:"
// lines are the synopsis, the rest its description.
void writeWindowManPage(std::ostream& out, std::string_view helpText, std::string_view version);

}  // namespace lumbrook::cli
