#pragma once

#include "cli/CliCommon.h"
#include "page/Page.h"
#include "store/MailStore.h"

namespace lumbrook::cli {

// Each command takes the arguments after its name and the store (located before the
// command runs; parse uses only its code page) and returns the exit code.
using CommandFn = int (*)(Args& args, const MailStore& store);

struct Command {
    const char* name;
    CommandFn run;
    const char* usage;  // arguments after the command name
    const char* summary;
};

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

// --head, --design NAME and --fields LIST, shared by render and export.
Design parseDesign(Args& args);

}  // namespace lumbrook::cli
