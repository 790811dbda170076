#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace lumbrook {

// The longest file name (one path component) Linux file systems take, in bytes.
inline constexpr std::size_t MaxNameBytes = 255;

// One output character per input byte: control bytes, bytes above 0x7F and the
// characters : . / \ ? * " < > become "_"; everything else is kept.
std::string cleanFileName(std::string_view text);

// stem + suffix + ext, the stem cut short (never inside a UTF-8 character) so that
// the whole fits MaxNameBytes. A suffix and extension that do not fit on their own
// are returned as they are: such a name cannot be created, which is reported.
std::string fitName(std::string_view stem, std::string_view suffix, std::string_view ext);

// The names one batch gives the files it writes into one directory. A name is
// handed out only when nothing is there (lstat, so a dangling link counts) and it
// is not reserved; the next suffix of each stem is remembered, so that ten thousand
// messages of one subject cost one look-up each instead of one per earlier file.
// A name another program takes between look-up and creation shows up as EEXIST
// when the file is put in place; the writer then asks for the next name.
class OutputNames {
public:
    // A name this batch must leave alone (the page a render writes itself).
    void reserve(std::string name) { reserved.insert(std::move(name)); }

    // The next free name for stem + ext in dir (ending with a separator): the stem
    // itself when free, else stem_0, stem_1, ..., each fitted to MaxNameBytes.
    // With a companion (a page's "_files" directory): the name that goes with it,
    // the suffixed stem + companion, must be free too and fit as well, so that the
    // two keep one suffix.
    std::string nextFree(const std::string& dir, const std::string& stem, std::string_view ext,
                         std::string_view companion = {});

private:
    // Per stem and extension: the suffix number to try next (0 is the bare stem).
    std::unordered_map<std::string, std::uint64_t> nextSuffix;
    std::unordered_set<std::string> reserved;
};

// The stem (suffixed and fitted as OutputNames does) under which dir + stem + ext
// names nothing yet. Without a batch to remember suffixes: for single files.
std::string uniqueStem(const std::string& dir, const std::string& stem, std::string_view ext);

}  // namespace lumbrook
