#include "mime/HtmlToText.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/Ascii.h"
#include "base/Charset.h"

namespace lumbrook {

namespace {

// What an element means for the text. The parser reports elements as they open
// and close (SAX) instead of building a tree: a 50 MB body made of small tags would
// need many times its size as a tree, and the text needs one pass in document order.
enum class Kind : unsigned char {
    Inline,
    Line,       // starts and ends a line
    Paragraph,  // set off by an empty line
    List,
    ListItem,
    Row,
    Cell,
    Pre,
    Rule,
    Break,
    Image,
    Link,
    Dropped,  // nothing inside is text
    Inert,    // inside dropped content
};

Kind kindOf(std::string_view name) {
    static const std::unordered_map<std::string_view, Kind> kinds = {
        {"div", Kind::Line},        {"address", Kind::Line},    {"section", Kind::Line},
        {"article", Kind::Line},    {"header", Kind::Line},     {"footer", Kind::Line},
        {"form", Kind::Line},       {"nav", Kind::Line},        {"aside", Kind::Line},
        {"main", Kind::Line},       {"figure", Kind::Line},     {"figcaption", Kind::Line},
        {"fieldset", Kind::Line},   {"legend", Kind::Line},     {"center", Kind::Line},
        {"details", Kind::Line},    {"summary", Kind::Line},    {"caption", Kind::Line},
        {"table", Kind::Line},      {"dt", Kind::Line},         {"dd", Kind::Line},
        {"frameset", Kind::Line},   {"noframes", Kind::Line},   {"hgroup", Kind::Line},
        {"p", Kind::Paragraph},     {"h1", Kind::Paragraph},    {"h2", Kind::Paragraph},
        {"h3", Kind::Paragraph},    {"h4", Kind::Paragraph},    {"h5", Kind::Paragraph},
        {"h6", Kind::Paragraph},    {"blockquote", Kind::Paragraph}, {"dl", Kind::Paragraph},
        {"ul", Kind::List},         {"ol", Kind::List},         {"dir", Kind::List},
        {"menu", Kind::List},       {"li", Kind::ListItem},     {"tr", Kind::Row},
        {"td", Kind::Cell},         {"th", Kind::Cell},         {"pre", Kind::Pre},
        {"xmp", Kind::Pre},         {"listing", Kind::Pre},     {"plaintext", Kind::Pre},
        {"hr", Kind::Rule},         {"br", Kind::Break},        {"img", Kind::Image},
        {"a", Kind::Link},          {"script", Kind::Dropped},  {"style", Kind::Dropped},
        {"head", Kind::Dropped},    {"title", Kind::Dropped},   {"noscript", Kind::Dropped},
        {"template", Kind::Dropped},
        // Office's data islands; Word writes them into the body of some messages.
        {"xml", Kind::Dropped},
    };
    const auto it = kinds.find(name);
    return it == kinds.end() ? Kind::Inline : it->second;
}

// The lines of text, built so that line breaks, spaces and cell separators wait
// until visible text follows: then no line ends in a space, breaks at the start or
// end of the text never appear, and runs of breaks are counted only once.
class TextBuilder {
public:
    // Text of the page; outside preformatted text white space collapses.
    void text(std::string_view chars, bool preformatted) {
        for (std::size_t i = 0; i < chars.size(); ++i) {
            const char c = chars[i];
            if (c == '\xC2' && i + 1 < chars.size() && chars[i + 1] == '\xA0') {
                // A no-break space never collapses; as a plain space it reads the same.
                // Alone on a line it still makes the line (Outlook Express wrote
                // <DIV>&nbsp;</DIV> for an empty line).
                pendingSpaces += ' ';
                collapsible = false;
                if (!output.empty() && pendingBreaks > 0) blankLine = true;
                ++i;
            } else if (preformatted && (c == '\n' || c == '\r')) {
                if (c == '\r' && i + 1 < chars.size() && chars[i + 1] == '\n') ++i;
                lineBreak();
            } else if (preformatted && (c == ' ' || c == '\t' || c == '\f')) {
                pendingSpaces += c == '\f' ? ' ' : c;
                collapsible = false;
            } else if (!preformatted && isHtmlSpace(c)) {
                if (!atBoundary() && !collapsible) {
                    pendingSpaces += ' ';
                    collapsible = true;
                }
            } else {
                std::size_t end = i + 1;
                while (end < chars.size() && !isHtmlSpace(chars[end]) && chars[end] != '\xC2') ++end;
                visible(chars.substr(i, end - i));
                i = end - 1;
            }
        }
    }

