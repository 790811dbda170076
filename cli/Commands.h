#pragma once

#include "cli/CliCommon.h"
#include "render/Render.h"

namespace lumbrook::cli {

// Each command takes the arguments after its name and returns the exit code.
using TCommandFn = int (*)(TArgs& args);

struct TCommand {
    const char* Name;
    TCommandFn Run;
    const char* Usage;  // arguments after the command name
    const char* Summary;
};

int CmdFolders(TArgs& args);
int CmdMessages(TArgs& args);
int CmdText(TArgs& args);
int CmdRender(TArgs& args);
int CmdSave(TArgs& args);
int CmdExport(TArgs& args);
int CmdParse(TArgs& args);

// --head, --design NAME and --fields LIST, shared by render and export.
TDesign ParseDesign(TArgs& args);

}  // namespace lumbrook::cli
