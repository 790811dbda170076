#pragma once

// The command line's words for a failure. The core reports a kind and its
// arguments (base/Errors.h); here they become the text written after
// "lumbrook-cli: " or on a line of its own. Some kinds keep the wording the window
// gives them, as the tool always has.

#include <exception>
#include <string>

#include "base/Errors.h"
#include "store/StoreReader.h"

namespace lumbrook::cli {

std::string errorText(const LumbrookError& error);
// Any failure: a LumbrookError worded as above, anything else by its what().
std::string errorText(const std::exception& error);
// Why the folders shown are the directory's folder files.
std::string folderListProblemText(const FolderListProblem& problem);

}  // namespace lumbrook::cli
