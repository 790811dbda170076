#include "page/Page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/Ascii.h"
#include "base/Charset.h"
#include "base/Errors.h"
#include "base/TextLines.h"
#include "mime/HtmlCharset.h"
#include "mime/MessageText.h"
#include "platform/FileWriter.h"
#include "listing/MessageLabels.h"

namespace lumbrook {

namespace {
// Runs of ordinary characters are passed on whole; only the four are replaced.
template <class Emit>
void emitHtmlEscaped(std::string_view text, Emit&& emit) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '&' && c != '<' && c != '>' && c != '"') continue;
        emit(text.substr(from, i - from));
        emit(std::string_view(c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;"));
        from = i + 1;
    }
    emit(text.substr(from));
}

void appendHtmlEscaped(std::string& out, std::string_view text) {
    emitHtmlEscaped(text, [&out](std::string_view piece) { out += piece; });
}

// Where the lines of a page go, whole or in pieces: HTML as it is, plain text to be
// escaped, its lines ended by "<BR>".
class PageLineSink {
  public:
    virtual ~PageLineSink() = default;
    virtual void htmlPiece(std::string_view piece) = 0;
    virtual void textPiece(std::string_view piece) = 0;
    virtual void endLine(bool text) = 0;
    void htmlLine(std::string_view line) {
        htmlPiece(line);
        endLine(false);
    }
};

// The HTML lines, or the text lines when given instead, in UTF-8.
void produceBody(const LineList& html, const LineList* text, BodyDecoder& decode,
                 PageLineSink& sink) {
    const std::function<void(std::string_view)> emit =
        text ? std::function<void(std::string_view)>([&sink](std::string_view p) { sink.textPiece(p); })
             : [&sink](std::string_view p) { sink.htmlPiece(p); };
    for (std::string_view line : text ? *text : html) {
        decode.convertLine(line, text == nullptr, emit);
        sink.endLine(text != nullptr);
    }
}

// The lines of a page with its design: the template's lines, filled in and split
// again at their line breaks. The content is the header table (when a field is
// checked) and the body, followed by an empty line: it has always been joined with
// a line break after each line and then joined once more with the template.
void produceDesignedPage(const LineList& html, const LineList* text, BodyDecoder& decode,
                         const MessageInfo& record, const Design& design, PageLineSink& sink) {
    auto split = [&sink](const std::string& line) {
        for (const std::string& piece : splitLines(line + "\r\n")) sink.htmlLine(piece);
    };
    const CodePage& codePage = design.codePage;
    for (std::string& line : readDesignTemplate(design.templatePath)) {
        // Lines filled in are UTF-8 already; the template's own are in the code page.
        bool filled = false;
        if (line == HeadingPlaceholder) {
            line = heading(record, codePage);
            filled = true;
        }
        if (line == SignaturePlaceholder) {
            line = signatureLine(record, codePage);
            filled = true;
        }
        if (line == ContentPlaceholder) {
            if (design.fields.any()) split(headerTable(record, design.fields, codePage));
            if (!design.underHeaderTable.empty()) split(design.underHeaderTable);
            produceBody(html, text, decode, sink);
            sink.htmlLine({});
        } else {
            split(filled ? line : codePage.toUtf8(line));
        }
    }
}
}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text);
    return out;
}

std::vector<std::string> readDesignTemplate(const std::string& path) {
    if (!path.empty()) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            if (!in.bad()) return splitLines(text.str());
        }
    }
    return {std::string(ContentPlaceholder)};
}

std::string headerTable(const MessageInfo& record, const HeaderFields& fields,
                        const CodePage& codePage) {
    if (!fields.any()) return {};
    std::string table = "<table>";
    auto row = [&table](std::string_view label, std::string_view utf8Value) {
        table += "<tr><td><b>";
        table += label;
        table += "</b></td><td>";
        table += htmlEscape(utf8Value);
        table += "</td></tr>";
    };
    // The date text is the program's own, in UTF-8 already.
    if (fields.from) row("From:", codePage.toUtf8(record.from));
    if (fields.to) row("To:", codePage.toUtf8(record.to));
    if (fields.date) row("Date:", messageDateText(record));
    if (fields.subject) row("Subject:", codePage.toUtf8(record.subject));
    table += "</table><hr><p>";
    return table;
}

std::string signatureLine(const MessageInfo& record, const CodePage& codePage) {
    auto text = [&codePage](std::string_view value) { return htmlEscape(codePage.toUtf8(value)); };
    return text(record.subject) + " of " + text(record.from) + " to " + text(record.to) +
           " from " + htmlEscape(messageDateText(record));
}

std::string heading(const MessageInfo& record, const CodePage& codePage) {
    return record.subject.empty() ? std::string("eMail message")
                                  : htmlEscape(codePage.toUtf8(record.subject));
}

namespace {
bool allAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
}  // namespace

std::optional<std::string> bodyCharset(const MailMessage& message) {
    const MailPart* body = !message.htmlLines.empty() ? message.htmlPart : message.textPart;
    return partCharset(body ? *body : message);
}

