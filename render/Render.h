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
    bool from = true;
    bool to = true;
    bool date = true;
    bool subject = true;
    bool any() const { return from || to || date || subject; }
};

inline constexpr std::string_view ContentPlaceholder = "%%INHALT%%";
inline constexpr std::string_view HeadingPlaceholder = "%%UEBERSCHRIFT%%";
inline constexpr std::string_view SignaturePlaceholder = "%%UNTERSCHRIFT%%";

// &, <, > and " as entities: no text of a message may become markup.
std::string htmlEscape(std::string_view text);

// Appends the plain-text body to HtmlLines, each line escaped and ended by "<BR>".
void txT2Html(TMailMessage& message);

// The template's lines, or the single line "%%INHALT%%" when there is no template
// or it cannot be read.
std::vector<std::string> readDesignTemplate(const std::string& path);

// The header table line: a row per checked field, or empty when none is checked.
std::string headerTable(const Toe5_MessageInfo& record, const THeaderFields& fields);
// "<subject> of <from> to <to> from <date text>"
std::string signatureLine(const Toe5_MessageInfo& record);
// The subject, or "eMail message" when it is empty.
std::string heading(const Toe5_MessageInfo& record);

// Header table (when a field is checked) and design template (TemplatePath, empty
// for none) applied to HtmlLines.
void addHtmlHeader(TMailMessage& message, const Toe5_MessageInfo& record,
                   const THeaderFields& fields, const std::string& templatePath);

// A Content-ID without its angle brackets: the name its part is written under.
std::string contentIdFileName(const TMailPart& part);

// Writes every attachment that has a Content-ID into Dir (ending with a separator)
// under that id, replacing a file of that name, and records it in TempFiles when
// given. An id that would leave Dir (a separator, "." or "..") is refused with the
// file-creation error, like any other name that cannot be created.
void saveCidParts(TMailMessage& message, const std::string& dir, TTempFiles* tempFiles);

// The lines as a page file (CR LF after each, replacing the file), with "cid:"
// references in double quotes made relative and <BASE elements disarmed. The
// lines themselves stay as they are.
void convertCidSave(const std::vector<std::string>& lines, const std::string& fileName);

// Rewrites one line as ConvertCIDSave does.
std::string convertCidLine(std::string line);
// The page file's bytes as ConvertCIDSave writes them.
std::string convertCidPage(const std::vector<std::string>& lines);

}  // namespace lumbrook

namespace lumbrook {

// How a page is dressed: the header table and design template, when applied.
struct TDesign {
    bool apply = false;  // "Show preview with complete design " (printing: always)
    THeaderFields fields;
    std::string templatePath;  // empty: no template selected
};

// The HTML of the page in HtmlLines: the plain text turned into HTML when there is
// no HTML body, then header table and template when the design applies.
void buildPageLines(TMailMessage& message, const Toe5_MessageInfo& record, const TDesign& design);

// The whole preview pipeline for one raw message: parse, page lines, Content-ID
// files in Dir, the page file Dir + PageName. Files written go into TempFiles
// when given. Returns the page's full path.
std::string renderMessagePage(std::string_view rawText, const Toe5_MessageInfo& record,
                              const TDesign& design, const std::string& dir,
                              const std::string& pageName, TTempFiles* tempFiles);

}  // namespace lumbrook