    // Characters shown as they are, white space included.
    void visible(std::string_view chars) {
        if (chars.empty()) return;
        if (!output.empty() && pendingBreaks > 0) {
            for (int i = 0; i < pendingBreaks; ++i) output += "\r\n";
            if (capturing && !capturedText.empty()) capturedText += ' ';
        } else if (!output.empty() && pendingSeparator) {
            output += " | ";
            if (capturing && !capturedText.empty()) capturedText += ' ';
        }
        pendingBreaks = 0;
        pendingSeparator = false;
        blankLine = false;
        output += pendingBullet;
        pendingBullet.clear();
        output += pendingSpaces;
        if (capturing) capturedText += pendingSpaces;
        pendingSpaces.clear();
        collapsible = false;
        output += chars;
        if (capturing) capturedText += chars;
    }

    // <br>, or a line end in preformatted text: each one counts.
    void lineBreak() {
        if (!output.empty()) pendingBreaks = std::min(pendingBreaks + 1, 2);
        clearPending();
    }

    // The edge of a block: at least so many line ends (1, or 2 for an empty line).
    void block(int lines) {
        if (!output.empty()) {
            if (blankLine) pendingBreaks = std::min(pendingBreaks + 1, 2);
            pendingBreaks = std::max(pendingBreaks, lines);
        }
        clearPending();
    }

    // A table cell: separated from text before it on the same line.
    void cell() {
        clearPending();
        pendingSeparator = !output.empty() && pendingBreaks == 0;
    }

    void listItem(std::string prefix) {
        block(1);
        pendingBullet = std::move(prefix);
    }

    // Characters placed right after the text so far, on its line (the address after
    // a link's text).
    void appendToLine(std::string_view chars) { output += chars; }

    // Collects the visible text from here on, as one line.
    void startCapture() {
        capturing = true;
        capturedText.clear();
    }
    std::string stopCapture() {
        capturing = false;
        return std::move(capturedText);
    }

    std::string finish() { return std::move(output); }

private:
    bool atBoundary() const { return output.empty() || pendingBreaks > 0 || pendingSeparator || !pendingBullet.empty(); }
    void clearPending() {
        blankLine = false;
        pendingSpaces.clear();
        collapsible = false;
        pendingSeparator = false;
    }

    std::string output;
    int pendingBreaks = 0;
    std::string pendingSpaces;
    bool collapsible = false;  // pendingSpaces ends with a space that white space collapsed into
    bool pendingSeparator = false;
    bool blankLine = false;  // the line so far holds no-break spaces only
    std::string pendingBullet;
    bool capturing = false;
    std::string capturedText;
};

class Converter {
public:
    void start(std::string_view name, const xmlChar** attributes) {
        Kind kind = kindOf(name);
        if (droppedDepth > 0) {
            if (kind == Kind::Dropped) ++droppedDepth;
            openElements.push_back({kind == Kind::Dropped ? Kind::Dropped : Kind::Inert, false});
            return;
        }
        bool ownsLink = false;
        switch (kind) {
        case Kind::Line:
        case Kind::Row: builder.block(1); break;
        case Kind::Paragraph: builder.block(2); break;
        case Kind::List:
            builder.block(listDepth > 0 ? 1 : 2);
            ++listDepth;
            break;
        case Kind::ListItem:
            builder.listItem(std::string(2 * static_cast<std::size_t>(std::max(listDepth, 1) - 1), ' ') + "- ");
            break;
        case Kind::Cell: builder.cell(); break;
        case Kind::Pre:
            builder.block(2);
            ++preDepth;
            preStart = true;
            break;
        case Kind::Rule: builder.block(2); break;
        case Kind::Break: builder.lineBreak(); break;
        case Kind::Image:
            if (const auto alt = attribute(attributes, "alt")) builder.text(*alt, false);
            break;
        case Kind::Link:
            if (!linkOpen) {
                if (const auto href = attribute(attributes, "href")) {
                    linkHref = usableAddress(*href);
                    if (!linkHref.empty()) {
                        linkOpen = ownsLink = true;
                        builder.startCapture();
                    }
                }
            }
            break;
        case Kind::Dropped: ++droppedDepth; break;
        case Kind::Inline:
        case Kind::Inert: break;
        }
        openElements.push_back({kind, ownsLink});
    }

    void end() {
        // The parser closes elements in the reverse order of opening, every one it
        // opened (also those it closes for a missing or stray end tag).
        if (openElements.empty()) return;
        const OpenElement element = openElements.back();
        openElements.pop_back();
        switch (element.kind) {
        case Kind::Dropped: --droppedDepth; break;
        case Kind::Line:
        case Kind::Row:
        case Kind::ListItem: builder.block(1); break;
        case Kind::Paragraph:
        case Kind::Rule: builder.block(2); break;
        case Kind::List:
            --listDepth;
            builder.block(listDepth > 0 ? 1 : 2);
            break;
        case Kind::Pre:
            --preDepth;
            builder.block(2);
            break;
        case Kind::Link:
            if (element.ownsLink) endLink();
            break;
        default: break;
        }
    }

