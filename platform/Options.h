#pragma once

#include <cstdint>
#include <string>

namespace lumbrook {

// What "options.dat" keeps between runs: the template box position and the five
// check boxes of the options strip. Defaults are the window's own.
struct Options {
    std::int32_t designIndex = -1;  // position in the template box, -1 for none
    bool previewWithDesign = true;           // "Show preview with complete design "
    bool fromField = true;
    bool toField = true;
    bool subjectField = true;
    bool dateField = true;
};

// Reads the file over Options. A file that cannot be opened leaves Options as it
// is and returns false. A short file applies the values it holds completely and
// leaves the rest unchanged: a cut-off file should lose as little as possible.
bool openOptions(const std::string& path, Options& options);

// Writes the 24 bytes; failures are ignored, as the settings are not worth an error.
void saveOptions(const std::string& path, const Options& options);

}  // namespace lumbrook
