#pragma once

#include "cli/CliCommon.h"
#include "render/Render.h"

namespace lumbrook::cli {

// Each command takes the arguments after its name and returns the exit code.
using TCommandFn = int (*)(TArgs& args);

struct TCommand {
    const char* name;
    TCommandFn run;
    const char* usage;  // arguments after the command name
    const char* summary;
};

int cmdFolders(TArgs& args);
int cmdMessages(TArgs& args);
int cmdText(TArgs& args);
int cmdRender(TArgs& args);
int cmdSave(TArgs& args);
int cmdExport(TArgs& args);
int cmdParse(TArgs& args);

// --head, --design NAME and --fields LIST, shared by render and export.
TDesign parseDesign(TArgs& args);

}  // namespace lumbrook::cli