    void characters(std::string_view chars) {
        if (droppedDepth > 0) return;
        if (preDepth > 0 && preStart) {
            // A line end right after <pre> belongs to the markup, not the text.
            if (chars.starts_with("\r\n"))
                chars.remove_prefix(2);
            else if (chars.starts_with("\n") || chars.starts_with("\r"))
                chars.remove_prefix(1);
        }
        preStart = false;
        builder.text(chars, preDepth > 0);
    }

    std::string finish() {
        if (linkOpen) endLink();
        std::string out = builder.finish();
        if (!isValidUtf8(out)) out = sanitizeUtf8(out);
        return out;
    }

private:
    struct OpenElement {
        Kind kind;
        bool ownsLink;
    };

    static std::optional<std::string_view> attribute(const xmlChar** attributes, std::string_view name) {
        if (attributes == nullptr) return std::nullopt;
        for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
            const std::string_view attributeName(reinterpret_cast<const char*>(attributes[i]));
            if (!equalsNoCase(attributeName, name)) continue;
            if (attributes[i + 1] == nullptr) return std::string_view();
            return std::string_view(reinterpret_cast<const char*>(attributes[i + 1]));
        }
        return std::nullopt;
    }

    // The address as a reader could use it, or nothing for links that lead nowhere
    // outside the page (anchors in the page, scripts).
    static std::string usableAddress(std::string_view href) {
        std::string address;
        // Addresses wrapped in the source: an address holds no white space, and the
        // parser has turned the line ends into spaces already.
        for (char c : href)
            if (!isHtmlSpace(c)) address += c;
        if (address.starts_with('#') || startsWithNoCase(address, "javascript:")) return {};
        return address;
    }

    void endLink() {
        linkOpen = false;
        const std::string captured = builder.stopCapture();
        const std::string_view label = trim(captured, isHtmlSpace);
        if (label.empty()) {
            builder.visible("<" + linkHref + ">");
            return;
        }
        const std::string_view href = linkHref;
        const bool sameAsLabel =
            href == label || (startsWithNoCase(href, "mailto:") && href.substr(7) == label);
        if (!sameAsLabel) builder.appendToLine(" <" + linkHref + ">");
    }

    TextBuilder builder;
    std::vector<OpenElement> openElements;
    int droppedDepth = 0;
    int listDepth = 0;
    int preDepth = 0;
    bool preStart = false;
    bool linkOpen = false;
    std::string linkHref;
};

Converter& converterOf(void* context) {
    return *static_cast<Converter*>(static_cast<htmlParserCtxtPtr>(context)->_private);
}

void onStartElement(void* context, const xmlChar* name, const xmlChar** attributes) {
    converterOf(context).start(reinterpret_cast<const char*>(name), attributes);
}

void onEndElement(void* context, const xmlChar*) { converterOf(context).end(); }

void onCharacters(void* context, const xmlChar* chars, int length) {
    if (length <= 0) return;
    converterOf(context).characters(
        std::string_view(reinterpret_cast<const char*>(chars), static_cast<std::size_t>(length)));
}

}  // namespace

std::string htmlToText(std::string_view utf8Html) {
    std::string input;
    // The parser stops reading at a zero byte; browsers show U+FFFD for it.
    const bool hasZero = utf8Html.find('\0') != std::string_view::npos;
    if (hasZero || !isValidUtf8(utf8Html)) {
        input = sanitizeUtf8(utf8Html);
        if (hasZero) {
            std::string replaced;
            replaced.reserve(input.size() + 16);
            for (char c : input) {
                if (c == '\0')
                    replaced += "\xEF\xBF\xBD";
                else
                    replaced += c;
            }
            input = std::move(replaced);
        }
        utf8Html = input;
    }
    if (utf8Html.empty()) return {};
    // libxml2's global set-up is not safe to race; the first call does it once.
    static const bool parserReady = (xmlInitParser(), true);
    (void)parserReady;
    const int size = static_cast<int>(std::min<std::size_t>(utf8Html.size(), INT_MAX));

    htmlParserCtxtPtr context = htmlCreateMemoryParserCtxt(utf8Html.data(), size);
    if (context == nullptr) return {};
    htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                    HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    // Only the events the text needs: no document tree is built, and with no
    // error or warning handlers nothing is reported.
    xmlSAXHandler* sax = context->sax;
    std::memset(sax, 0, sizeof *sax);
    sax->initialized = 1;
    sax->startElement = onStartElement;
    sax->endElement = onEndElement;
    sax->characters = onCharacters;
    sax->ignorableWhitespace = onCharacters;
    sax->cdataBlock = onCharacters;
    Converter converter;
    context->_private = &converter;
    // The text is UTF-8 already: the page's own charset declaration must not
    // make the parser decode it again.
    xmlSwitchEncoding(context, XML_CHAR_ENCODING_UTF8);
    htmlParseDocument(context);
    if (context->myDoc != nullptr) xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
    htmlFreeParserCtxt(context);
    return converter.finish();
}

}  // namespace lumbrook
