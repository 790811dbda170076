#pragma once

// What makes a page safe to show and keeps it whole: the parts its "cid:"
// references name, written beside it as files; the references rewritten to them;
// the elements that would reach out disarmed; and the head that every page starts
// with, under which it runs nothing and loads nothing from the network. Every page
// the program writes passes through here, whatever built it.

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"
#include "mime/MailModel.h"
#include "platform/FileNames.h"

namespace lumbrook {

// A Content-ID without its angle brackets: the name its part is written under.
std::string contentIdFileName(const MailPart& part);

// What became of a page's Content-ID parts.
struct PartFiles {
    // Ids whose file got another name than the id (taken, or too long): the page
    // refers to that name instead.
    std::map<std::string, std::string, std::less<>> renamed;
    // Ids that would leave the directory: no file, and the page's references to
    // them stay "cid:" references, which load nothing.
    std::set<std::string, std::less<>> refused;
    std::vector<std::string> paths;     // the files written, full paths
    std::vector<FileCreateError> problems;  // one per part skipped
};

// Writes every attachment that has a Content-ID into dir (ending with a separator)
// as a new file named after the id, never replacing anything: a name that is taken
// gets "_0", "_1", ... before its extension, as pages do, and a name too long is
// shortened. An id that would leave dir (a separator, "." or "..") skips its part
// with the file-creation error in problems; the other parts are still written.
// A stop requested meanwhile removes the parts written and throws.
PartFiles saveContentIdParts(MailMessage& message, const std::string& dir, OutputNames& names);

// What every written page starts with, before anything of the mail: its charset,
// UTF-8, then a policy under which the page runs nothing, submits nothing, changes
// no base and loads nothing from the network: pictures from files and data: URLs
// only, styles inline only.
inline constexpr std::string_view PagePolicy =
    "default-src 'none'; img-src 'self' data: file:; style-src 'unsafe-inline'; "
    "form-action 'none'; base-uri 'none'";
std::string pageHeadElements();

// The page's bytes (UTF-8 already) with the head elements put first (after a byte
// order mark or a document type, which must stay first) and every <meta
// http-equiv="refresh"> taken out, as is every <meta> that names a charset (a
// charset attribute, or http-equiv="Content-Type"): the mail's own would make the
// browser read the page in another one. A <meta tag longer than 64 KB is disarmed
// (<MBTA) instead.
std::string finishPage(std::string_view page);

// One line with "cid:" references in double quotes made relative and <BASE,
// <IFRAME and <FRAME elements disarmed (their third character made "B").
std::string rewritePageLine(std::string line);

// Where a long line may be cut into pieces that are converted one at a time:
// never inside an element or a "cid: reference the filter looks for (html), nor
// inside a multibyte character. The whole line when it is not long.
std::size_t pageLinePieceEnd(std::string_view line, bool html);

// The filter a page streams through on its way to its file: the mail's HTML has its
// "cid:" references rewritten as parts says and its frames disarmed; everything
// then loses the <meta> tags finishPage takes out and gets the head elements first.
// Holds back only what may still turn out to be a <meta> tag and the page's first
// bytes, so a page of any size costs little more than its bytes.
class PageFilter {
  public:
    PageFilter(const PartFiles& parts, std::function<void(std::string_view)> emit);
    ~PageFilter();
    PageFilter(const PageFilter&) = delete;
    PageFilter& operator=(const PageFilter&) = delete;

    // A piece of the mail's HTML.
    void html(std::string_view piece);
    // The page's own bytes (escaped text, line breaks): nothing to rewrite.
    void text(std::string_view bytes);
    // Passes on what was held back; call once, after the last piece.
    void finish();

  private:
    class Finisher;
    std::unique_ptr<Finisher> finisher;
    const PartFiles& parts;
};

}  // namespace lumbrook
