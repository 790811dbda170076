#include "mime/MailModel.h"

#include <climits>
#include <functional>

#include "base/AsciiCase.h"
#include "base/Errors.h"

namespace lumbrook {

namespace {

constexpr std::string_view UUBeginMarker = "begin 6";

// Header values that need quotes are handed over with them.
std::string quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

bool isQuoteChar(char c) {
    return c == '"' || c == '\'';
}

// Header values given in single or double quotes lose them, but only when
// something stands between the quotes.
std::string stripValueQuotes(std::string value) {
    if (value.size() > 2 && isQuoteChar(value.front()) && isQuoteChar(value.back()))
        return value.substr(1, value.size() - 2);
    return value;
}

// Whether View lies at least partly inside the bytes of Owner.
bool overlaps(std::string_view view, std::string_view owner) {
    if (view.empty() || owner.empty()) return false;
    const std::less<const char*> before;
    const char* ownerEnd = owner.data() + owner.size();
    const char* viewEnd = view.data() + view.size();
    return before(view.data(), ownerEnd) && before(owner.data(), viewEnd);
}

// The lines of a body up to its first zero byte, viewed.
LineList bodyLines(const std::string& body) {
    std::string_view bytes = body;
    if (auto zero = bytes.find('\0'); zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    return LineList::viewOf(bytes);
}

}  // namespace

// The line walk of one parse, with the progress reports of the message's own parse.
struct MailPart::ParseCursor {
    std::string_view text;
    std::string_view tail;
    LineScanner lines;
    MailMessage* reporter;  // set only when the message parses itself and wants reports
    int total;
    std::size_t start = 0;
    std::size_t length = 0;

    ParseCursor(std::string_view text, std::string_view tail, MailMessage* reporter)
        : text(text),
          tail(tail),
          lines(text),
          reporter(reporter),
          total(static_cast<int>(text.size() < INT_MAX ? text.size() : INT_MAX)) {}

    std::string_view line() const { return text.substr(start, length); }

    bool next() {
        const bool found = lines.next(start, length);
        if (found && reporter) report(start < INT_MAX ? static_cast<int>(start) + 1 : INT_MAX);
        return found;
    }

