#include "render/Render.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "base/AsciiCase.h"
#include "base/Errors.h"
#include "render/FileOutput.h"
#include "render/OutputNaming.h"

namespace lumbrook {

namespace {
// Runs of ordinary characters are copied whole; only the four are replaced.
void AppendHtmlEscaped(std::string& out, std::string_view text) {
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

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlEscaped(out, text);
    return out;
}

void TXT2HTML(TMailMessage& Message) {
    Message.HtmlLines.reserve(Message.HtmlLines.size() + Message.TextLines.size());
    for (const auto& line : Message.TextLines) {
        std::string html;
        html.reserve(line.size() + 8);
        AppendHtmlEscaped(html, line);
        html += "<BR>";
        Message.HtmlLines.push_back(std::move(html));
    }
}

std::vector<std::string> ReadDesignTemplate(const std::string& path) {
    if (!path.empty()) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            if (!in.bad()) return SplitLines(text.str());
        }
    }
    return {std::string(ContentPlaceholder)};
}

std::string HeaderTable(const Toe5_MessageInfo& Record, const THeaderFields& Fields) {
    if (!Fields.Any()) return {};
    std::string table = "<table>";
    auto row = [&table](std::string_view label, std::string_view value) {
        table += "<tr><td><b>";
        table += label;
        table += "</b></td><td>";
        table += HtmlEscape(value);
        table += "</td></tr>";
    };
    if (Fields.From) row("From:", Record.From);
    if (Fields.To) row("To:", Record.To);
    if (Fields.Date) row("Date:", MessageDateText(Record));
    if (Fields.Subject) row("Subject:", Record.Subject);
    table += "</table><hr><p>";
    return table;
}

std::string SignatureLine(const Toe5_MessageInfo& Record) {
    return HtmlEscape(Record.Subject) + " of " + HtmlEscape(Record.From) + " to " +
           HtmlEscape(Record.To) + " from " + HtmlEscape(MessageDateText(Record));
}

std::string Heading(const Toe5_MessageInfo& Record) {
    return Record.Subject.empty() ? std::string("eMail message") : HtmlEscape(Record.Subject);
}

void AddHTMLHeader(TMailMessage& Message, const Toe5_MessageInfo& Record,
                   const THeaderFields& Fields, const std::string& TemplatePath) {
    std::vector<std::string> design = ReadDesignTemplate(TemplatePath);
    if (Fields.Any())
        Message.HtmlLines.insert(Message.HtmlLines.begin(), HeaderTable(Record, Fields));

    // The content is joined once however often the template asks for it.
    std::string content;
    bool contentBuilt = false;
    for (auto& line : design) {
        if (line == HeadingPlaceholder) line = Heading(Record);
        if (line == SignaturePlaceholder) line = SignatureLine(Record);
        if (line == ContentPlaceholder) {
            if (!contentBuilt) {
                content = JoinLinesCRLF(Message.HtmlLines);
                contentBuilt = true;
            }
            line = content;
        }
    }
    Message.HtmlLines = SplitLines(JoinLinesCRLF(design));
}

std::string ContentIdFileName(const TMailPart& Part) {
    std::string id = Part.HeaderValue("Content-ID");
    if (!id.empty() && id.front() == '<') id.erase(0, 1);
    if (!id.empty() && id.back() == '>') id.pop_back();
    return id;
}

namespace {
// A Content-ID is a name chosen by whoever sent the mail: it must name a file in
// the directory itself, never a path out of it.
bool StaysInDirectory(const std::string& name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}
}  // namespace

void SaveCIDParts(TMailMessage& Message, const std::string& Dir, TTempFiles* TempFiles) {
    for (TMailPart* part : Message.Attachments) {
        const std::string id = ContentIdFileName(*part);
        if (id.empty()) continue;
        const std::string path = Dir + id;
        if (!StaysInDirectory(id)) throw MakeCreateError(path);
        part->DecodeBody();
        WriteFileReplacing(path, part->DecodedBody);
        if (TempFiles) TempFiles->Add(path);
    }
}

namespace {
// Whether text holds upperNeedle at i, without regard to case.
bool MatchesNoCase(std::string_view text, std::size_t i, std::string_view upperNeedle) {
    if (i > text.size() || upperNeedle.size() > text.size() - i) return false;
    for (std::size_t k = 0; k < upperNeedle.size(); ++k)
        if (UpperAscii(text[i + k]) != upperNeedle[k]) return false;
    return true;
}

// The next place from `from` on where upperNeedle stands, without regard to case.
// Its first character is no letter ('"' or '<'), so it is looked for as it is.
std::size_t FindNoCase(std::string_view text, std::string_view upperNeedle, std::size_t from) {
    while (from < text.size()) {
        const void* hit = std::memchr(text.data() + from, upperNeedle[0], text.size() - from);
        if (!hit) return std::string::npos;
        const std::size_t at =
            static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        if (MatchesNoCase(text, at, upperNeedle)) return at;
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
void AppendConvertedLine(std::string& out, std::string_view line) {
    const std::size_t start = out.size();
    std::size_t from = 0;
    for (std::size_t at; (at = FindNoCase(line, CidReference, from)) != std::string::npos;) {
        out.append(line.data() + from, at + 1 - from);
        from = at + CidReference.size();
        while (MatchesNoCase(line, from, CidReference.substr(1))) from += CidReference.size() - 1;
    }
    out.append(line.data() + from, line.size() - from);
    const std::string_view written(out.data() + start, out.size() - start);
    for (std::size_t at = 0; (at = FindNoCase(written, BaseElement, at)) != std::string::npos;)
        out[start + at + 2] = 'B';
}
}  // namespace

std::string ConvertCIDLine(std::string line) {
    std::string out;
    out.reserve(line.size());
    AppendConvertedLine(out, line);
    return out;
}

std::string ConvertCIDPage(const std::vector<std::string>& Lines) {
    std::size_t size = 0;
    for (const auto& line : Lines) size += line.size() + 2;
    std::string page;
    page.reserve(size);
    for (const auto& line : Lines) {
        AppendConvertedLine(page, line);
        page += "\r\n";
    }
    return page;
}

void ConvertCIDSave(const std::vector<std::string>& Lines, const std::string& FileName) {
    WriteFileReplacing(FileName, ConvertCIDPage(Lines));
}

}  // namespace lumbrook

namespace lumbrook {

void BuildPageLines(TMailMessage& Message, const Toe5_MessageInfo& Record, const TDesign& Design) {
    if (Message.HtmlLines.empty()) TXT2HTML(Message);
    if (Design.Apply) AddHTMLHeader(Message, Record, Design.Fields, Design.TemplatePath);
}

std::string RenderMessagePage(std::string_view RawText, const Toe5_MessageInfo& Record,
                              const TDesign& Design, const std::string& Dir,
                              const std::string& PageName, TTempFiles* TempFiles) {
    TMailMessage message;
    message.LoadText(RawText);
    message.LocateBodies();
    BuildPageLines(message, Record, Design);
    SaveCIDParts(message, Dir, TempFiles);
    const std::string page = Dir + PageName;
    ConvertCIDSave(message.HtmlLines, page);
    if (TempFiles) TempFiles->Add(page);
    return page;
}

}  // namespace lumbrook
