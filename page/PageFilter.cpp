#include "page/PageFilter.h"

#include <algorithm>
#include <cstring>

#include "base/Ascii.h"
#include "base/Errors.h"
#include "mime/MailAttachments.h"
#include "platform/FileWriter.h"

namespace lumbrook {

namespace {
// Lines longer than this are converted a piece at a time: a body of one huge line
// then costs no more than its own bytes.
constexpr std::size_t LinePieceBytes = 1 << 20;
}  // namespace

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
                files.problems.push_back(FileCreateError(dir + id));
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
                files.problems.push_back(e);
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

constexpr std::string_view BaseElement = "<BASE";

// Where the first piece of a long line ends: past the first byte below 0x40 from
// LinePieceBytes on, which is no part of a multibyte character in the charsets
// mail uses. In HTML not past a "<", a quote, "=", "(" or a colon, nor inside a
// "cid:" reference, so that no element or reference the page rewriting looks for is
// cut in two. The whole line when it is not long or has no such place.
std::size_t pieceEnd(std::string_view line, bool html) {
    if (line.size() <= 2 * LinePieceBytes) return line.size();
    auto cutsAfter = [html](char c) {
        return static_cast<unsigned char>(c) < 0x40 &&
               (!html || (c != '<' && c != '"' && c != '\'' && c != '=' && c != '(' && c != ':'));
    };
    std::size_t from = LinePieceBytes;
    std::size_t scanned = 0;  // the references before it end before any cut from here on
    for (;;) {
        while (from < line.size() && !cutsAfter(line[from])) ++from;
        if (from >= line.size()) return line.size();
        const std::size_t cut = from + 1;
        if (!html) return cut;
        bool open = false;
        for (auto ref = findCidReference(line, scanned); ref && ref->start < cut;
             ref = findCidReference(line, scanned)) {
            if (ref->idEnd >= cut) {
                if (ref->idEnd >= line.size()) return line.size();
                from = ref->idEnd + 1;
                open = true;
                break;
            }
            scanned = ref->idEnd;
        }
        if (!open) return cut;
    }
}

constexpr std::string_view IframeElement = "<IFRAME";
constexpr std::string_view FrameElement = "<FRAME";
constexpr std::string_view MetaElement = "<META";
constexpr std::string_view ImageElement = "<IMG";

// Whether the <img tag at the start of tag (up to its ">" in the piece) shows a
// picture that can never load: Outlook Express's own res: and mhtml: addresses,
// which only Internet Explorer on Windows knew. Such a picture is left out rather
// than shown broken.
bool showsUnloadablePicture(std::string_view tag) {
    if (tag.size() > ImageElement.size() && !isHtmlSpace(tag[ImageElement.size()]) &&
        tag[ImageElement.size()] != '/')
        return false;
    // A tag is not long; a "<img" without its ">" costs no more than this.
    tag = tag.substr(0, std::min<std::size_t>(tag.size(), 64 * 1024));
    tag = tag.substr(0, tag.find('>'));
    for (std::size_t at = 1; at < tag.size(); ++at) {
        if (!matchesNoCase(tag, at, "SRC") || !isHtmlSpace(tag[at - 1])) continue;
        at += 3;
        while (at < tag.size() && isHtmlSpace(tag[at])) ++at;
        if (at >= tag.size() || tag[at] != '=') continue;
        ++at;
        while (at < tag.size() && (isHtmlSpace(tag[at]) || tag[at] == '"' || tag[at] == '\'')) ++at;
        return matchesNoCase(tag, at, "RES:") || matchesNoCase(tag, at, "MHTML:");
    }
    return false;
}

// A piece of a line with every <BASE, <IFRAME and <FRAME element disarmed (its
// third character made "B": <BBSE, <IBRAME, <FBAME). A browser opens a connection
// for a frame's address before its policy refuses the frame: enough to tell a
// sender that the mail was opened. A picture that can never load goes the same
// way (<IBG), which the browser shows as nothing.
template <class Emit>
void emitDisarmed(std::string_view piece, Emit& emit) {
    std::size_t from = 0;
    for (std::size_t at = 0; (at = piece.find('<', at)) != std::string_view::npos; ++at) {
        if (!matchesNoCase(piece, at, BaseElement) && !matchesNoCase(piece, at, IframeElement) &&
            !matchesNoCase(piece, at, FrameElement) &&
            !(matchesNoCase(piece, at, ImageElement) && showsUnloadablePicture(piece.substr(at))))
            continue;
        emit(piece.substr(from, at + 2 - from));
        emit(std::string_view("B"));
        from = at + 3;
    }
    emit(piece.substr(from));
}

// The line rewritten, in pieces: the "cid:" of every reference (findCidReference:
// in double, single or no quotes) dropped, the id after it replaced by the name its
// part got where that differs, and every <BASE, <IFRAME and <FRAME element (and
// picture that cannot load) disarmed. A reference to a refused part keeps its
// "cid:", so that it loads nothing. Dropping "cid:" or putting a name in never makes
// or breaks an element, since the quote or "=" stays in front of what follows, so
// the pieces between are disarmed each on its own.
template <class Emit>
void emitConvertedLine(std::string_view line, const PartFiles& parts, Emit&& emit) {
    std::size_t from = 0;
    const bool mapIds = !parts.renamed.empty() || !parts.refused.empty();
    for (auto ref = findCidReference(line, from); ref; ref = findCidReference(line, from)) {
        emitDisarmed(line.substr(from, ref->start - from), emit);
        from = ref->idStart;
        if (!mapIds) continue;
        const std::string_view id = line.substr(ref->idStart, ref->idEnd - ref->idStart);
        if (parts.refused.contains(id)) {
            emit(line.substr(ref->start, ref->idStart - ref->start));
        } else if (auto renamed = parts.renamed.find(id); renamed != parts.renamed.end()) {
            emitDisarmed(renamed->second, emit);
            from = ref->idEnd;
        }
    }
    emitDisarmed(line.substr(from), emit);
}

void appendConvertedLine(std::string& out, std::string_view line, const PartFiles& parts) {
    emitConvertedLine(line, parts, [&out](std::string_view piece) { out += piece; });
}

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

// Whether an attribute value, as the browser reads it, is word (in any case).
bool valueIs(std::string_view value, std::string_view word) {
    const std::string decoded = decodeNumericReferences(value);
    return equalsNoCase(trim(decoded, isHtmlSpace), word);
}

// Where the <meta> tag at the start of tag ends (past its ">", or the end of the
// bytes given, when closed is false), and whether it must go: a refresh, or a
// charset the page is not in (any charset attribute, any http-equiv Content-Type).
// Attributes are read as the browser's tokenizer reads them: a ">" inside a quoted
// value does not end the tag.
std::size_t scanMetaTag(std::string_view tag, bool& drop, bool& closed) {
    std::size_t i = MetaElement.size();
    drop = false;
    closed = false;
    while (i < tag.size()) {
        while (i < tag.size() && (isHtmlSpace(tag[i]) || tag[i] == '/')) ++i;
        if (i >= tag.size()) break;
        if (tag[i] == '>') {
            closed = true;
            return i + 1;
        }
        const std::size_t nameStart = i;
        while (i < tag.size() && !isHtmlSpace(tag[i]) && tag[i] != '/' && tag[i] != '>' &&
               (tag[i] != '=' || i == nameStart))
            ++i;
        const std::string_view name = tag.substr(nameStart, i - nameStart);
        while (i < tag.size() && isHtmlSpace(tag[i])) ++i;
        if (equalsNoCase(name, "charset")) drop = true;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && isHtmlSpace(tag[i])) ++i;
        std::string_view value;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const std::size_t close = tag.find(tag[i], i + 1);
            const std::size_t end = close == std::string_view::npos ? tag.size() : close;
            value = tag.substr(i + 1, end - i - 1);
            i = close == std::string_view::npos ? tag.size() : close + 1;
        } else {
            const std::size_t valueStart = i;
            while (i < tag.size() && !isHtmlSpace(tag[i]) && tag[i] != '>') ++i;
            value = tag.substr(valueStart, i - valueStart);
        }
        if (equalsNoCase(name, "http-equiv") &&
            (valueIs(value, "refresh") || valueIs(value, "content-type")))
            drop = true;
    }
    return tag.size();
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

