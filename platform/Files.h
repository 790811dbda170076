#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumbrook {

// The platform's path separator, used wherever the original joined with a backslash.
inline constexpr char PathDelim = '/';

// dir with a separator at its end, added only when missing; "" gives "/".
std::string includeTrailingPathDelimiter(std::string_view dir);

// Stores were written on a file system that ignores case: "folders.dbx" must find
// "Folders.dbx". Returns dir/name with name replaced by the directory entry that
// matches it without regard to ASCII case (an exact match wins, else the smallest
// matching entry name, so the result never depends on directory order); when
// nothing matches, dir/name unchanged.
std::string findFileNoCase(std::string_view dir, std::string_view name);

// The entry of dir that names (tried in the order given) stands for: an entry
// equal to a name wins; then, for each name in turn, the smallest entry that
// equals it without regard to ASCII case, or, for names in UTF-8, to the case of
// any letter (Ä and ä, Д and д). Nothing when no name matches. The directory is
// read once.
std::optional<std::string> findEntry(std::string_view dir, const std::vector<std::string>& names);

// A Windows path ("C:\\Documents and Settings\\x\\...") read from a Wine registry,
// mapped onto the prefix's drives ($WINEPREFIX/dosdevices/c:/...), each component
// matched without regard to case where it exists ("." and ".." resolved as Windows
// does, never above the drive). Paths without a drive letter (UNC, relative) and
// any path when winePrefix is empty are returned unchanged.
std::string mapWindowsPath(std::string_view windowsPath, std::string_view winePrefix);

bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);
// Creates dir with every missing parent; true when the directory exists afterwards.
bool forceDirectories(const std::string& dir);
// The same for the program's own files that hold mail (the search index, the
// preview's working files): the directories made are the user's alone (0700).
// Directories that are there keep their mode, the user may share them on purpose.
// On false, errno says why.
bool forcePrivateDirectories(const std::string& dir);

}  // namespace lumbrook