    void report(int current) const {
        reporter->onProgress(reporter, total, current);
        if (reporter->onProcessMessages) reporter->onProcessMessages();
    }
};

MailPart* MailSubParts::add(std::unique_ptr<MailPart> part) {
    items.push_back(std::move(part));
    return items.back().get();
}

void MailSubParts::clear() {
    for (auto& part : items) part.reset();
    items.clear();
}

MailPart::~MailPart() = default;

void MailPart::parseText(std::string_view text, bool withHeader) {
    if (!ownerMessage) throw LumbrookError(ErrorKind::PartWithoutOwner, name);
    if (auto zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
    // The bodies and line lists are rewritten below; a text that lies inside them is
    // read from a copy.
    std::string copy;
    if (overlaps(text, rawBody) || overlaps(text, decodedBody) ||
        overlaps(text, ownerMessage->textLines.text()) ||
        overlaps(text, ownerMessage->htmlLines.text())) {
        copy.assign(text);
        text = copy;
    }
    parse(text, {}, withHeader);
}

int MailPart::depth() const {
    int d = 0;
    for (const MailPart* p = parentPart; p && d < MaxPartDepth; p = p->parentPart) ++d;
    return d;
}

std::unique_ptr<MailPart> MailPart::newChild() {
    auto child = std::make_unique<MailPart>(ownerMessage);
    child->parentPart = this;
    return child;
}

void MailPart::parse(std::string_view text, std::string_view tail, bool withHeader) {
    // The old tree lives on until the new one is built: the text may lie inside it.
    MailSubParts oldParts = std::move(subParts);
    StringList oldHeader = std::move(headerLines);
    subParts.clear();
    headerLines.clear();
    rawBody.clear();
    decodedBody.clear();
    beginLineName.clear();
    isDecoded = false;
    isEmbedded = false;
    ownerMessage->needsLocate = true;
    ownerMessage->forgetParts();

    MailMessage* reporter =
        this == ownerMessage && ownerMessage->onProgress ? ownerMessage : nullptr;
    ParseCursor cursor(text, tail, reporter);
    if (reporter) cursor.report(0);

    if (withHeader) {
        while (cursor.next()) {
            const std::string_view line = cursor.line();
            if (line.empty()) break;
            if ((line[0] == ' ' || line[0] == '\t') && !headerLines.empty()) {
                std::string& previous = headerLines.back();
                previous += ' ';
                previous += trimLeftBlanks(line.substr(1));
            } else {
                headerLines.emplace_back(line);
            }
        }
        for (std::string& line : headerLines) line = normalizeHeaderLine(line);
    }

    enum { Single, Multipart, UUCandidate } kind = Single;
    std::string delimiter;
    std::string boundary;
    if (depth() < MaxPartDepth) {
        if (lowerAscii(headerValue("Content-Type").substr(0, 10)) == "multipart/") {
            kind = Multipart;
            boundary = boundaryParam();
            delimiter = "--" + boundary;
        } else if (!hasHeader("Content-Type")) {
            kind = UUCandidate;
        }
    }

    // The preamble: for a single part its whole body.
    bool taken = false, stopped = false;
    std::size_t first = 0;
    if (kind == Single && !reporter) {
        // Nothing to look for in the lines: take the rest at once.
        first = cursor.lines.position();
        taken = first < text.size();
    } else {
        while (cursor.next()) {
            const std::string_view line = cursor.line();
            if ((kind == Multipart && line.starts_with(delimiter)) ||
                (kind == UUCandidate && line.starts_with(UUBeginMarker))) {
                stopped = true;
                break;
            }
            if (!taken) {
                taken = true;
                first = cursor.start;
            }
        }
    }
    if (taken) {
        if (stopped) {
            rawBody.assign(text.substr(first, cursor.start - first));
        } else {
            rawBody.reserve(text.size() - first + tail.size());
            rawBody.assign(text.substr(first));
            rawBody.append(tail);
        }
    }

    if (stopped && kind == Multipart) parseMultipart(cursor, boundary);
    if (stopped && kind == UUCandidate) parseUuEncoded(cursor);
    if (reporter) cursor.report(cursor.total);
}

void MailPart::parseMultipart(ParseCursor& cursor, std::string_view boundary) {
    const std::string delimiter = "--" + std::string(boundary);
    const std::string closing = delimiter + "--";
    const std::string_view text = cursor.text;
    auto addChild = [&](std::string_view childText, std::string_view childTail) {
        auto child = newChild();
        child->parse(childText, childTail, true);
        child->parentBoundary = boundary;
        subParts.add(std::move(child));
    };
    // The line that ended the preamble opens the first part, whatever it is.
    bool collecting = false;
    std::size_t first = 0;
    std::size_t delimiterEnd = cursor.start + cursor.length;
    while (cursor.next()) {
        const std::string_view line = cursor.line();
        if (line.size() >= 2 && line[0] == '-' && line[1] == '-') {
            const bool isClosing = line.starts_with(closing);
            if (isClosing || line.starts_with(delimiter)) {
                // Every line but the first follows a CR LF, which ends the part before it.
                if (collecting)
                    addChild(text.substr(first, cursor.start - 2 - first),
                             text.substr(cursor.start - 2, 2));
                collecting = false;
                if (isClosing) return;
                delimiterEnd = cursor.start + cursor.length;
                continue;
            }
        }
        if (!collecting) {
            collecting = true;
            first = cursor.start;
        }
    }
    // No closing delimiter: the multipart reads as if one stood right after its text
    // and tail, so the CR LF in front of that line ends the last part instead of
    // belonging to its body. The scanner gives no empty line after a final CR LF,
    // so an empty last part between a delimiter line and the tail is added here.
    if (collecting) {
        std::string_view partText = text.substr(first);
        std::string_view partTail = cursor.tail;
        if (partTail.empty() && partText.ends_with("\r\n")) {
            partTail = partText.substr(partText.size() - 2);
            partText.remove_suffix(2);
        }
        addChild(partText, partTail);
    } else if (!cursor.tail.empty() && text.size() >= 2 && delimiterEnd == text.size() - 2) {
        addChild(text.substr(text.size()), cursor.tail);
    }
}

void MailPart::parseUuEncoded(ParseCursor& cursor) {
    const std::string_view text = cursor.text;
    std::string boundary, fileName;
    bool havePending = false, atBegin = true, atEnd = false, armed = true;
    std::size_t pendingStart = 0;
    // The cursor stands on the first begin line.
    while (true) {
        const std::string_view line = cursor.line();
        if (atBegin) {
            if (boundary.empty()) convertToMultipart(boundary);
            havePending = false;
            atBegin = false;
            fileName = trimBlanks(line.size() > 10 ? line.substr(10, 999) : std::string_view{});
        } else if (atEnd) {
            const std::string_view block =
                havePending ? text.substr(pendingStart, cursor.start - 2 - pendingStart)
                            : std::string_view{};
            addUuAttachment(block, fileName, boundary);
            havePending = false;
            atEnd = false;
        } else if (!havePending) {
            havePending = true;
            pendingStart = cursor.start;
        }
        if (!cursor.next()) break;
        const std::string_view next = cursor.line();
        if (next.starts_with("be")) {
            atBegin = next.starts_with(UUBeginMarker);
            armed = true;
        }
        if (!atBegin && armed && next.starts_with("end")) {
            atEnd = true;
            armed = false;
        }
    }
}

void MailPart::convertToMultipart(std::string& boundary) {
    boundary = newBoundary();
    auto text = newChild();
    const std::string encoded = qpEncode(rawBody, false);
    text->parse(encoded, {}, false);
    text->parentBoundary = boundary;
    text->setHeaderValue("Content-Type", "text/plain");
    text->setHeaderParam("Content-Type", "charset", quoted(ownerMessage->charset));
    text->setHeaderValue("Content-Transfer-Encoding", "quoted-printable");
    subParts.add(std::move(text));
    setHeaderValue("Content-Type", "");
    setHeaderValue("Content-Type", "multipart/mixed");
    setHeaderParam("Content-Type", "boundary", quoted(boundary));
}

void MailPart::addUuAttachment(std::string_view block, std::string_view fileName,
                                std::string_view boundary) {
    auto part = newChild();
    uuDecodeText(block, part->decodedBody);
    part->setHeaderValue("Content-Type", mimeTypeForFile(fileName));
    part->encodeBodyBase64();
    part->parentBoundary = boundary;
    part->setHeaderValue("Content-Transfer-Encoding", "base64");
    part->setHeaderValue("Content-Disposition", "attachment");
    const std::string name = quoted(encodeWordQ(fileName, ownerMessage->charset));
    part->setHeaderParam("Content-Type", "name", name);
    part->setHeaderParam("Content-Disposition", "filename", name);
    part->setHeaderValue("X-Lumbrook-Attachment", name);
    part->setHeaderParam("X-Lumbrook-Attachment", "embedded", "no");
    part->beginLineName = fileName;
    subParts.add(std::move(part));
}

std::string MailPart::headerValue(std::string_view fieldName) const {
    const int index = findHeaderLine(headerLines, std::string(fieldName) + ":", 0);
    if (index < 0) return {};
    return stripValueQuotes(std::string(trimBlanks(valueBeforeParams(headerLines[index]))));
}

std::string MailPart::headerParam(std::string_view fieldName, std::string_view paramName) const {
    const int index = findHeaderLine(headerLines, std::string(fieldName) + ":", 0);
    if (index < 0) return {};
    return stripValueQuotes(std::string(trimBlanks(findParam(headerLines[index], paramName))));
}

void MailPart::setHeaderValue(std::string_view fieldName, std::string_view value) {
    int index = findHeaderLine(headerLines, std::string(fieldName) + ":", 0);
    if (value.empty()) {
        if (index >= 0) headerLines.erase(headerLines.begin() + index);
        return;
    }
    if (index < 0) {
        headerLines.push_back(std::string(fieldName) + ": ");
        index = static_cast<int>(headerLines.size()) - 1;
    }
    headerLines[index] = replaceValue(headerLines[index], value);
}

void MailPart::setHeaderParam(std::string_view fieldName, std::string_view paramName,
                               std::string_view value) {
    int index = findHeaderLine(headerLines, std::string(fieldName) + ":", 0);
    if (index < 0) {
        headerLines.push_back(std::string(fieldName) + ": ");
        index = static_cast<int>(headerLines.size()) - 1;
    }
    headerLines[index] = replaceParam(headerLines[index], paramName, value);
}

bool MailPart::hasHeader(std::string_view fieldName) const {
    return findHeaderLine(headerLines, std::string(fieldName) + ":", 0) >= 0;
}

std::string MailPart::mediaType() const {
    return lowerAscii(headerValue("Content-Type"));
}

std::string MailPart::boundaryParam() const {
    return headerParam("Content-Type", "boundary");
}

bool MailPart::decodeBody() {
    if (isDecoded) return true;
    isDecoded = true;
    if (rawBody.empty()) return true;
    decodedBody.clear();
    const std::string encoding = lowerAscii(headerValue("Content-Transfer-Encoding"));
    if (encoding == "quoted-printable") {
        decodedBody = qpDecode(rawBody);
    } else if (encoding == "base64") {
        base64DecodeText(rawBody, decodedBody);
    } else if (encoding == "uucode" || encoding == "x-uuencode") {
        LineScanner lines(rawBody);
        std::string_view line;
        while (lines.next(line)) uuDecodeLine(trimBlanks(line), decodedBody);
        encodeBodyBase64();
    } else {
        decodedBody = rawBody;
    }
    // The line break before a delimiter line belongs to the delimiter, not to the
    // part: an attachment "MZ" sent as 7bit or binary is two bytes, not four.
    // Base64 and uuencode ignore line breaks anyway.
    if (!parentBoundary.empty() && encoding != "base64" && encoding != "uucode" &&
        encoding != "x-uuencode") {
        if (decodedBody.ends_with("\r\n"))
            decodedBody.resize(decodedBody.size() - 2);
        else if (decodedBody.ends_with('\n'))
            decodedBody.pop_back();
    }
    return true;
}

void MailPart::encodeBodyBase64() {
    base64EncodeStream(decodedBody, rawBody);
    setHeaderValue("Content-Transfer-Encoding", "base64");
}

MailMessage::MailMessage() : MailPart(this) {}

MailMessage::~MailMessage() = default;

void MailMessage::forgetParts() {
    attachments.clear();
    textLines.clear();
    htmlLines.clear();
    textPart = htmlPart = mixedPart = relatedPart = alternativePart = nullptr;
}

bool MailMessage::takeAsBody(MailPart* part, std::string_view type) {
    bool taken = false;
    if (!textPart && (type == "text/plain" || type == "text")) {
        part->decodeBody();
        if (!part->decodedBody.empty()) {
            textPart = part;
            textLines = bodyLines(part->decodedBody);
            taken = true;
        }
    }
    if (!htmlPart && type == "text/html") {
        part->decodeBody();
        if (!part->decodedBody.empty()) {
            htmlPart = part;
            htmlLines = bodyLines(part->decodedBody);
            taken = true;
        }
    }
    return taken;
}

void MailMessage::locateBodies() {
    if (!needsLocate) return;
    forgetParts();
    needsLocate = false;

    // Pre-order walk with an explicit stack; the tree's depth is bounded anyway.
    std::vector<MailPart*> pending{this};
    while (!pending.empty()) {
        MailPart* p = pending.back();
        pending.pop_back();
        for (std::size_t i = p->subParts.count(); i-- > 0;)
            pending.push_back(p->subParts.partAt(i));

        const std::string t = p->mediaType();
        MailPart* parent = p->parentPart;
        const bool isMessage = p == this;
        const bool noSubParts = p->subParts.empty();
        if (!mixedPart && t == "multipart/mixed") {
            mixedPart = p;
        } else if (!relatedPart && t == "multipart/related") {
            relatedPart = p;
        } else if (!alternativePart && t == "multipart/alternative") {
            alternativePart = p;
        } else if (isMessage && (t.starts_with("text/") || t == "text") && noSubParts &&
                   takeAsBody(p, t)) {
        } else if (isMessage && t.empty() && noSubParts && takeAsBody(p, "text/plain")) {
        } else if (parent && parent == mixedPart && !alternativePart && takeAsBody(p, t)) {
        } else if (parent && parent == relatedPart && takeAsBody(p, t)) {
        } else if (parent && parent == alternativePart && takeAsBody(p, t)) {
        } else if (noSubParts) {
            p->isEmbedded = parent && parent == relatedPart;
            attachments.add(p);
        }
    }
}

}  // namespace lumbrook
