#pragma once

// What every command that reads folders says about the folder files it could not
// read whole: one line per file as it is read, and one summary at the end, after
// which the command exits 1 (mail may have been left behind).

#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "listing/FolderMessages.h"

namespace lumbrook::cli {

// A FILE argument for the commands that read a folder: a folder file, or a file the
// folder list names whose signature is gone with its first blocks (the recovery scan
// reads it all the same). Anything else is refused as folderFileArg refuses it.
StoreFileArg readableFolderFileArg(const MailStore& store, const std::string& arg);

class FolderReports {
  public:
    // Keeps a folder's report for the summary; one not read whole is also said
    // on stderr now, unless said already (the conversion says its own).
    void add(const FolderReport& report, bool sayNow = true);
    bool allWhole() const { return notWhole.empty(); }
    // The summary on stderr, when some folder was not read whole; status, or 1
    // for a status of 0 then.
    int finish(int status) const;

  private:
    std::vector<FolderReport> notWhole;
};

}  // namespace lumbrook::cli
