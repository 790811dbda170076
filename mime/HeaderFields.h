#pragma once

// What is read straight from a message's own header, without parsing it whole: a
// field, the envelope sender and date of an mbox "From " line, and the message time
// when the store has none (also the date of a message found by the recovery scan).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumbrook {

// The first header field of this name (ASCII case ignored), unfolded, without the
// line ends; none when the header block ends first. The header block ends at the
// first empty line (LF or CR LF) or the end of the text.
std::optional<std::string> findHeaderField(std::string_view rawMessage, std::string_view name);

// The bare address of a From field's value: the part inside <...> when there is one,
// else the bare address (comments and a display list's further entries dropped).
// "MAILER-DAEMON" when nothing usable remains: empty, or with blanks, control
// characters or bytes outside ASCII, which would break the "From " line.
std::string envelopeAddress(std::string_view fromValue);

// A Date field's value (RFC 5322 and its obsolete forms: optional weekday, two-digit
// years, named zones, no seconds, asctime order) as seconds since 1970.
std::optional<std::int64_t> parseMailDate(std::string_view dateValue);

// The message's time: the FILETIME, else its Date field, else none.
std::optional<std::int64_t> messageTime(std::uint64_t fileTime, std::string_view rawMessage);

// messageTime, or 0 (1970) when there is none.
std::int64_t messageUnixTime(std::uint64_t fileTime, std::string_view rawMessage);

// asctime form in UTC: "Sun Sep 14 16:02:05 2003" (day padded with a blank).
std::string asctimeUtc(std::int64_t unixTime);

}  // namespace lumbrook
