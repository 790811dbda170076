#pragma once

// Names on disk for a converted store: folder names that every mail program and
// file system takes, and the sortable file names of single-message (.eml) output.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileNames.h"

namespace lumbrook {

// At most maxBytes of valid UTF-8 text, cut before a character, never inside one.
std::string cutUtf8(std::string_view utf8, std::size_t maxBytes);

// A folder's display name as a directory or file name: "/" and NUL become "_",
// a leading "." gets "_" in front (no hidden folders, no "." or ".."), an empty name
// becomes "_", invalid UTF-8 is repaired. Not yet cut to length.
std::string cleanFolderName(std::string_view utf8DisplayName);

// A subject as part of a file name: ":" "/" "\" "?" "*" '"' "<" ">" "|" and control
// characters become "_", letters outside ASCII stay, surrounding blanks go, and an
// empty subject is "(no subject)". Not yet cut to length.
std::string cleanSubjectName(std::string_view utf8Subject);

// "YYYY-MM-DD HH-MM <subject>" in local time, cut so that the stem plus
// reserveBytes (for a "_k" suffix and ".eml") fits MaxNameBytes.
std::string emlFileStem(std::int64_t unixTime, std::string_view utf8Subject,
                        std::size_t reserveBytes);

// Hands out the names of one folder's children, in tree order. A name already
// given (or reserved) makes the next one "Name (2)", "Name (3)", ... Names are
// compared ignoring ASCII case, because the output is often copied to file systems
// that do (macOS, Windows, USB sticks), where "Inbox" and "INBOX" would merge.
// When a companion suffix is set (".sbd" beside an mbox file), a name and the name
// plus suffix are both claimed and both fit MaxNameBytes.
class SiblingNames {
public:
    explicit SiblingNames(std::string_view companionSuffix = {},
                          const std::vector<std::string>& reserved = {});

    // The cleaned, cut and unique name for the next child with this display name.
    std::string take(std::string_view utf8DisplayName);

private:
    bool isFree(const std::string& name) const;
    void claim(const std::string& name);

    std::string companionSuffix;
    std::set<std::string> taken;  // ASCII-lowercased
};

}  // namespace lumbrook
