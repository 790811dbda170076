#pragma once

// The command line's words for a failure. The core reports a kind and its
// arguments (base/Errors.h); here they become the text written after
// "lumbrook-cli: ", in plain English, with the system's reason where there is one.

#include <cstddef>
#include <exception>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "store/StoreReader.h"

namespace lumbrook::cli {

std::string errorText(const LumbrookError& error);
// Any failure: a LumbrookError worded as above, anything else by its what().
std::string errorText(const std::exception& error);
// The failures of a run over many files, said once at its end: a full disk or a
// directory without write permission is one line with the first file, how many
// others and the reason, not a line per message.
class FailureList {
public:
    void add(const LumbrookError& error);
    bool empty() const { return groups.empty(); }
    std::size_t count() const;
    // One line per reason, each beginning "lumbrook-cli: ".
    void print(std::ostream& out) const;

private:
    struct Group {
        bool creating;  // a file that could not be created: grouped by the reason alone
        int errorNumber;
        std::string text;       // the whole text, for any other failure
        std::string firstPath;  // the first file that could not be created
        std::size_t count;
    };
    std::vector<Group> groups;
};

// Why the folders shown are the directory's folder files.
std::string folderListProblemText(const FolderListProblem& problem);

}  // namespace lumbrook::cli
