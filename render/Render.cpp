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
// Runs of ordinary characters are copied whole; only the four are replaced.
void appendHtmlEscaped(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '&' && c != '<' && c != '>' && c != '"') continue;
        out.append(text.data() + from, i - from);
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
        from = i + 1;
    }
    out.append(text.data() + from, text.size() - from);
}
}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text);
    return out;
}

void appendTextAsHtml(MailMessage& message) {
    message.htmlLines.reserve(message.htmlLines.size() + message.textLines.size());
    for (const auto& line : message.textLines) {
        std::string html;
        html.reserve(line.size() + 8);
        appendHtmlEscaped(html, line);
        html += "<BR>";
        message.htmlLines.push_back(std::move(html));
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
    std::vector<std::string> design = readDesignTemplate(templatePath);
    if (fields.any())
        message.htmlLines.insert(message.htmlLines.begin(), headerTable(record, fields));

    // The content is joined once however often the template asks for it.
    std::string content;
    bool contentBuilt = false;
    for (auto& line : design) {
        if (line == HeadingPlaceholder) line = heading(record);
        if (line == SignaturePlaceholder) line = signatureLine(record);
        if (line == ContentPlaceholder) {
            if (!contentBuilt) {
                content = joinLinesCrlf(message.htmlLines);
                contentBuilt = true;
            }
            line = content;
        }
    }
    message.htmlLines = splitLines(joinLinesCrlf(design));
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

// Appends the line rewritten: every "cid:" right after a double quote dropped (again
// and again, as long as another one follows the same quote), then every <BASE
// element disarmed to <BBSE. Dropping "cid:" never makes or breaks a "<BASE",
// since a quote stays in front of what follows, so both are done in one pass
// over the line's pieces.
void appendConvertedLine(std::string& out, std::string_view line) {
    const std::size_t start = out.size();
    std::size_t from = 0;
    for (std::size_t at; (at = findNoCase(line, CidReference, from)) != std::string::npos;) {
        out.append(line.data() + from, at + 1 - from);
        from = at + CidReference.size();
        while (matchesNoCase(line, from, CidReference.substr(1))) from += CidReference.size() - 1;
    }
    out.append(line.data() + from, line.size() - from);
    const std::string_view written(out.data() + start, out.size() - start);
    for (std::size_t at = 0; (at = findNoCase(written, BaseElement, at)) != std::string::npos;)
        out[start + at + 2] = 'B';
}
}  // namespace

std::string rewritePageLine(std::string line) {
    std::string out;
    out.reserve(line.size());
    appendConvertedLine(out, line);
    return out;
}

std::string pageFileBytes(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string page;
    page.reserve(size);
    for (const auto& line : lines) {
        appendConvertedLine(page, line);
        page += "\r\n";
    }
    return page;
}

void writePageFile(const std::vector<std::string>& lines, const std::string& fileName) {
    writeFileReplacing(fileName, pageFileBytes(lines));
}

}  // namespace lumbrook

namespace lumbrook {

void buildPageLines(MailMessage& message, const MessageInfo& record, const Design& design) {
    if (message.htmlLines.empty()) appendTextAsHtml(message);
    if (design.apply) applyDesign(message, record, design.fields, design.templatePath);
}

std::string renderMessagePage(std::string_view rawText, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles) {
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    buildPageLines(message, record, design);
    saveContentIdParts(message, dir, tempFiles);
    const std::string page = dir + pageName;
    writePageFile(message.htmlLines, page);
    if (tempFiles) tempFiles->add(page);
    return page;
}

}  // namespace lumbrook
