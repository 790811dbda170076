#include "mime/MailAttachments.h"

#include <optional>
#include <set>

#include "base/Charset.h"
#include "mime/AttachmentName.h"

namespace lumbrook {

namespace {

// What follows the field's colon, parameters and all; empty without the field.
std::string_view fieldText(const MailPart& part, std::string_view fieldName) {
    const int index = findHeaderLine(part.headerLines, std::string(fieldName) + ":", 0);
    if (index < 0) return {};
    const std::string_view line = part.headerLines[static_cast<std::size_t>(index)];
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view{} : line.substr(colon + 1);
}

std::string attachmentName(const MailPart& part, std::string_view fallbackCharset) {
    // A uuencoded block's name was written bare in the message's own charset.
    if (!part.beginLineName.empty()) {
        if (isValidUtf8(part.beginLineName)) return part.beginLineName;
        return convertToUtf8(part.beginLineName, fallbackCharset);
    }
    if (auto name = headerParameter(fieldText(part, "Content-Disposition"), "filename", fallbackCharset);
        name && !name->empty())
        return *name;
    if (auto name = headerParameter(fieldText(part, "Content-Type"), "name", fallbackCharset))
        return *name;
    return {};
}

std::string contentIdOf(const MailPart& part) {
    std::string id = part.headerValue("Content-ID");
    if (!id.empty() && id.front() == '<') id.erase(0, 1);
    if (!id.empty() && id.back() == '>') id.pop_back();
    return id;
}

bool isCidPrefix(std::string_view text, std::size_t at) {
    if (at > text.size() || text.size() - at < 4) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(text[at]) == 'c' && lower(text[at + 1]) == 'i' && lower(text[at + 2]) == 'd' &&
           text[at + 3] == ':';
}

// The ids the page refers to, as the page's rewriting finds them.
std::set<std::string, std::less<>> referencedIds(const LineList& htmlLines) {
    std::set<std::string, std::less<>> ids;
    for (std::string_view line : htmlLines) {
        for (auto ref = findCidReference(line, 0); ref; ref = findCidReference(line, ref->idEnd))
            ids.emplace(line.substr(ref->idStart, ref->idEnd - ref->idStart));
    }
    return ids;
}

bool endsUnquotedId(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '>' || c == ')';
}

}  // namespace

std::optional<CidReference> findCidReference(std::string_view line, std::size_t from) {
    for (std::size_t at = from; at + 4 <= line.size(); ++at) {
        // "cid:" is looked for by its colon, which is rarer in a page than a "c".
        const std::size_t colon = line.find(':', at + 3);
        if (colon == std::string_view::npos) return std::nullopt;
        at = colon - 3;
        if (!isCidPrefix(line, at) || at == 0) continue;
        const char before = line[at - 1];
        if (before != '"' && before != '\'' && before != '=' && before != '(') continue;
        CidReference ref;
        ref.start = at;
        ref.idStart = at;
        while (isCidPrefix(line, ref.idStart)) ref.idStart += 4;
        if (before == '"' || before == '\'') {
            const std::size_t close = line.find(before, ref.idStart);
            if (close == std::string_view::npos) continue;
            ref.idEnd = close;
        } else {
            ref.idEnd = ref.idStart;
            while (ref.idEnd < line.size() && !endsUnquotedId(line[ref.idEnd])) ++ref.idEnd;
        }
        return ref;
    }
    return std::nullopt;
}

std::vector<AttachmentInfo> listAttachments(MailMessage& message, std::string_view fallbackCharset) {
    message.locateBodies();
    const auto referenced = referencedIds(message.htmlLines);
    std::vector<AttachmentInfo> list;
    list.reserve(message.attachments.count());
    for (std::size_t i = 0; i < message.attachments.count(); ++i) {
        MailPart* part = message.attachments.partAt(i);
        part->decodeBody();
        AttachmentInfo info;
        info.index = i;
        info.name = attachmentName(*part, fallbackCharset);
        info.mediaType = part->mediaType();
        if (info.mediaType.empty()) info.mediaType = "text/plain";
        info.fileName = attachmentFileName(info.name, i + 1, info.mediaType);
        info.size = part->decodedBody.size();
        info.contentId = contentIdOf(*part);
        info.isInline = !info.contentId.empty() && referenced.contains(info.contentId);
        list.push_back(std::move(info));
    }
    return list;
}

const std::string& attachmentBytes(MailMessage& message, std::size_t index) {
    message.locateBodies();
    MailPart* part = message.attachments.partAt(index);
    part->decodeBody();
    return part->decodedBody;
}

}  // namespace lumbrook
