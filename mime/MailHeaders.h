#pragma once

// Header lines as the message model keeps them: one unfolded line per field in
// the canonical form "Label: value", and the operations that find fields and
// read or replace their values and parameters. Values are returned as written in
// the message: encoded words are not decoded, addresses are not parsed.

#include <string>
#include <string_view>
#include <vector>

namespace lumbrook {

using TStringList = std::vector<std::string>;

// Label capitalised word by word after each hyphen (a closing "-ID" keeps its
// capital D), one space after the colon, runs of blanks in the value ending in a
// space collapsed to one space, quoted strings kept as written; an unterminated
// quoted string is dropped with the rest of the line.
std::string NormalizeHeaderLine(std::string_view Line);

// Index of the Occurrence-th line (0 = first) whose start equals Prefix without
// regard to ASCII case; -1 when there is none.
int FindHeaderLine(const TStringList& Lines, std::string_view Prefix, int Occurrence);

// The text between the first colon and the first semicolon outside double
// quotes, trimmed, with one enclosing pair of double quotes removed.
std::string ValueBeforeParams(std::string_view Line);

// The value of the named parameter (names compared without regard to case and
// surrounding blanks), trimmed, one enclosing pair of double quotes removed. A
// parameter given twice yields both values joined.
std::string FindParam(std::string_view Line, std::string_view ParamName);

// The value replaced, parameters kept; a line without a colon outside quotes is
// returned unchanged.
std::string ReplaceValue(std::string_view Line, std::string_view Value);

// The first parameter of that name gets the new value in place; otherwise
// "; name=value" is appended. Values that need quotes come with them.
std::string ReplaceParam(std::string_view Line, std::string_view ParamName, std::string_view Value);

// Text in the header form of quoted-printable, wrapped as an encoded word only
// when encoding changed it.
std::string EncodeWordQ(std::string_view Text, std::string_view Charset);

// Media type for the file name's extension (from its last dot after the last
// "\" or ":"), looked up without regard to case in /etc/mime.types (first entry
// wins; a small built-in table when that file cannot be read);
// "application/octet-stream" when nothing is known.
std::string MimeTypeForFile(std::string_view FileName);

}  // namespace lumbrook
