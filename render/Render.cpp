#include "render/Render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/AsciiCase.h"
#include "base/Errors.h"
#include "base/Charset.h"
#include "platform/CodePage.h"
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
// the directory itself, never a path out of it (nor, through a zero byte, another
// name than the one shown).
bool staysInDirectory(const std::string& name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

// A suffix goes before the extension, as with pages: "logo.gif" -> "logo_0.gif".
std::size_t extensionStart(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}
}  // namespace

PartFiles saveContentIdParts(MailMessage& message, const std::string& dir, OutputNames& names) {
    PartFiles files;
    std::set<std::string, std::less<>> seen;
    try {
        for (MailPart* part : message.attachments) {
            const std::string id = contentIdFileName(*part);
            // A page can refer to one file per id: the first part that has it.
            if (id.empty() || !seen.insert(id).second) continue;
            if (!staysInDirectory(id)) {
                files.refused.insert(id);
                files.problems.push_back(makeCreateError(dir + id).what());
                continue;
            }
            part->decodeBody();
            const std::size_t ext = extensionStart(id);
            try {
                std::string name = writeFileUnique(dir, names, id.substr(0, ext),
                                                   std::string_view(id).substr(ext),
                                                   part->decodedBody);
                files.paths.push_back(dir + name);
                if (name != id) files.renamed.emplace(id, std::move(name));
            } catch (const FileCreateError& e) {
                files.refused.insert(id);
                files.problems.push_back(e.what());
            }
        }
    } catch (const StopRequestedError&) {
        for (const auto& path : files.paths) std::remove(path.c_str());
        throw;
    }
    return files;
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
constexpr std::string_view IframeElement = "<IFRAME";
constexpr std::string_view FrameElement = "<FRAME";

// Appends the line rewritten: every "cid:" right after a double quote dropped (again
// and again, as long as another one follows the same quote), the id after it
// replaced by the name its part got where that differs, then every <BASE element
// disarmed to <BBSE. A reference to a refused part keeps its "cid:", so that it
// loads nothing. Dropping "cid:" never makes or breaks a "<BASE", since a quote
// stays in front of what follows, so all is done in one pass over the line's pieces.
void appendConvertedLine(std::string& out, std::string_view line, const PartFiles& parts) {
    const std::size_t start = out.size();
    std::size_t from = 0;
    const bool mapIds = !parts.renamed.empty() || !parts.refused.empty();
    for (std::size_t at; (at = findNoCase(line, CidReference, from)) != std::string::npos;) {
        out.append(line.data() + from, at + 1 - from);
        from = at + CidReference.size();
        while (matchesNoCase(line, from, CidReference.substr(1))) from += CidReference.size() - 1;
        if (!mapIds) continue;
        const std::size_t quote = line.find('"', from);
        const std::string_view id =
            line.substr(from, quote == std::string_view::npos ? line.size() - from : quote - from);
        if (parts.refused.contains(id)) {
            out.append(line.data() + at + 1, from - at - 1);
        } else if (auto renamed = parts.renamed.find(id); renamed != parts.renamed.end()) {
            out += renamed->second;
            from += id.size();
        }
    }
    out.append(line.data() + from, line.size() - from);
    const std::string_view written(out.data() + start, out.size() - start);
    for (std::size_t at = 0; (at = findNoCase(written, BaseElement, at)) != std::string::npos;)
        out[start + at + 2] = 'B';
    // A browser opens a connection for a frame's address before its policy refuses
    // the frame: enough to tell a sender that the mail was opened.
    for (const std::string_view frame : {IframeElement, FrameElement})
        for (std::size_t at = 0; (at = findNoCase(written, frame, at)) != std::string::npos;)
            out[start + at + 2] = 'B';
}

bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLabelCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_' || c == '.' || c == ':';
}

