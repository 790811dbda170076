#pragma once

// Shell completion for lumbrook-cli, written from the command table at build time
// so that every command and option it knows completes.

#include <iosfwd>

namespace lumbrook::cli {

void writeBashCompletion(std::ostream& out);
void writeZshCompletion(std::ostream& out);
void writeFishCompletion(std::ostream& out);

}  // namespace lumbrook::cli
