#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"
#include "mime/MailModel.h"
#include "mime/LineList.h"
#include "page/PageFilter.h"
#include "platform/CodePage.h"
#include "platform/FileWriter.h"
#include "platform/FileNames.h"
#include "platform/TempFiles.h"
#include "store/DbxReader.h"

namespace lumbrook {

// The page pipeline shared by the preview, printing, export and lumbrook-cli:
// plain text to HTML, header table and design template, Content-ID files beside
// the page, and the page file itself. Every page is UTF-8: the body is read in its
// own charset, the record's texts and the design template in the store's code page.

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

// The template's lines as the file holds them (in the store's code page), or the
// single line "%%INHALT%%" when there is no template or it cannot be read.
std::vector<std::string> readDesignTemplate(const std::string& path);

// The record's texts are in the store's code page; these lines are UTF-8.
// The header table line: a row per checked field, or empty when none is checked.
std::string headerTable(const MessageInfo& record, const HeaderFields& fields,
                        const CodePage& codePage);
// "<subject> of <from> to <to> from <date text>"
std::string signatureLine(const MessageInfo& record, const CodePage& codePage);
// The subject, or "eMail message" when it is empty.
std::string heading(const MessageInfo& record, const CodePage& codePage);

// The iconv name of the charset the page's body (the HTML body, else the text
// body) is in: the one its part names, for an HTML body without one the one the
// HTML declares. Nothing when neither names one: the store's code page applies.
std::optional<std::string> bodyCharset(const MailMessage& message);

// A body's bytes in UTF-8, a line or the whole body at a time, read in its part's
// charset (partCharset) or else the code page, with one converter for all of them.
// Bytes the charset cannot read become U+FFFD. Keeps a reference to codePage.
class BodyDecoder {
  public:
    // The page's body, as bodyCharset picks it.
    BodyDecoder(const MailMessage& message, const CodePage& codePage);
    // The body of part; none for the code page.
    BodyDecoder(const MailPart* part, const CodePage& codePage);
    ~BodyDecoder();
    // The bytes themselves when they read as they are (ASCII, valid UTF-8 in a UTF-8
    // body), else their conversion, valid until the next call.
    std::string_view operator()(std::string_view bytes);
    // One line in UTF-8, given to emit in pieces when it is long (each piece's text
    // ending with a whole character, and in HTML with no element or "cid: reference
    // cut in two), so that a line of any length costs little more than its bytes.
    void convertLine(std::string_view line, bool html,
                     const std::function<void(std::string_view)>& emit);

  private:
    BodyDecoder(const std::optional<std::string>& charset, const CodePage& codePage);
    std::string convert(std::string_view bytes);
    std::unique_ptr<Utf8Converter> converter;
    const CodePage& codePage;
    bool utf8 = false;
    bool asciiAsItIs = false;
    std::string converted;
};



// The page file (CR LF after each line, replacing the file): lines rewritten as
// rewritePageLine does, references to parts renamed or refused as parts says, then
// finished as finishPage does, a line at a time.
void writePageFile(const LineList& lines, const std::string& fileName,
                   const PartFiles& parts = {});

// The page file's bytes as writePageFile writes them.
std::string pageFileBytes(const LineList& lines, const PartFiles& parts = {});

}  // namespace lumbrook

namespace lumbrook {

// How a page is dressed: the header table and design template, when applied.
struct Design {
    bool apply = false;  // "Show preview with complete design " (printing: always)
    HeaderFields fields;
    std::string templatePath;  // empty: no template selected
    // The store's code page: the record's texts, the template file and a body whose
    // mail names no charset are in it.
    CodePage codePage;
    // HTML put right under the header table when the design applies (printing's
    // list of attachments); empty for nothing.
    std::string underHeaderTable;
};

// The HTML of the page in htmlLines, in UTF-8: the plain text turned into HTML when
// there is no HTML body, then header table and template when the design applies.
void buildPageLines(MailMessage& message, const MessageInfo& record, const Design& design);

// Writes the bytes that buildPageLines and writePageFile would give (with parts),
// a line at a time, without holding the page or changing the message: a body of
// many short lines or one huge line costs no more than its own text.
void writePage(const MailMessage& message, const MessageInfo& record, const Design& design,
               const PartFiles& parts, FileWriter& out);

// The whole preview pipeline for one raw message: parse, page lines, Content-ID
// files in dir (new files only, never under pageName), the page file dir + pageName
// (replacing it). Files written go into tempFiles when given. A part skipped is
// added to problems when given; without, the first one is thrown as FileCreateError
// once the page is written. Returns the page's full path.
std::string renderMessagePage(std::string_view rawText, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles,
                              std::vector<FileCreateError>* problems = nullptr);
// The same for a message parsed already (its text loaded, its bodies located): the
// preview hands the one parse on to its attachment bar, printing lists the
// attachments from it.
std::string renderMessagePage(MailMessage& message, const MessageInfo& record,
                              const Design& design, const std::string& dir,
                              const std::string& pageName, TempFiles* tempFiles,
                              std::vector<FileCreateError>* problems = nullptr);

}  // namespace lumbrook