// A charset label fit to stand in the page: a known one, made of label characters.
std::string usableLabel(std::string_view label) {
    while (!label.empty() && (isHtmlSpace(label.front()) || label.front() == '"' || label.front() == '\''))
        label.remove_prefix(1);
    while (!label.empty() && (isHtmlSpace(label.back()) || label.back() == '"' || label.back() == '\''))
        label.remove_suffix(1);
    if (label.empty() || label.size() > 40) return {};
    for (char c : label)
        if (!isLabelCharacter(c)) return {};
    if (!iconvNameForLabel(label)) return {};
    std::string out(label);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

// The charset a <meta> among the first bytes of the HTML names, as a browser's
// pre-scan finds it (charset="x" or content="text/html; charset=x").
std::string declaredCharset(std::string_view html) {
    html = html.substr(0, std::min<std::size_t>(html.size(), 4096));
    for (std::size_t at = 0; (at = findNoCase(html, "<META", at)) != std::string::npos; ++at) {
        const std::size_t end = html.find('>', at);
        const std::string_view tag = html.substr(at, end == std::string_view::npos ? end : end - at);
        for (std::size_t c = 0; c < tag.size(); ++c) {
            if (!matchesNoCase(tag, c, "CHARSET")) continue;
            std::size_t i = c + 7;
            while (i < tag.size() && isHtmlSpace(tag[i])) ++i;
            if (i >= tag.size() || tag[i] != '=') continue;
            ++i;
            while (i < tag.size() && (isHtmlSpace(tag[i]) || tag[i] == '"' || tag[i] == '\'')) ++i;
            std::size_t j = i;
            while (j < tag.size() && isLabelCharacter(tag[j])) ++j;
            if (std::string label = usableLabel(tag.substr(i, j - i)); !label.empty()) return label;
        }
        if (end == std::string_view::npos) break;
    }
    return {};
}
}  // namespace

std::string rewritePageLine(std::string line) {
    std::string out;
    out.reserve(line.size());
    appendConvertedLine(out, line, PartFiles{});
    return out;
}

std::string pageCharset(const MailMessage& message) {
    const MailPart* body = !message.htmlLines.empty() ? message.htmlPart : message.textPart;
    if (!body) body = &message;
    if (std::string label = usableLabel(body->headerParam("Content-Type", "charset"));
        !label.empty())
        return label;
    if (message.htmlPart) {
        if (std::string label = declaredCharset(message.htmlPart->decodedBody); !label.empty())
            return label;
    }
    return ansiCodePageLabel();
}

std::string pageHeadElements(std::string_view charset) {
    std::string head = "<meta charset=\"";
    head += charset.empty() ? ansiCodePageLabel() : std::string(charset);
    head += "\"><meta http-equiv=\"Content-Security-Policy\" content=\"";
    head += PagePolicy;
    head += "\">";
    return head;
}

