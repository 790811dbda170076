// The whole message model on one raw message: parse, body location, the line
// lists, the attachment list with its names, and the decoding of every attachment
// and of every part of the tree.
#include <string>

#include "base/Charset.h"
#include "fuzz/FuzzSupport.h"
#include "mime/MailAttachments.h"
#include "mime/MailModel.h"

using namespace lumbrook;

namespace {

std::size_t decodeTree(MailPart& part, int depth) {
    if (depth > MaxPartDepth + 2) fuzz::broken("the part tree is nested deeper than the cap");
    std::size_t parts = 1;
    part.decodeBody();
    if (!part.isDecoded) fuzz::broken("DecodeBody left IsDecoded clear");
    (void)part.mediaType();
    (void)part.boundaryParam();
    (void)part.headerValue("Content-ID");
    (void)part.headerParam("Content-Disposition", "filename");
    for (std::size_t i = 0; i < part.subParts.count(); ++i) {
        MailPart* child = part.subParts.partAt(i);
        if (child->parentPart != &part) fuzz::broken("a child whose parent is another part");
        if (child->ownerMessage != part.ownerMessage) fuzz::broken("a child of another message");
        parts += decodeTree(*child, depth + 1);
    }
    return parts;
}

// Walking the lines and reaching them by index give the same lines.
std::size_t checkLines(const LineList& lines) {
    std::size_t count = 0, bytes = 0;
    for (std::string_view line : lines) {
        if (line.find_first_of("\r\n") != std::string_view::npos) fuzz::broken("a line break in a line");
        if ((count % 61 == 0 || count + 1 == lines.size()) && lines.at(count) != line)
            fuzz::broken("a line by index differs from the line walked to");
        bytes += line.size();
        ++count;
    }
    if (count != lines.size()) fuzz::broken("the line count differs from the lines walked");
    return bytes;
}

void checkAttachments(MailMessage& message) {
    const auto list = listAttachments(message, "CP1252");
    if (list.size() != message.attachments.count()) fuzz::broken("attachments missing from the list");
    for (const AttachmentInfo& info : list) {
        if (!isValidUtf8(info.name) || !isValidUtf8(info.fileName)) fuzz::broken("a name that is no UTF-8");
        if (info.fileName.empty() || info.fileName.size() > 255 ||
            info.fileName.find('/') != std::string::npos)
            fuzz::broken("a file name that cannot be saved under");
        if (info.mediaType.empty()) fuzz::broken("an attachment without a media type");
        if (attachmentBytes(message, info.index).size() != info.size)
            fuzz::broken("the size listed is not that of the bytes");
        if (info.isInline && info.contentId.empty()) fuzz::broken("inline without a Content-ID");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::asText(data, size);
    MailMessage message;
    int lastReport = -1;
    bool ended = false;
    message.onProgress = [&](MailMessage*, int total, int current) {
        if (current < lastReport || current > total)
            fuzz::broken("progress went back or past the end");
        lastReport = current;
        ended = current == total;
    };
    message.loadText(text);
    if (!ended) fuzz::broken("the parse did not report its end");
    message.locateBodies();
    if (message.needsLocate) fuzz::broken("NeedsLocate still set after LocateBodies");

    std::size_t lines = checkLines(message.textLines) + checkLines(message.htmlLines);
    checkAttachments(message);
    for (MailPart* part : message.attachments) {
        if (!part->subParts.empty()) fuzz::broken("an attachment with sub-parts");
        (void)part->headerValue("Content-ID");
        part->decodeBody();
    }
    decodeTree(message, 0);
    (void)lines;
    return 0;
}