BodyDecoder::BodyDecoder(const std::optional<std::string>& charset, const CodePage& codePage)
    : codePage(codePage) {
    if (charset) converter = std::make_unique<Utf8Converter>(*charset);
    utf8 = charset ? equalsNoCase(*charset, "UTF-8") : codePage.number() == 65001;
    // Most lines are plain ASCII: they need no copy when the charset reads ASCII as
    // ASCII, as all but a few (UTF-16, UTF-7, ...) do.
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
    asciiAsItIs = convert(ascii) == ascii;
}

BodyDecoder::BodyDecoder(const MailMessage& message, const CodePage& codePage)
    : BodyDecoder(bodyCharset(message), codePage) {}

BodyDecoder::BodyDecoder(const MailPart* part, const CodePage& codePage)
    : BodyDecoder(part ? partCharset(*part) : std::nullopt, codePage) {}

BodyDecoder::~BodyDecoder() = default;

std::string BodyDecoder::convert(std::string_view bytes) {
    return converter ? converter->convert(bytes) : codePage.toUtf8(bytes);
}

void BodyDecoder::convertLine(std::string_view line, bool html,
                              const std::function<void(std::string_view)>& emit) {
    // Cutting after an ASCII byte cuts no character only where ASCII is itself.
    do {
        const std::size_t end = asciiAsItIs ? pageLinePieceEnd(line, html) : line.size();
        emit((*this)(line.substr(0, end)));
        line.remove_prefix(end);
    } while (!line.empty());
}

std::string_view BodyDecoder::operator()(std::string_view bytes) {
    if (asciiAsItIs && (utf8 ? isValidUtf8(bytes) : allAscii(bytes))) return bytes;
    converted = convert(bytes);
    return converted;
}

namespace {
// Page lines into a page, through the filter. Escaped text has no quote and no "<"
// but the one of "<BR>", so the rewriting would leave it as it is.
class PageWriterSink : public PageLineSink {
  public:
    explicit PageWriterSink(PageFilter& out) : out(out) {}
    void htmlPiece(std::string_view line) override { out.html(line); }
    void textPiece(std::string_view line) override {
        emitHtmlEscaped(line, [this](std::string_view piece) { out.text(piece); });
    }
    void endLine(bool text) override { out.text(text ? "<BR>\r\n" : "\r\n"); }

  private:
    PageFilter& out;
};
}  // namespace

std::string pageFileBytes(const LineList& lines, const PartFiles& parts) {
    std::string page;
    page.reserve(lines.text().size() + 2 * lines.size() + 256);
    PageFilter filter(parts, [&page](std::string_view piece) { page += piece; });
    PageWriterSink sink(filter);
    for (std::string_view line : lines) sink.htmlLine(line);
    filter.finish();
    return page;
}

void writePageFile(const LineList& lines, const std::string& fileName, const PartFiles& parts) {
    FileWriter out(fileName, FileWriter::Mode::Replace);
    PageFilter filter(parts, [&out](std::string_view piece) { out.write(piece); });
    PageWriterSink sink(filter);
    for (std::string_view line : lines) sink.htmlLine(line);
    filter.finish();
    out.finish();
}

}  // namespace lumbrook

namespace lumbrook {

namespace {
// The page's lines in UTF-8: the body, dressed when the design applies.
void producePage(const MailMessage& message, const MessageInfo& record, const Design& design,
                 PageLineSink& sink) {
    BodyDecoder decode(message, design.codePage);
    const LineList* text = message.htmlLines.empty() ? &message.textLines : nullptr;
    if (design.apply)
        produceDesignedPage(message.htmlLines, text, decode, record, design, sink);
    else
        produceBody(message.htmlLines, text, decode, sink);
}
}  // namespace

void buildPageLines(MailMessage& message, const MessageInfo& record, const Design& design) {
    struct Collect : PageLineSink {
        LineList lines;
        std::string line;
        void htmlPiece(std::string_view piece) override { line += piece; }
        void textPiece(std::string_view piece) override { appendHtmlEscaped(line, piece); }
        void endLine(bool text) override {
            if (text) line += "<BR>";
            lines.push_back(line);
            line.clear();
        }
    } collect;
    producePage(message, record, design, collect);
    message.htmlLines = std::move(collect.lines);
}

void writePage(const MailMessage& message, const MessageInfo& record, const Design& design,
               const PartFiles& parts, FileWriter& out) {
    PageFilter filter(parts, [&out](std::string_view piece) { out.write(piece); });
    PageWriterSink sink(filter);
    producePage(message, record, design, sink);
    filter.finish();
}

std::string renderMessagePage(std::string_view rawText, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles,
                              std::vector<FileCreateError>* problems) {
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    return renderMessagePage(message, record, design, dir, pageName, tempFiles, problems);
}

std::string renderMessagePage(MailMessage& message, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles,
                              std::vector<FileCreateError>* problems) {
    OutputNames names;
    names.reserve(pageName);
    const PartFiles parts = saveContentIdParts(message, dir, names);
    if (tempFiles)
        for (const auto& path : parts.paths) tempFiles->add(path);
    const std::string page = dir + pageName;
    FileWriter out(page, FileWriter::Mode::Replace);
    writePage(message, record, design, parts, out);
    out.finish();
    if (tempFiles) tempFiles->add(page);
    if (problems) {
        problems->insert(problems->end(), parts.problems.begin(), parts.problems.end());
    } else if (!parts.problems.empty()) {
        throw parts.problems.front();
    }
    return page;
}

}  // namespace lumbrook
