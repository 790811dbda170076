#pragma once

// The charset an HTML page declares for itself, read from its bytes before they are
// decoded, the way browsers look for it.

#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

// The charset label of a byte order mark at the start ("UTF-8", "UTF-16LE",
// "UTF-16BE"), else of the first `<meta charset=...>` or `<meta http-equiv=
// "Content-Type" content="...; charset=...">` in the first 4096 bytes that names a
// charset iconv knows. Comments are skipped, names and values may be in any case,
// quoted or not. A page that claims UTF-16 in a meta element was read as ASCII to
// find it, so it is UTF-8 ("utf-8" is returned). Nothing when there is no such
// declaration. Feed the label to iconvNameForLabel.
std::optional<std::string> declaredHtmlCharset(std::string_view html);

}  // namespace lumbrook
