#include "platform/StoreRoot.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/AsciiCase.h"
#include "base/Errors.h"
#include "platform/Files.h"

namespace lumbrook {

namespace {

constexpr std::string_view MailClientKey = "\\Software\\Microsoft\\Outlook Express";
constexpr std::string_view IdentitiesKey = "\\Identities";
constexpr std::string_view IdentityMailClientKey = "\\Software\\Microsoft\\Outlook Express\\5.0";
constexpr std::string_view StoreRootValue = "Store Root";
constexpr std::string_view DefaultUserIdValue = "Default User ID";
constexpr std::string_view EnvironmentKey = "\\Environment";
constexpr std::string_view ShellFoldersKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A text value as the original's registry reader gives it: a missing value is
// empty, a value of another type is an error naming the value.
std::string readString(const RegistryFile& registry, std::string_view key, std::string_view name) {
    auto value = registry.readValue(key, name);
    if (!value) return {};
    if (value->kind != RegistryFile::ValueKind::String &&
        value->kind != RegistryFile::ValueKind::ExpandString) {
        throw LumbrookError(ErrorKind::InvalidRegistryType, std::string(name));
    }
    return value->data;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

std::optional<std::string> shellFolder(const RegistryFile& registry, std::string_view name) {
    auto value = registry.readValue(ShellFoldersKey, name);
    if (!value || value->kind == RegistryFile::ValueKind::Other || value->data.empty()) {
        return std::nullopt;
    }
    return value->data;
}

}  // namespace

std::string wineUserName() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name && *pw->pw_name) {
        return pw->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::optional<std::string> wineDefaultVariable(std::string_view name, const RegistryFile& registry,
                                               std::string_view wineUserName) {
    const std::string user(wineUserName);
    const std::string profile = "C:\\users\\" + user;
    const std::string localAppData =
        shellFolder(registry, "Local AppData").value_or(profile + "\\AppData\\Local");
    const struct {
        std::string_view name;
        std::string value;
    } defaults[] = {
        {"USERNAME", user},
        {"USERPROFILE", profile},
        {"APPDATA", shellFolder(registry, "AppData").value_or(profile + "\\AppData\\Roaming")},
        {"LOCALAPPDATA", localAppData},
        {"TEMP", localAppData + "\\Temp"},
        {"TMP", localAppData + "\\Temp"},
        {"HOMEDRIVE", "C:"},
        {"HOMEPATH", "\\users\\" + user},
        {"PUBLIC", "C:\\users\\Public"},
        {"ALLUSERSPROFILE", "C:\\ProgramData"},
        {"ProgramData", "C:\\ProgramData"},
        {"ProgramFiles", "C:\\Program Files"},
        {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {"SystemDrive", "C:"},
        {"SystemRoot", "C:\\windows"},
        {"windir", "C:\\windows"},
        {"ComSpec", "C:\\windows\\system32\\cmd.exe"},
        {"OS", "Windows_NT"},
    };
    for (const auto& d : defaults) {
        if (equalsNoCase(d.name, name)) return d.value;
    }
    return std::nullopt;
}

VariableLookup storeRootVariables(const RegistryFile& registry,
                                   const VariableLookup& environment,
                                   std::string_view wineUserName) {
    const bool wine = !registry.winePrefix().empty();
    std::string user(wineUserName);
    // Values of the [Environment] key may refer to other variables themselves; they are
    // expanded against the process environment and Wine's own, never against the key
    // itself, so no chain of references can loop.
    VariableLookup base = [&registry, environment, wine,
                            user](std::string_view name) -> std::optional<std::string> {
        if (auto v = environment(name)) return v;
        if (wine) return wineDefaultVariable(name, registry, user);
        return std::nullopt;
    };
    return [&registry, environment, base, wine,
            user](std::string_view name) -> std::optional<std::string> {
        if (auto v = environment(name)) return v;
        if (auto v = registry.readValue(EnvironmentKey, name)) {
            if (v->kind == RegistryFile::ValueKind::String) return v->data;
            if (v->kind == RegistryFile::ValueKind::ExpandString) {
                return expandEnvironmentStrings(v->data, base);
            }
        }
        if (wine) return wineDefaultVariable(name, registry, user);
        return std::nullopt;
    };
}

std::string lookupStoreRoot(const RegistryFile& registry) {
    return lookupStoreRoot(registry, getEnvironmentVariableNoCase, wineUserName());
}

std::string lookupStoreRoot(const RegistryFile& registry, const VariableLookup& environment,
                            std::string_view wineUserName) {
    std::string root;
    if (registry.keyExists(MailClientKey))
        root = readString(registry, MailClientKey, StoreRootValue);
    if (root.empty() && registry.keyExists(IdentitiesKey)) {
        // The identity is used as read: an empty one makes a path that opens nothing.
        std::string identity = readString(registry, IdentitiesKey, DefaultUserIdValue);
        std::string key =
            std::string(IdentitiesKey) + "\\" + identity + std::string(IdentityMailClientKey);
        if (registry.keyExists(key)) root = readString(registry, key, StoreRootValue);
    }
    if (root.empty()) return root;

    std::string expanded =
        expandEnvironmentStrings(root, storeRootVariables(registry, environment, wineUserName));
    if (characterCount(expanded) <= MaxExpandedStoreRootLength) root = std::move(expanded);

    if (!registry.winePrefix().empty()) root = mapWindowsPath(root, registry.winePrefix());
    return root;
}

}  // namespace lumbrook
