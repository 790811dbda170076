#pragma once

#include "cli/CliCommon.h"

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

}  // namespace lumbrook::cli
