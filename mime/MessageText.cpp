#include "mime/MessageText.h"

#include <vector>

#include "base/Ascii.h"
#include "base/Charset.h"
#include "mime/HtmlCharset.h"
#include "mime/HtmlToText.h"
#include "mime/MailModel.h"

namespace lumbrook {

namespace {

bool isHtml(const MailPart& part) { return equalsNoCase(part.mediaType(), "text/html"); }

bool isText(const MailPart& part) {
    const std::string type = part.mediaType();
    // A part without a Content-Type is plain text by the rules of Internet mail.
    return type.empty() || equalsNoCase(type, "text/plain") || equalsNoCase(type, "text/html");
}

// A part the sender attached as a file, not a body to read.
bool isAttachedFile(const MailPart& part) {
    const std::string disposition = part.headerValue("Content-Disposition");
    return disposition.size() >= 10 && equalsNoCase(disposition.substr(0, 10), "attachment");
}

}  // namespace

std::optional<std::string> partCharset(const MailPart& part) {
    std::optional<std::string> name;
    const std::string label = part.headerParam("Content-Type", "charset");
    if (!label.empty()) name = iconvNameForLabel(label);
    if (!name && isHtml(part)) {
        if (auto declared = declaredHtmlCharset(part.decodedBody)) name = iconvNameForLabel(*declared);
    }
    return name;
}

std::string partTextUtf8(MailPart& part, std::string_view fallbackIconvName) {
    part.decodeBody();
    const std::optional<std::string> name = partCharset(part);
    return convertToUtf8(part.decodedBody, name ? std::string_view(*name) : fallbackIconvName);
}

std::string messageBodyText(MailMessage& message, std::string_view fallbackIconvName,
                            std::size_t maxBytes) {
    std::string text;
    // Depth first, in the order the parts stand in the message; an explicit stack
    // keeps any nesting the parser allows off the call stack.
    std::vector<MailPart*> stack{&message};
    while (!stack.empty() && text.size() < maxBytes) {
        MailPart* part = stack.back();
        stack.pop_back();
        if (!part->subParts.empty()) {
            for (std::size_t i = part->subParts.count(); i-- > 0;)
                stack.push_back(part->subParts.partAt(i));
            continue;
        }
        if (!isText(*part) || isAttachedFile(*part)) continue;
        std::string body = partTextUtf8(*part, fallbackIconvName);
        if (isHtml(*part)) body = htmlToText(body);
        if (body.empty()) continue;
        if (!text.empty()) text += "\r\n\r\n";
        text += body;
    }
    if (text.size() > maxBytes) text.resize(maxBytes);
    return sanitizeUtf8(text);
}

}  // namespace lumbrook
