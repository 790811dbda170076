#pragma once

#include "cli/CliCommon.h"
#include "render/Render.h"

namespace lumbrook::cli {

// Each command takes the arguments after its name and returns the exit code.
using CommandFn = int (*)(Args& args);

struct Command {
    const char* name;
    CommandFn run;
    const char* usage;  // arguments after the command name
    const char* summary;
};

int cmdFolders(Args& args);
int cmdMessages(Args& args);
int cmdText(Args& args);
int cmdRender(Args& args);
int cmdSave(Args& args);
int cmdExport(Args& args);
int cmdParse(Args& args);

// --head, --design NAME and --fields LIST, shared by render and export.
Design parseDesign(Args& args);

}  // namespace lumbrook::cli