namespace {
// Character references in an attribute value, as the browser reads them (numeric
// ones; no named reference stands for a plain letter).
std::string decodeNumericReferences(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '&' && i + 2 < value.size() && value[i + 1] == '#') {
            std::size_t j = i + 2;
            const bool hex = value[j] == 'x' || value[j] == 'X';
            if (hex) ++j;
            unsigned long code = 0;
            std::size_t digits = 0;
            for (; j < value.size() && digits < 8; ++j, ++digits) {
                const char c = value[j];
                int d = c >= '0' && c <= '9' ? c - '0'
                        : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                      : -1;
                if (d < 0) break;
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            }
            if (digits > 0) {
                out += code < 0x80 ? static_cast<char>(code) : '?';
                i = j < value.size() && value[j] == ';' ? j : j - 1;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

bool isRefresh(std::string_view value) {
    const std::string decoded = decodeNumericReferences(value);
    std::string_view v = decoded;
    while (!v.empty() && isHtmlSpace(v.front())) v.remove_prefix(1);
    while (!v.empty() && isHtmlSpace(v.back())) v.remove_suffix(1);
    return equalsNoCase(v, "refresh");
}

// Where the <meta> tag starting at `at` ends (past its ">", or the end of the page),
// and whether it is a refresh. Attributes are read as the browser's tokenizer reads
// them: a ">" inside a quoted value does not end the tag.
std::size_t scanMetaTag(std::string_view page, std::size_t at, bool& refresh) {
    std::size_t i = at + 5;
    refresh = false;
    while (i < page.size()) {
        while (i < page.size() && (isHtmlSpace(page[i]) || page[i] == '/')) ++i;
        if (i >= page.size()) break;
        if (page[i] == '>') return i + 1;
        const std::size_t nameStart = i;
        while (i < page.size() && !isHtmlSpace(page[i]) && page[i] != '/' && page[i] != '>' &&
               (page[i] != '=' || i == nameStart))
            ++i;
        const std::string_view name = page.substr(nameStart, i - nameStart);
        while (i < page.size() && isHtmlSpace(page[i])) ++i;
        if (i >= page.size() || page[i] != '=') continue;
        ++i;
        while (i < page.size() && isHtmlSpace(page[i])) ++i;
        std::string_view value;
        if (i < page.size() && (page[i] == '"' || page[i] == '\'')) {
            const std::size_t close = page.find(page[i], i + 1);
            const std::size_t end = close == std::string_view::npos ? page.size() : close;
            value = page.substr(i + 1, end - i - 1);
            i = close == std::string_view::npos ? page.size() : close + 1;
        } else {
            const std::size_t valueStart = i;
            while (i < page.size() && !isHtmlSpace(page[i]) && page[i] != '>') ++i;
            value = page.substr(valueStart, i - valueStart);
        }
        if (equalsNoCase(name, "http-equiv") && isRefresh(value)) refresh = true;
    }
    return page.size();
}

// Where the head elements go: after a byte order mark and a document type, which
// must come first (a document type after them would put the page in quirks mode).
std::size_t headPosition(std::string_view page, bool& hasUtf8Mark) {
    std::size_t i = 0;
    hasUtf8Mark = page.starts_with("\xEF\xBB\xBF");
    if (hasUtf8Mark) i = 3;
    const std::size_t afterMark = i;
    while (i < page.size() && isHtmlSpace(page[i])) ++i;
    if (matchesNoCase(page, i, "<!DOCTYPE")) {
        const std::size_t close = page.find('>', i);
        // The charset must stand within the first 1024 bytes to count.
        if (close != std::string_view::npos && close < 900) return close + 1;
    }
    return afterMark;
}
}  // namespace

std::string finishPage(std::string_view page, std::string_view charset) {
    std::string kept;
    kept.reserve(page.size());
    std::size_t from = 0;
    for (std::size_t at; (at = findNoCase(page, "<META", from)) != std::string::npos;) {
        const std::size_t next = at + 5;
        if (next < page.size() && !isHtmlSpace(page[next]) && page[next] != '/' && page[next] != '>') {
            kept.append(page.data() + from, next - from);
            from = next;
            continue;
        }
        bool refresh = false;
        const std::size_t end = scanMetaTag(page, at, refresh);
        kept.append(page.data() + from, (refresh ? at : end) - from);
        from = end;
    }
    kept.append(page.data() + from, page.size() - from);

    bool utf8Mark = false;
    const std::size_t at = headPosition(kept, utf8Mark);
    // A byte order mark decides the charset whatever a page says.
    std::string head = pageHeadElements(utf8Mark ? std::string_view("utf-8") : charset);
    if (at == 0 || (utf8Mark && at == 3)) head += "\r\n";
    kept.insert(at, head);
    return kept;
}

std::string pageFileBytes(const std::vector<std::string>& lines, const PartFiles& parts,
                          std::string_view charset) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string page;
    page.reserve(size);
    for (const auto& line : lines) {
        appendConvertedLine(page, line, parts);
        page += "\r\n";
    }
    return finishPage(page, charset);
}

void writePageFile(const std::vector<std::string>& lines, const std::string& fileName,
                   const PartFiles& parts, std::string_view charset) {
    writeFileReplacing(fileName, pageFileBytes(lines, parts, charset));
}

}  // namespace lumbrook

namespace lumbrook {

void buildPageLines(MailMessage& message, const MessageInfo& record, const Design& design) {
    if (message.htmlLines.empty()) appendTextAsHtml(message);
    if (design.apply) applyDesign(message, record, design.fields, design.templatePath);
}

std::string renderMessagePage(std::string_view rawText, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles,
                              std::vector<std::string>* problems) {
    MailMessage message;
    message.loadText(rawText);
    message.locateBodies();
    buildPageLines(message, record, design);
    OutputNames names;
    names.reserve(pageName);
    const PartFiles parts = saveContentIdParts(message, dir, names);
    if (tempFiles)
        for (const auto& path : parts.paths) tempFiles->add(path);
    const std::string page = dir + pageName;
    writePageFile(message.htmlLines, page, parts, pageCharset(message));
    if (tempFiles) tempFiles->add(page);
    if (problems) {
        problems->insert(problems->end(), parts.problems.begin(), parts.problems.end());
    } else if (!parts.problems.empty()) {
        throw FileCreateError(parts.problems.front());
    }
    return page;
}

}  // namespace lumbrook
