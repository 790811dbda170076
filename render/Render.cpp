#include "render/Render.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "base/Errors.h"
#include "render/FileOutput.h"
#include "render/OutputNaming.h"

namespace lumbrook {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

void TXT2HTML(TMailMessage& Message) {
    Message.HtmlLines.reserve(Message.HtmlLines.size() + Message.TextLines.size());
    for (const auto& line : Message.TextLines) Message.HtmlLines.push_back(HtmlEscape(line) + "<BR>");
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
    if (Fields.Any()) Message.HtmlLines.insert(Message.HtmlLines.begin(), HeaderTable(Record, Fields));

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
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::size_t FindNoCase(const std::string& text, std::string_view upperNeedle, std::size_t from) {
    if (upperNeedle.size() > text.size()) return std::string::npos;
    for (std::size_t i = from; i + upperNeedle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < upperNeedle.size() && UpperAscii(text[i + k]) == upperNeedle[k]) ++k;
        if (k == upperNeedle.size()) return i;
    }
    return std::string::npos;
}
}  // namespace

std::string ConvertCIDLine(std::string line) {
    // Each change leaves the text before the match as it was, so searching on from
    // the match finds what a search from the line's start would find, without
    // going quadratic on long lines.
    for (std::size_t at = 0; (at = FindNoCase(line, "\"CID:", at)) != std::string::npos;)
        line.erase(at + 1, 4);
    for (std::size_t at = 0; (at = FindNoCase(line, "<BASE", at)) != std::string::npos;)
        line[at + 2] = 'B';
    return line;
}

std::string ConvertCIDPage(const std::vector<std::string>& Lines) {
    std::string page;
    for (const auto& line : Lines) {
        page += ConvertCIDLine(line);
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
