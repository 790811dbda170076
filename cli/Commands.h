#pragma once

#include <string_view>
#include <vector>

#include "cli/Args.h"
#include "cli/CliCommon.h"
#include "page/Page.h"
#include "store/MailStore.h"

namespace lumbrook::cli {

// Each command takes the arguments after its name and the store (located before the
// command runs; parse uses only its code page) and returns the exit code.
using CommandFn = int (*)(Args& args, const MailStore& store);

// One command: how it is called and everything its help and manual page say.
// A new command is one entry in the table of cli/CommandTable.cpp.
struct Command {
    const char* name;
    CommandFn run;
    const char* usage;        // the words after the command name, as the synopsis shows them
    const char* summary;      // one line in the list of commands
    const char* description;  // what it does, for its help
    std::vector<OptionInfo> options;
    std::vector<const char*> examples;  // command lines after "lumbrook-cli "
    bool needsStore = false;            // works on the store as a whole
    bool textWords = false;             // its words are text: "-word" after the first is text
};

const std::vector<Command>& commandTable();
// The options every command takes, before or after its name.
const std::vector<OptionInfo>& globalOptions();
const Command* findCommand(std::string_view name);

int cmdFolders(Args& args, const MailStore& store);
int cmdMessages(Args& args, const MailStore& store);
int cmdText(Args& args, const MailStore& store);
int cmdRender(Args& args, const MailStore& store);
int cmdSave(Args& args, const MailStore& store);
int cmdExport(Args& args, const MailStore& store);
int cmdParse(Args& args, const MailStore& store);
int cmdConvert(Args& args, const MailStore& store);
int cmdIndex(Args& args, const MailStore& store);
int cmdSearch(Args& args, const MailStore& store);
int cmdRecover(Args& args, const MailStore& store);
int cmdAttachments(Args& args, const MailStore& store);
int cmdUpload(Args& args, const MailStore& store);
int cmdFind(Args& args, const MailStore& store);

// --head, --design NAME and --fields LIST, shared by render and export.
Design parseDesign(Args& args);

}  // namespace lumbrook::cli
