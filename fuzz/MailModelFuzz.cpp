// The whole message model on one raw message: parse, body location, and the
// decoding of every attachment and of every part of the tree.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "mime/MailModel.h"

using namespace lumbrook;

namespace {

std::size_t DecodeTree(TMailPart& Part, int Depth) {
    if (Depth > MaxPartDepth + 2) fuzz::Broken("the part tree is nested deeper than the cap");
    std::size_t parts = 1;
    Part.DecodeBody();
    if (!Part.IsDecoded) fuzz::Broken("DecodeBody left IsDecoded clear");
    (void)Part.MediaType();
    (void)Part.BoundaryParam();
    (void)Part.HeaderValue("Content-ID");
    (void)Part.HeaderParam("Content-Disposition", "filename");
    for (std::size_t i = 0; i < Part.SubParts.Count(); ++i) {
        TMailPart* child = Part.SubParts.PartAt(i);
        if (child->ParentPart != &Part) fuzz::Broken("a child whose parent is another part");
        if (child->OwnerMessage != Part.OwnerMessage) fuzz::Broken("a child of another message");
        parts += DecodeTree(*child, Depth + 1);
    }
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text = fuzz::AsText(Data, Size);
    TMailMessage message;
    int lastReport = -1;
    bool ended = false;
    message.OnProgress = [&](TMailMessage*, int Total, int Current) {
        if (Current < lastReport || Current > Total)
            fuzz::Broken("progress went back or past the end");
        lastReport = Current;
        ended = Current == Total;
    };
    message.LoadText(text);
    if (!ended) fuzz::Broken("the parse did not report its end");
    message.LocateBodies();
    if (message.NeedsLocate) fuzz::Broken("NeedsLocate still set after LocateBodies");

    std::size_t lines = 0;
    for (const auto& l : message.TextLines) lines += l.size();
    for (const auto& l : message.HtmlLines) lines += l.size();
    for (TMailPart* part : message.Attachments) {
        if (!part->SubParts.Empty()) fuzz::Broken("an attachment with sub-parts");
        (void)part->HeaderValue("Content-ID");
        part->DecodeBody();
    }
    DecodeTree(message, 0);
    (void)lines;
    return 0;
}
