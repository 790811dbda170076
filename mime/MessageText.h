#pragma once

// The readable text of a message in UTF-8, for the search index: every text body
// (plain text as it is, HTML through htmlToText), each read in its own charset.

#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

class MailPart;
class MailMessage;

// The iconv name of the charset a text part's decoded body is in: the one its
// Content-Type names; for an HTML part without one, the one its decoded body
// declares (read only once the body is decoded). Nothing when neither names a charset
// iconv knows: the store's code page applies then.
std::optional<std::string> partCharset(const MailPart& part);

// A text part's decoded body in UTF-8, read in the charset its Content-Type names;
// an HTML body without one in the charset its own meta element declares; else in
// fallbackIconvName (the store's code page). Bytes the charset cannot read become
// U+FFFD; nothing is dropped.
std::string partTextUtf8(MailPart& part, std::string_view fallbackIconvName);

// Every text/plain and text/html body of the message that is not an attached file,
// in tree order, HTML turned into text; bodies separated by an empty line. Bounded:
// at most maxBytes of text are kept (the rest of a huge message adds nothing a
// search needs).
std::string messageBodyText(MailMessage& message, std::string_view fallbackIconvName,
                            std::size_t maxBytes = 4 * 1024 * 1024);

}  // namespace lumbrook
