#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mime/MailModel.h"
#include "render/TempFiles.h"
#include "store/oexpress.h"

namespace lumbrook {

// The page pipeline shared by the preview, printing, export and lumbrook-cli:
// plain text to HTML, header table and design template, Content-ID files beside
// the page, and the page file itself.

// The four field boxes: which rows the header table gets.
struct THeaderFields {
    bool From = true;
    bool To = true;
    bool Date = true;
    bool Subject = true;
    bool Any() const { return From || To || Date || Subject; }
};

inline constexpr std::string_view ContentPlaceholder = "%%INHALT%%";
inline constexpr std::string_view HeadingPlaceholder = "%%UEBERSCHRIFT%%";
inline constexpr std::string_view SignaturePlaceholder = "%%UNTERSCHRIFT%%";

// &, <, > and " as entities: no text of a message may become markup.
std::string HtmlEscape(std::string_view text);

// Appends the plain-text body to HtmlLines, each line escaped and ended by "<BR>".
void TXT2HTML(TMailMessage& Message);

// The template's lines, or the single line "%%INHALT%%" when there is no template
// or it cannot be read.
std::vector<std::string> ReadDesignTemplate(const std::string& path);

// The header table line: a row per checked field, or empty when none is checked.
std::string HeaderTable(const Toe5_MessageInfo& Record, const THeaderFields& Fields);
// "<subject> of <from> to <to> from <date text>"
std::string SignatureLine(const Toe5_MessageInfo& Record);
// The subject, or "eMail message" when it is empty.
std::string Heading(const Toe5_MessageInfo& Record);

// Header table (when a field is checked) and design template (TemplatePath, empty
// for none) applied to HtmlLines.
void AddHTMLHeader(TMailMessage& Message, const Toe5_MessageInfo& Record,
                   const THeaderFields& Fields, const std::string& TemplatePath);

// A Content-ID without its angle brackets: the name its part is written under.
std::string ContentIdFileName(const TMailPart& Part);

// Writes every attachment that has a Content-ID into Dir (ending with a separator)
// under that id, replacing a file of that name, and records it in TempFiles when
// given. An id that would leave Dir (a separator, "." or "..") is refused with the
// file-creation error, like any other name that cannot be created.
void SaveCIDParts(TMailMessage& Message, const std::string& Dir, TTempFiles* TempFiles);

// The lines as a page file (CR LF after each, replacing the file), with "cid:"
// references in double quotes made relative and <BASE elements disarmed. The
// lines themselves stay as they are.
void ConvertCIDSave(const std::vector<std::string>& Lines, const std::string& FileName);

// Rewrites one line as ConvertCIDSave does.
std::string ConvertCIDLine(std::string line);
// The page file's bytes as ConvertCIDSave writes them.
std::string ConvertCIDPage(const std::vector<std::string>& Lines);

}  // namespace lumbrook

namespace lumbrook {

// How a page is dressed: the header table and design template, when applied.
struct TDesign {
    bool Apply = false;  // "Show preview with complete design " (printing: always)
    THeaderFields Fields;
    std::string TemplatePath;  // empty: no template selected
};

// The HTML of the page in HtmlLines: the plain text turned into HTML when there is
// no HTML body, then header table and template when the design applies.
void BuildPageLines(TMailMessage& Message, const Toe5_MessageInfo& Record, const TDesign& Design);

// The whole preview pipeline for one raw message: parse, page lines, Content-ID
// files in Dir, the page file Dir + PageName. Files written go into TempFiles
// when given. Returns the page's full path.
std::string RenderMessagePage(std::string_view RawText, const Toe5_MessageInfo& Record,
                              const TDesign& Design, const std::string& Dir,
                              const std::string& PageName, TTempFiles* TempFiles);

}  // namespace lumbrook
