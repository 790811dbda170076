#pragma once

// What every command that reads folders says about the folder files it could not
// read whole: one line per file as it is read, and one summary at the end, after
// which the command exits 1 (mail may have been left behind).

#include <string>
#include <vector>

#include "listing/FolderMessages.h"

namespace lumbrook::cli {

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
