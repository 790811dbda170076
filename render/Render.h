#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mime/MailModel.h"
#include "render/FileOutput.h"
#include "render/TempFiles.h"
#include "store/DbxReader.h"

namespace lumbrook {

// The page pipeline shared by the preview, printing, export and lumbrook-cli:
// plain text to HTML, header table and design template, Content-ID files beside
// the page, and the page file itself.

// The four field boxes: which rows the header table gets.
struct HeaderFields {
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

// Appends the plain-text body to htmlLines, each line escaped and ended by "<BR>".
void appendTextAsHtml(MailMessage& message);

// The template's lines, or the single line "%%INHALT%%" when there is no template
// or it cannot be read.
std::vector<std::string> readDesignTemplate(const std::string& path);

// The header table line: a row per checked field, or empty when none is checked.
std::string headerTable(const MessageInfo& record, const HeaderFields& fields);
// "<subject> of <from> to <to> from <date text>"
std::string signatureLine(const MessageInfo& record);
// The subject, or "eMail message" when it is empty.
std::string heading(const MessageInfo& record);

// Header table (when a field is checked) and design template (templatePath, empty
// for none) applied to htmlLines.
void applyDesign(MailMessage& message, const MessageInfo& record,
                   const HeaderFields& fields, const std::string& templatePath);

// A Content-ID without its angle brackets: the name its part is written under.
std::string contentIdFileName(const MailPart& part);

// Writes every attachment that has a Content-ID into Dir (ending with a separator)
// under that id, replacing a file of that name, and records it in tempFiles when
// given. An id that would leave Dir (a separator, "." or "..") is refused with the
// file-creation error, like any other name that cannot be created.
void saveContentIdParts(MailMessage& message, const std::string& dir, TempFiles* tempFiles);

// The lines as a page file (CR LF after each, replacing the file), with "cid:"
// references in double quotes made relative and <BASE elements disarmed. The
// lines themselves stay as they are.
void writePageFile(const LineList& lines, const std::string& fileName);

// Rewrites one line as writePageFile does.
std::string rewritePageLine(std::string line);
// The page file's bytes as writePageFile writes them.
std::string pageFileBytes(const LineList& lines);

}  // namespace lumbrook

namespace lumbrook {

// How a page is dressed: the header table and design template, when applied.
struct Design {
    bool apply = false;  // "Show preview with complete design " (printing: always)
    HeaderFields fields;
    std::string templatePath;  // empty: no template selected
};

// The HTML of the page in htmlLines: the plain text turned into HTML when there is
// no HTML body, then header table and template when the design applies.
void buildPageLines(MailMessage& message, const MessageInfo& record, const Design& design);

// Writes the bytes that buildPageLines and writePageFile would give, a line at a
// time, without holding the page or changing the message: a body of many short
// lines or one huge line costs no more than its own text.
void writePage(const MailMessage& message, const MessageInfo& record, const Design& design,
               FileWriter& out);

// The whole preview pipeline for one raw message: parse, page lines, Content-ID
// files in Dir, the page file Dir + pageName. Files written go into tempFiles
// when given. Returns the page's full path.
std::string renderMessagePage(std::string_view rawText, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles);

}  // namespace lumbrook
