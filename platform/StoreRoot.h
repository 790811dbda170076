#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Environment.h"
#include "platform/Registry.h"

namespace lumbrook {

// Where Outlook Express keeps the current identity's store, as its own registry
// says: "Store Root" of the mail client's key, else of the default identity's key,
// with environment references expanded and, for a Wine registry, the Windows path
// mapped onto the prefix's drives. Empty when neither key holds a value. A value
// that is not text throws LumbrookError (InvalidRegistryType, naming the value).
std::string lookupStoreRoot(const RegistryFile& registry);

// The same with the process environment and the Wine user name given, so that the
// lookup can be driven without touching the real environment.
std::string lookupStoreRoot(const RegistryFile& registry, const VariableLookup& environment,
                            std::string_view wineUserName);

// The variables a store root may refer to: the process environment first, then the
// registry's [Environment] key, then (for a Wine registry, one with a prefix) the
// variables Wine defines for its processes. The lookup refers to registry, which
// must outlive it.
VariableLookup storeRootVariables(const RegistryFile& registry,
                                   const VariableLookup& environment,
                                   std::string_view wineUserName);

// A variable Wine sets in every process it starts (USERPROFILE, APPDATA, SystemRoot,
// ...), for the user wineUserName; the registry supplies the shell folders where
// the prefix has them.
std::optional<std::string> wineDefaultVariable(std::string_view name, const RegistryFile& registry,
                                               std::string_view wineUserName);

// The user name Wine runs under: the account's name, else $USER.
std::string wineUserName();

// The longest expansion that fits the 1,024-character buffer with its final zero;
// a longer one counts as failed and the text as read is kept.
inline constexpr std::size_t MaxExpandedStoreRootLength = 1023;

}  // namespace lumbrook
