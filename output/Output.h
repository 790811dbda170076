#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Errors.h"
#include "output/OutputNaming.h"
#include "page/Page.h"
#include "store/DbxReader.h"

namespace lumbrook {

// The work for one message of "Save eMail" and "Export eMail", shared by the
// window's batches and lumbrook-cli. Neither ever replaces a file: each file is
// written whole under a temporary name and only then put in place under a free
// name. A stop requested while a file is written (requestStop) removes what the
// message had written so far and throws StopRequestedError.

// The destination directory as the batch uses it: a separator appended when
// missing, and created with its parents (a failure shows up as files that cannot
// be created).
std::string prepareOutputDir(const std::string& dirText);

// Saving reports a file it cannot create in its own words (SaveFailed, with the
// path without its extension) and goes on.
class SaveFailedError : public LumbrookError {
public:
    explicit SaveFailedError(std::string path, int errorNumber = 0)
        : LumbrookError(ErrorKind::SaveFailed, std::move(path), errorNumber) {}
};

// Writes the raw text unchanged to Dir + stem (+ "_k") + ".eml"; returns the path.
// Throws SaveFailedError with <Dir><stem>.
// names is the batch's: it remembers the suffixes given.
// A message that could not be read whole (incomplete) is saved with what is there,
// under its usual name with " (incomplete)" before the extension, so that it never
// passes for the whole message.
std::string saveMessageAsEml(const std::string& dir, const MessageInfo& record,
                             std::string_view rawText, bool dateInName, OutputNames& names,
                             bool incomplete = false);
// The same for a single message, or for a batch that keeps no memory of names
// (each name is then looked for from "_0" on).
std::string saveMessageAsEml(const std::string& dir, const MessageInfo& record,
                             std::string_view rawText, bool dateInName);

enum class ExportFormat { AlwaysHtml, AlwaysText, SameAsMail };

struct ExportSettings {
    std::string dir;  // ends with a separator
    bool dateInName = true;
    ExportFormat format = ExportFormat::AlwaysHtml;
    Design design;  // Apply: "Show preview with complete design "
    OutputNames names;  // the names this batch gave, kept from message to message
    // Content-ID parts skipped (an id that is a path, a file that could not be
    // written): exportMessage adds their errors and goes on; the caller shows
    // them and clears the list.
    std::vector<FileCreateError> problems;
    // The attachments written into "<page stem>_files/" beside each page or text
    // file, which ends with a list of them ("Attachments beside the page").
    bool attachments = false;
};

// Writes the message as a ".HTM" page (Content-ID files beside it) or a ".txt"
// file (the text of the HTML body when the message has no text body); returns the
// path. A page or text file that cannot be created throws FileCreateError, which
// ends an export batch; the message's parts (and attachments) written before are
// removed again.
std::string exportMessage(ExportSettings& settings, const MessageInfo& record,
                          std::string_view rawText, bool incomplete = false);

}  // namespace lumbrook
