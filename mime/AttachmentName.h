#pragma once

// Names of attachments as mail clients wrote them into headers, and as file names
// on disk. Every result is UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

// A header value with its encoded words (=?charset?B|Q?...?=) decoded. White space
// between two encoded words goes, as does the folding of the header. An unknown
// charset, and bare 8-bit bytes outside encoded words, are read in the fallback
// charset (the store's code page, "CP1252" for instance) - except bare text that is
// well-formed UTF-8 with non-ASCII characters in it, which newer clients write and
// which the code pages almost never produce by chance.
std::string decodeEncodedWords(std::string_view value, std::string_view fallbackIconvName);

// A parameter of a Content-Type or Content-Disposition value (what follows the
// first ";"), the name in any case. Values may be tokens or quoted strings,
// RFC 2231 values ("name*=charset'language'%XX") and continuations ("name*0",
// "name*1*", ...), which win over a plain "name" given as well; plain values are
// decoded as encoded words too, since many clients wrote them that way. Damaged
// values (an unterminated quote, missing sections, bad %XX) give what can be read.
// Nothing when the parameter is not there.
std::optional<std::string> headerParameter(std::string_view headerValue, std::string_view name,
                                           std::string_view fallbackIconvName);

// The first extension /etc/mime.types lists for the media type ("application/pdf"
// -> "pdf"), without the dot; empty when it lists none. Case and parameters of the
// media type do not matter.
std::string extensionForMediaType(std::string_view mediaType);

// The attachment's name as a file name: "attachment-<index>" (with the media type's
// extension) when it has none, "/", "\", control characters and NUL as "_", a
// leading "." as "_.", surrounding white space gone, ill-formed UTF-8 as U+FFFD, at
// most 255 bytes (the stem shortened at a character boundary, the extension kept).
std::string attachmentFileName(std::string_view utf8Name, std::size_t index, std::string_view mediaType);

}  // namespace lumbrook