// Where a possible "<META" cut off at the end of bytes begins, else bytes.size().
std::size_t cutOffMetaStart(std::string_view bytes) {
    const std::size_t longest = MetaElement.size() - 1;
    const std::size_t first = bytes.size() > longest ? bytes.size() - longest : 0;
    for (std::size_t k = first; k < bytes.size(); ++k)
        if (bytes[k] == '<' && matchesNoCase(bytes, k, MetaElement.substr(0, bytes.size() - k)))
            return k;
    return bytes.size();
}

// The page's bytes as they go to their file: every <meta http-equiv="refresh">
// taken out, then the head elements put first (after a byte order mark or a
// document type). Only what can still turn out to be a <meta> tag, and the page's
// first bytes until the head's place is known, are held back, so that a page of any
// size costs no more than that.
class PageFinisher {
  public:
    explicit PageFinisher(std::function<void(std::string_view)> emit) : emit(std::move(emit)) {}

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            if (pending.empty()) {
                const std::size_t at = findNoCase(bytes, MetaElement, 0);
                const std::size_t hold = at != std::string_view::npos ? at : cutOffMetaStart(bytes);
                keep(bytes.substr(0, hold));
                bytes.remove_prefix(hold);
                if (bytes.empty()) return;
            }
            const std::size_t take = std::min(bytes.size(), HeldChunk);
            pending.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            filterPending(false);
        }
    }

    void finish() {
        filterPending(true);
        if (!headPlaced) placeHead();
    }

  private:
    // Bytes taken into the held ones at a time, and the most a <meta> tag may hold
    // back: real ones are far shorter. A longer one is disarmed as <BASE is
    // (<MBTA) and passed on.
    static constexpr std::size_t HeldChunk = 1 << 16;
    static constexpr std::size_t MaxHeldTag = 1 << 16;
    // The page's first bytes the head's place depends on (headPosition).
    static constexpr std::size_t HeadLookahead = 1024;

    void filterPending(bool atEnd) {
        const std::string_view held = pending;
        std::size_t pos = 0;
        for (;;) {
            const std::size_t at = findNoCase(held, MetaElement, pos);
            if (at == std::string_view::npos) {
                const std::size_t hold =
                    atEnd ? held.size() : pos + cutOffMetaStart(held.substr(pos));
                keep(held.substr(pos, hold - pos));
                pos = hold;
                break;
            }
            if (at > pos) {
                keep(held.substr(pos, at - pos));
                pos = at;
                scannedTag = 0;
            }
            const std::string_view tag = held.substr(pos);
            const std::size_t next = MetaElement.size();
            if (tag.size() == next && !atEnd) break;
            if (tag.size() > next && !isHtmlSpace(tag[next]) && tag[next] != '/' && tag[next] != '>') {
                keep(tag.substr(0, next));  // another element, <METADATA for one
                pos += next;
                continue;
            }
            // A tag still open is read again only when it has grown to twice the
            // size: a long one coming in small pieces costs linear time.
            if (!atEnd && tag.size() < 2 * scannedTag && tag.size() <= MaxHeldTag) break;
            bool drop = false, closed = false;
            const std::size_t end = scanMetaTag(tag, drop, closed);
            if (!closed && !atEnd) {
                if (tag.size() <= MaxHeldTag) {
                    scannedTag = tag.size();
                    break;
                }
                pending[pos + 2] = 'B';
                keep(std::string_view(pending).substr(pos, next));
                pos += next;
                scannedTag = 0;
                continue;
            }
            if (!drop) keep(tag.substr(0, end));
            pos += end;
            scannedTag = 0;
        }
        pending.erase(0, pos);
    }

    // After the <meta> filter: the head goes in once its place is known.
    void keep(std::string_view bytes) {
        if (headPlaced) {
            if (!bytes.empty()) emit(bytes);
            return;
        }
        const std::size_t need = HeadLookahead - start.size();
        if (bytes.size() < need) {
            start.append(bytes);
            return;
        }
        start.append(bytes.substr(0, need));
        placeHead();
        if (bytes.size() > need) emit(bytes.substr(need));
    }

    void placeHead() {
        bool utf8Mark = false;
        const std::size_t at = headPosition(start, utf8Mark);
        std::string head = pageHeadElements();
        if (at == 0 || (utf8Mark && at == 3)) head += "\r\n";
        const std::string_view page = start;
        if (at > 0) emit(page.substr(0, at));
        emit(head);
        if (at < page.size()) emit(page.substr(at));
        start = std::string();
        headPlaced = true;
    }

    std::function<void(std::string_view)> emit;
    std::string pending;        // from a possible <meta> tag on
    std::size_t scannedTag = 0; // the size the tag in pending had when last read
    std::string start;          // the page's first bytes, while the head waits
    bool headPlaced = false;
};

}  // namespace

