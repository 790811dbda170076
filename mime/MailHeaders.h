#pragma once

// Header lines as the message model keeps them: one unfolded line per field in
// the canonical form "Label: value", and the operations that find fields and
// read or replace their values and parameters. Values are returned as written in
// the message: encoded words are not decoded, addresses are not parsed.

#include <string>
#include <string_view>
#include <vector>

namespace lumbrook {

using StringList = std::vector<std::string>;

// Label capitalised word by word after each hyphen (a closing "-ID" keeps its
// capital D), one space after the colon, runs of blanks in the value ending in a
// space collapsed to one space, quoted strings kept as written; an unterminated
// quoted string is dropped with the rest of the line.
std::string normalizeHeaderLine(std::string_view line);

// Index of the Occurrence-th line (0 = first) whose start equals Prefix without
// regard to ASCII case; -1 when there is none.
int findHeaderLine(const StringList& lines, std::string_view prefix, int occurrence);

// The text between the first colon and the first semicolon outside double
// quotes, trimmed, with one enclosing pair of double quotes removed.
std::string valueBeforeParams(std::string_view line);

// The value of the named parameter (names compared without regard to case and
// surrounding blanks), trimmed, one enclosing pair of double quotes removed. A
// parameter given twice yields both values joined.
std::string findParam(std::string_view line, std::string_view paramName);

// The value replaced, parameters kept; a line without a colon outside quotes is
// returned unchanged.
std::string replaceValue(std::string_view line, std::string_view value);

// The first parameter of that name gets the new value in place; otherwise
// "; name=value" is appended. Values that need quotes come with them.
std::string replaceParam(std::string_view line, std::string_view paramName, std::string_view value);

// Text in the header form of quoted-printable, wrapped as an encoded word only
// when encoding changed it.
std::string encodeWordQ(std::string_view text, std::string_view charset);

// Media type for the file name's extension (from its last dot after the last
// "\" or ":"), looked up without regard to case in /etc/mime.types (first entry
// wins; a small built-in table when that file cannot be read);
// "application/octet-stream" when nothing is known.
std::string mimeTypeForFile(std::string_view fileName);

}  // namespace lumbrook
