#pragma once

#include <string>
#include <string_view>

#include "base/Errors.h"
#include "render/Render.h"
#include "store/DbxReader.h"

namespace lumbrook {

// The work for one message of "Save eMail" and "Export eMail", shared by the
// window's batches and lumbrook-cli. Neither ever overwrites a file of the user's
// (Content-ID files aside, which export replaces by design).

// The destination directory as the batch uses it: a separator appended when
// missing, and created with its parents (a failure shows up as files that cannot
// be created).
std::string prepareOutputDir(const std::string& dirText);

// Saving reports a file it cannot create with its own text and goes on.
class SaveFailedError : public LumbrookError {
public:
    using LumbrookError::LumbrookError;
};

// Writes the raw text unchanged to Dir + stem (+ "_k") + ".eml"; returns the path.
// Throws SaveFailedError with "The file "<Dir><stem>" could not be created!".
std::string saveMessageAsEml(const std::string& dir, const MessageInfo& record,
                             std::string_view rawText, bool dateInName);

enum class ExportFormat { AlwaysHtml, AlwaysText, SameAsMail };

struct ExportSettings {
    std::string dir;  // ends with a separator
    bool dateInName = true;
    ExportFormat format = ExportFormat::AlwaysHtml;
    Design design;  // Apply: "Show preview with complete design "
};

// Writes the message as a ".HTM" page (Content-ID files beside it) or a ".txt"
// file; returns the path. A file that cannot be created throws FileCreateError,
// which ends an export batch.
std::string exportMessage(const ExportSettings& settings, const MessageInfo& record,
                          std::string_view rawText);

}  // namespace lumbrook
