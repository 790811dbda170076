#pragma once

#include <string>
#include <string_view>

#include "base/Errors.h"
#include "render/Render.h"
#include "store/oexpress.h"

namespace lumbrook {

// The work for one message of "Save eMail" and "Export eMail", shared by the
// window's batches and lumbrook-cli. Neither ever overwrites a file of the user's
// (Content-ID files aside, which export replaces by design).

// The destination directory as the batch uses it: a separator appended when
// missing, and created with its parents (a failure shows up as files that cannot
// be created).
std::string prepareOutputDir(const std::string& dirText);

// Saving reports a file it cannot create with its own text and goes on.
class ESaveFailed : public ELumbrookError {
public:
    using ELumbrookError::ELumbrookError;
};

// Writes the raw text unchanged to Dir + stem (+ "_k") + ".eml"; returns the path.
// Throws ESaveFailed with "The file "<Dir><stem>" could not be created!".
std::string saveMessageAsEml(const std::string& dir, const Toe5_MessageInfo& record,
                             std::string_view rawText, bool dateInName);

enum class TExportFormat { AlwaysHtml, AlwaysText, SameAsMail };

struct TExportSettings {
    std::string dir;  // ends with a separator
    bool dateInName = true;
    TExportFormat format = TExportFormat::AlwaysHtml;
    TDesign design;  // Apply: "Show preview with complete design "
};

// Writes the message as a ".HTM" page (Content-ID files beside it) or a ".txt"
// file; returns the path. A file that cannot be created throws EFCreateError,
// which ends an export batch.
std::string exportMessage(const TExportSettings& settings, const Toe5_MessageInfo& record,
                          std::string_view rawText);

}  // namespace lumbrook
