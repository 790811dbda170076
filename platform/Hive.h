#pragma once

// A Windows registry hive file (a profile's NTUSER.DAT, the SYSTEM hive of a
// Windows directory), read through libhivex: the hives of a mounted disk, never the
// registry of the running system. Only reads.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace lumbrook {

class HiveFile {
  public:
    // Nothing when path is no hive libhivex can read (missing, damaged, no hive).
    static std::optional<HiveFile> open(const std::string& path);

    // Key paths are relative to the hive's root, separated by backslashes, and
    // compare without regard to case, as in the registry.
    bool keyExists(std::string_view keyPath) const;
    // The names of a key's subkeys as the hive spells them; none for a missing key.
    std::vector<std::string> subkeys(std::string_view keyPath) const;
    // Text kinds in UTF-8 (up to the first zero character), others as raw bytes.
    std::optional<RegistryFile::Value> readValue(std::string_view keyPath,
                                                 std::string_view valueName) const;
    // A text value as text, a dword as its decimal number; nothing otherwise.
    std::optional<std::string> readText(std::string_view keyPath, std::string_view valueName) const;

  private:
    struct Handle;
    explicit HiveFile(std::shared_ptr<Handle> handle) : handle(std::move(handle)) {}
    std::shared_ptr<Handle> handle;
};

// The ANSI code page a Windows installation used, from its SYSTEM hive
// (ControlSet of Select\Current, Control\Nls\CodePage\ACP); nothing when the hive
// cannot be read or says nothing usable.
std::optional<int> systemAnsiCodePage(const std::string& systemHivePath);

}  // namespace lumbrook
