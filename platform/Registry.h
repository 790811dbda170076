#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace lumbrook {

// Read-only stand-in for the current user's registry (HKEY_CURRENT_USER), loaded
// from a registry file: a Windows registry export ("Windows Registry Editor
// Version 5.00" in UTF-16LE or UTF-8, or "REGEDIT4" in the ANSI code page; keys
// outside HKEY_CURRENT_USER are ignored) or Wine's user.reg ("WINE REGISTRY
// Version 2", keys relative to HKEY_CURRENT_USER, Wine's escapes). A key implies
// its parents. Key paths are relative to HKEY_CURRENT_USER, with or without a
// leading backslash; key and value names compare without regard to ASCII case;
// a path with an empty component ("Identities\\Software") names no key.
class RegistryFile {
  public:
    enum class ValueKind { String, ExpandString, Other };
    struct Value {
        ValueKind kind = ValueKind::Other;
        // UTF-8 for the two string kinds, up to the first zero character; the raw
        // bytes (a dword as four bytes, little-endian) for the others.
        std::string data;
    };

    // An empty registry: every key is missing.
    RegistryFile() = default;

    // Parses the text of a registry file; lines it does not understand are skipped.
    // REGEDIT4 files (and stray 8-bit lines) are read in codePage.
    static RegistryFile parse(std::string_view text, const CodePage& codePage = CodePage());

    // The current user's registry: the file named by LUMBROOK_REGISTRY, else
    // $WINEPREFIX/user.reg, else ~/.wine/user.reg. A missing or unreadable file gives
    // an empty registry. The two Wine routes, and a LUMBROOK_REGISTRY file named
    // user.reg beside a dosdevices directory, set winePrefix.
    static RegistryFile loadCurrentUser(const CodePage& codePage);
    // The file loadCurrentUser reads ($LUMBROOK_REGISTRY, else $WINEPREFIX/user.reg,
    // else ~/.wine/user.reg); empty when there is no home directory to look in.
    static std::string currentUserFilePath();

    bool keyExists(std::string_view keyPath) const;
    std::optional<Value> readValue(std::string_view keyPath, std::string_view valueName) const;

    // Directory of the Wine prefix this registry belongs to (empty when the file did
    // not come from a Wine prefix). Windows paths read from it map onto its drives.
    const std::string& winePrefix() const { return prefix; }
    void setWinePrefix(std::string path) { prefix = std::move(path); }

  private:
    // folded key path -> (folded value name -> value)
    std::map<std::string, std::map<std::string, Value>> keys;
    std::string prefix;
};

}  // namespace lumbrook
