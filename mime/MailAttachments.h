#pragma once

// The attachments of a parsed message as a user sees them: a name to show and to
// save under, a media type, a size, and whether the page shows the part in place.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/MailModel.h"

namespace lumbrook {

struct AttachmentInfo {
    std::size_t index = 0;  // position in the message's attachments
    // UTF-8: Content-Disposition's filename, else Content-Type's name (RFC 2231 and
    // encoded words decoded), or the begin line's name of a uuencoded block; empty
    // when the part names none.
    std::string name;
    // attachmentFileName of the name; a nameless part counts from 1 ("attachment-1.pdf").
    std::string fileName;
    // Lower case without parameters; "text/plain" for a part that names none.
    std::string mediaType;
    std::size_t size = 0;   // decoded bytes
    std::string contentId;  // without its angle brackets; empty when none
    // A Content-ID part that the HTML body refers to (findCidReference), the
    // references the page makes relative, so that the page shows the part.
    bool isInline = false;
};

// A "cid:" reference in a line of HTML: "cid:" in any case, perhaps repeated, right
// after a double or single quote (the id runs to the same quote, on the same line)
// or right after "=" or "(" (an unquoted attribute value or CSS url(): the id runs
// to white space, ">", ")" or the end of the line).
struct CidReference {
    std::size_t start = 0;    // of the first "cid:"
    std::size_t idStart = 0;  // past the last "cid:"
    std::size_t idEnd = 0;    // the closing quote or what ends an unquoted id
};
// The first reference whose "cid:" starts at from or later.
std::optional<CidReference> findCidReference(std::string_view line, std::size_t from);

// Locates the bodies when needed and decodes every attachment (the model keeps the
// decoded bytes, as it does for the bodies). Bare 8-bit names, and names in a
// charset iconv does not know, are read in the fallback charset (an iconv name,
// the store's code page: "CP1252" for instance) unless they are well-formed UTF-8.
std::vector<AttachmentInfo> listAttachments(MailMessage& message, std::string_view fallbackCharset);

// The decoded bytes of attachment Index; throws std::out_of_range when there is none.
const std::string& attachmentBytes(MailMessage& message, std::size_t index);

}  // namespace lumbrook
