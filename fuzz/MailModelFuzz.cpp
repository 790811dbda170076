// The whole message model on one raw message: parse, body location, and the
// decoding of every attachment and of every part of the tree.
#include <string>

#include "fuzz/FuzzSupport.h"
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

    std::size_t lines = 0;
    for (const auto& l : message.textLines) lines += l.size();
    for (const auto& l : message.htmlLines) lines += l.size();
    for (MailPart* part : message.attachments) {
        if (!part->subParts.empty()) fuzz::broken("an attachment with sub-parts");
        (void)part->headerValue("Content-ID");
        part->decodeBody();
    }
    decodeTree(message, 0);
    (void)lines;
    return 0;
}
