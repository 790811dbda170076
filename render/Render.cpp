#include "render/Render.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/AsciiCase.h"
#include "base/Errors.h"
#include "base/TextLines.h"
#include "render/FileOutput.h"
#include "render/OutputNaming.h"

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

// Where the lines of a page go: HTML lines as they are, lines of plain text to be
// escaped and ended by "<BR>".
class PageLineSink {
  public:
    virtual ~PageLineSink() = default;
    virtual void htmlLine(std::string_view line) = 0;
    virtual void textLine(std::string_view line) = 0;
};

// The HTML lines, or the text lines when given instead.
void produceBody(const LineList& html, const LineList* text, PageLineSink& sink) {
    if (text) {
        for (std::string_view line : *text) sink.textLine(line);
    } else {
        for (std::string_view line : html) sink.htmlLine(line);
    }
}

// The lines of a page with its design: the template's lines, filled in and split
// again at their line breaks. The content is the header table (when a field is
// checked) and the body, followed by an empty line: it has always been joined with
// a line break after each line and then joined once more with the template.
void produceDesignedPage(const LineList& html, const LineList* text, const MessageInfo& record,
                         const HeaderFields& fields, const std::string& templatePath,
                         PageLineSink& sink) {
    auto split = [&sink](const std::string& line) {
        for (const std::string& piece : splitLines(line + "\r\n")) sink.htmlLine(piece);
    };
    for (std::string& line : readDesignTemplate(templatePath)) {
        if (line == HeadingPlaceholder) line = heading(record);
        if (line == SignaturePlaceholder) line = signatureLine(record);
        if (line == ContentPlaceholder) {
            if (fields.any()) split(headerTable(record, fields));
            produceBody(html, text, sink);
            sink.htmlLine({});
        } else {
            split(line);
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

void appendTextAsHtml(MailMessage& message) {
    std::string html;
    for (std::string_view line : message.textLines) {
        html.clear();
        appendHtmlEscaped(html, line);
        html += "<BR>";
        message.htmlLines.push_back(html);
    }
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

std::string headerTable(const MessageInfo& record, const HeaderFields& fields) {
    if (!fields.any()) return {};
    std::string table = "<table>";
    auto row = [&table](std::string_view label, std::string_view value) {
        table += "<tr><td><b>";
        table += label;
        table += "</b></td><td>";
        table += htmlEscape(value);
        table += "</td></tr>";
    };
    if (fields.from) row("From:", record.from);
    if (fields.to) row("To:", record.to);
    if (fields.date) row("Date:", messageDateText(record));
    if (fields.subject) row("Subject:", record.subject);
    table += "</table><hr><p>";
    return table;
}

std::string signatureLine(const MessageInfo& record) {
    return htmlEscape(record.subject) + " of " + htmlEscape(record.from) + " to " +
           htmlEscape(record.to) + " from " + htmlEscape(messageDateText(record));
}

std::string heading(const MessageInfo& record) {
    return record.subject.empty() ? std::string("eMail message") : htmlEscape(record.subject);
}

void applyDesign(MailMessage& message, const MessageInfo& record,
                   const HeaderFields& fields, const std::string& templatePath) {
    struct Collect : PageLineSink {
        LineList lines;
        void htmlLine(std::string_view line) override { lines.push_back(line); }
        void textLine(std::string_view line) override { lines.push_back(line); }
    } collect;
    produceDesignedPage(message.htmlLines, nullptr, record, fields, templatePath, collect);
    message.htmlLines = std::move(collect.lines);
}

std::string contentIdFileName(const MailPart& part) {
    std::string id = part.headerValue("Content-ID");
    if (!id.empty() && id.front() == '<') id.erase(0, 1);
    if (!id.empty() && id.back() == '>') id.pop_back();
    return id;
}

namespace {
// A Content-ID is a name chosen by whoever sent the mail: it must name a file in
// the directory itself, never a path out of it.
bool staysInDirectory(const std::string& name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}
}  // namespace

void saveContentIdParts(MailMessage& message, const std::string& dir, TempFiles* tempFiles) {
    for (MailPart* part : message.attachments) {
        const std::string id = contentIdFileName(*part);
        if (id.empty()) continue;
        const std::string path = dir + id;
        if (!staysInDirectory(id)) throw makeCreateError(path);
        part->decodeBody();
        writeFileReplacing(path, part->decodedBody);
        if (tempFiles) tempFiles->add(path);
    }
}

namespace {
// Whether text holds upperNeedle at i, without regard to case.
bool matchesNoCase(std::string_view text, std::size_t i, std::string_view upperNeedle) {
    if (i > text.size() || upperNeedle.size() > text.size() - i) return false;
    for (std::size_t k = 0; k < upperNeedle.size(); ++k)
        if (upperAscii(text[i + k]) != upperNeedle[k]) return false;
    return true;
}

// The next place from `from` on where upperNeedle stands, without regard to case.
// Its first character is no letter ('"' or '<'), so it is looked for as it is.
std::size_t findNoCase(std::string_view text, std::string_view upperNeedle, std::size_t from) {
    while (from < text.size()) {
        const void* hit = std::memchr(text.data() + from, upperNeedle[0], text.size() - from);
        if (!hit) return std::string::npos;
        const std::size_t at =
            static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        if (matchesNoCase(text, at, upperNeedle)) return at;
        from = at + 1;
    }
    return std::string::npos;
}

constexpr std::string_view CidReference = "\"CID:";
constexpr std::string_view BaseElement = "<BASE";

// A piece of a line with every <BASE element disarmed to <BBSE.
template <class Emit>
void emitDisarmed(std::string_view piece, Emit& emit) {
    std::size_t from = 0;
    for (std::size_t at; (at = findNoCase(piece, BaseElement, from)) != std::string::npos;) {
        emit(piece.substr(from, at + 2 - from));
        emit(std::string_view("B"));
        from = at + 3;
    }
    emit(piece.substr(from));
}

// The line rewritten, in pieces: every "cid:" right after a double quote dropped
// (again and again, as long as another one follows the same quote), and every
// <BASE element disarmed. Dropping "cid:" never makes or breaks a "<BASE", since
// a quote stays in front of what follows, so the pieces between the dropped ones
// are disarmed each on its own.
template <class Emit>
void emitConvertedLine(std::string_view line, Emit&& emit) {
    std::size_t from = 0;
    for (std::size_t at; (at = findNoCase(line, CidReference, from)) != std::string::npos;) {
        emitDisarmed(line.substr(from, at + 1 - from), emit);
        from = at + CidReference.size();
        while (matchesNoCase(line, from, CidReference.substr(1))) from += CidReference.size() - 1;
    }
    emitDisarmed(line.substr(from), emit);
}

void appendConvertedLine(std::string& out, std::string_view line) {
    emitConvertedLine(line, [&out](std::string_view piece) { out += piece; });
}

// Page lines straight into the file. Escaped text has no quote and no "<" but the
// one of "<BR>", so the rewriting would leave it as it is.
class PageWriterSink : public PageLineSink {
  public:
    explicit PageWriterSink(FileWriter& out) : out(out) {}
    void htmlLine(std::string_view line) override {
        emitConvertedLine(line, [this](std::string_view piece) { out.write(piece); });
        out.write("\r\n");
    }
    void textLine(std::string_view line) override {
        emitHtmlEscaped(line, [this](std::string_view piece) { out.write(piece); });
        out.write("<BR>\r\n");
    }

  private:
    FileWriter& out;
};
}  // namespace

std::string rewritePageLine(std::string line) {
    std::string out;
    out.reserve(line.size());
    appendConvertedLine(out, line);
    return out;
}

std::string pageFileBytes(const LineList& lines) {
    std::string page;
    page.reserve(lines.text().size() + 2 * lines.size());
    for (std::string_view line : lines) {
        appendConvertedLine(page, line);
        page += "\r\n";
    }
    return page;
}

void writePageFile(const LineList& lines, const std::string& fileName) {
    FileWriter out(fileName, FileWriter::Mode::Replace);
    PageWriterSink sink(out);
    for (std::string_view line : lines) sink.htmlLine(line);
    out.finish();
}

}  // namespace lumbrook

namespace lumbrook {

void buildPageLines(MailMessage& message, const MessageInfo& record, const Design& design) {
    if (message.htmlLines.empty()) appendTextAsHtml(message);
    if (design.apply) applyDesign(message, record, design.fields, design.templatePath);
}

void writePage(const MailMessage& message, const MessageInfo& record, const Design& design,
               FileWriter& out) {
    PageWriterSink sink(out);
    const LineList* text = message.htmlLines.empty() ? &message.textLines : nullptr;
    if (design.apply)
        produceDesignedPage(message.htmlLines, text, record, design.fields, design.templatePath, sink);
    else
        produceBody(message.htmlLines, text, sink);
}

std::string renderMessagePage(std::string_view rawText, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles) {
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    saveContentIdParts(message, dir, tempFiles);
    const std::string page = dir + pageName;
    FileWriter out(page, FileWriter::Mode::Replace);
    writePage(message, record, design, out);
    out.finish();
    if (tempFiles) tempFiles->add(page);
    return page;
}

}  // namespace lumbrook
