#include "mime/HtmlCharset.h"

#include "base/Ascii.h"
#include "base/Charset.h"

namespace lumbrook {

namespace {

// Browsers look at the first 1024 bytes; mail written by Word and Outlook carries
// long style sheets before its meta elements, and Internet Explorer, which showed
// these messages first, looked further.
constexpr std::size_t PrescanLength = 4096;

struct Attribute {
    std::string name;   // lower case
    std::string_view value;
};

// Reads one attribute of a tag at `at`; false at the tag's end (or the text's).
// Every call that returns true moves `at` forward.
bool nextAttribute(std::string_view text, std::size_t& at, Attribute& attribute) {
    while (at < text.size() && (isHtmlSpace(text[at]) || text[at] == '/')) ++at;
    if (at >= text.size() || text[at] == '>') return false;
    attribute.name.clear();
    attribute.value = {};
    // The first character may be "=", which then is part of the name.
    attribute.name += lowerAscii(text[at++]);
    while (at < text.size() && !isHtmlSpace(text[at]) && text[at] != '/' && text[at] != '>' &&
           text[at] != '=')
        attribute.name += lowerAscii(text[at++]);
    while (at < text.size() && isHtmlSpace(text[at])) ++at;
    if (at >= text.size() || text[at] != '=') return true;
    ++at;
    while (at < text.size() && isHtmlSpace(text[at])) ++at;
    if (at >= text.size()) return true;
    if (text[at] == '"' || text[at] == '\'') {
        const char quote = text[at++];
        const std::size_t end = text.find(quote, at);
        if (end == std::string_view::npos) {
            // A value cut off by the end of the scan is no declaration.
            at = text.size();
            return false;
        }
        attribute.value = text.substr(at, end - at);
        at = end + 1;
        return true;
    }
    const std::size_t start = at;
    while (at < text.size() && !isHtmlSpace(text[at]) && text[at] != '>') ++at;
    attribute.value = text.substr(start, at - start);
    return true;
}

// The charset in a Content-Type value such as "text/html; charset=koi8-r".
std::optional<std::string_view> charsetInContent(std::string_view content) {
    const std::string lower = lowerAscii(content);
    std::size_t at = 0;
    while (at < content.size()) {
        const std::size_t found = lower.find("charset", at);
        if (found == std::string::npos) return std::nullopt;
        at = found + 7;
        while (at < content.size() && isHtmlSpace(content[at])) ++at;
        if (at >= content.size() || content[at] != '=') continue;
        ++at;
        while (at < content.size() && isHtmlSpace(content[at])) ++at;
        if (at >= content.size()) return std::nullopt;
        if (content[at] == '"' || content[at] == '\'') {
            const char quote = content[at];
            const std::size_t end = content.find(quote, at + 1);
            if (end == std::string_view::npos) return std::nullopt;
            return content.substr(at + 1, end - at - 1);
        }
        const std::size_t start = at;
        while (at < content.size() && !isHtmlSpace(content[at]) && content[at] != ';') ++at;
        return content.substr(start, at - start);
    }
    return std::nullopt;
}

// The charset a meta element declares, when it declares one iconv knows.
std::optional<std::string> metaCharset(std::string_view text, std::size_t& at) {
    bool gotPragma = false, needPragma = false, seenHttpEquiv = false, seenContent = false,
         seenCharset = false;
    std::optional<std::string_view> charset;
    Attribute attribute;
    while (nextAttribute(text, at, attribute)) {
        if (attribute.name == "http-equiv" && !seenHttpEquiv) {
            seenHttpEquiv = true;
            gotPragma = lowerAscii(attribute.value) == "content-type";
        } else if (attribute.name == "content" && !seenContent) {
            seenContent = true;
            if (!charset) {
                charset = charsetInContent(attribute.value);
                if (charset) needPragma = true;
            }
        } else if (attribute.name == "charset" && !seenCharset) {
            seenCharset = true;
            charset = attribute.value;
            needPragma = false;
        }
    }
    if (!charset || (needPragma && !gotPragma)) return std::nullopt;
    std::string label(*charset);
    if (!iconvNameForLabel(label)) return std::nullopt;
    const std::string key = lowerAscii(label);
    if (key.find("utf-16") != std::string::npos || key.find("utf16") != std::string::npos)
        return std::string("utf-8");
    return label;
}

}  // namespace

std::optional<std::string> declaredHtmlCharset(std::string_view html) {
    if (html.starts_with("\xEF\xBB\xBF")) return std::string("UTF-8");
    if (html.starts_with("\xFF\xFE")) return std::string("UTF-16LE");
    if (html.starts_with("\xFE\xFF")) return std::string("UTF-16BE");

    const std::string_view text = html.substr(0, PrescanLength);
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] != '<') {
            ++at;
            continue;
        }
        if (text.substr(at).starts_with("<!--")) {
            // The comment ends at the first "-->", which may share its dashes with
            // the opening: "<!-->" is a whole comment.
            const std::size_t end = text.find("-->", at + 2);
            if (end == std::string_view::npos) return std::nullopt;
            at = end + 3;
        } else if (startsWithNoCase(text.substr(at), "<meta") && at + 5 < text.size() &&
                   (isHtmlSpace(text[at + 5]) || text[at + 5] == '/')) {
            at += 5;
            if (auto charset = metaCharset(text, at)) return charset;
        } else if (at + 1 < text.size() &&
                   (isAsciiLetter(text[at + 1]) ||
                    (text[at + 1] == '/' && at + 2 < text.size() && isAsciiLetter(text[at + 2])))) {
            // Any other tag: skip its name and its attributes, whose quoted values
            // may hold a ">" or something that looks like a meta element.
            ++at;
            while (at < text.size() && !isHtmlSpace(text[at]) && text[at] != '>') ++at;
            Attribute attribute;
            while (nextAttribute(text, at, attribute)) {
            }
        } else if (at + 1 < text.size() &&
                   (text[at + 1] == '!' || text[at + 1] == '/' || text[at + 1] == '?')) {
            const std::size_t end = text.find('>', at + 1);
            if (end == std::string_view::npos) return std::nullopt;
            at = end + 1;
        } else {
            ++at;
        }
    }
    return std::nullopt;
}

}  // namespace lumbrook