std::size_t pageLinePieceEnd(std::string_view line, bool html) { return pieceEnd(line, html); }

class PageFilter::Finisher : public PageFinisher {
  public:
    using PageFinisher::PageFinisher;
};

PageFilter::PageFilter(const PartFiles& parts, std::function<void(std::string_view)> emit)
    : finisher(std::make_unique<Finisher>(std::move(emit))), parts(parts) {}

PageFilter::~PageFilter() = default;

void PageFilter::html(std::string_view piece) {
    emitConvertedLine(piece, parts, [this](std::string_view out) { finisher->write(out); });
}

void PageFilter::text(std::string_view bytes) { finisher->write(bytes); }

void PageFilter::finish() { finisher->finish(); }

std::string rewritePageLine(std::string line) {
    std::string out;
    out.reserve(line.size());
    appendConvertedLine(out, line, PartFiles{});
    return out;
}

std::string pageHeadElements() {
    std::string head = "<meta charset=\"utf-8\"><meta http-equiv=\"Content-Security-Policy\" content=\"";
    head += PagePolicy;
    head += "\">";
    return head;
}

std::string finishPage(std::string_view page) {
    std::string kept;
    kept.reserve(page.size() + 256);
    PageFinisher finisher([&kept](std::string_view piece) { kept += piece; });
    finisher.write(page);
    finisher.finish();
    return kept;
}

}  // namespace lumbrook
