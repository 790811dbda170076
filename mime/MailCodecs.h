#pragma once

// Text utilities and transfer codecs of the message model: blank trimming, the
// CR LF line scanner, quoted-printable, base64, uuencode and boundary texts.
// Bodies are byte strings held in std::string; bytes map one to one to chars.
// Decoders never fail: what they cannot decode they drop.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrook {

// Leading blanks (tab and space) and trailing spaces, as a view into the argument.
// Trailing tabs stay on purpose: header values have always been trimmed that way
// and stored lines depend on it.
std::string_view trimBlanks(std::string_view text);

// Walks a text one line at a time. Only CR immediately followed by LF ends a
// line; a lone CR or LF is an ordinary character. A last line without CR LF runs
// to the end; a text ending in CR LF has no empty line after it.
class LineScanner {
  public:
    explicit LineScanner(std::string_view text) : text(text) {}

    // The next line without its CR LF as (Start, Length) into the text; false
    // once the text is used up (then Start is the text's length), and ever after.
    bool next(std::size_t& start, std::size_t& length);
    bool next(std::string_view& line);
    // Offset where the next line would start.
    std::size_t position() const { return pos; }

  private:
    std::string_view text;
    std::size_t pos = 0;
};

// Quoted-printable. Body mode escapes trailing blanks before CR LF and cuts lines
// to at most 72 characters with soft breaks, never inside an escape, and always
// ends in CR LF (empty in, empty out). Header mode also escapes blanks, CR, LF and
// the characters " ' ( ) < > ? _ and does no line handling.
std::string qpEncode(std::string_view text, bool headerMode);
// Only "=" plus two upper-case hex digits is an escape and "=" CR LF a soft break;
// any other "=" is dropped with the two characters after it, and an "=" with
// fewer than two characters after it ends the decoding.
std::string qpDecode(std::string_view text);

// Standard alphabet, "=" padding, lines of 76 characters each followed by CR LF
// (the last, shorter one too). Dst is replaced; returns its size.
std::size_t base64EncodeStream(std::string_view src, std::string& dst);
// Decodes the text, appending to Out: lines split after each CR LF, each decoded
// on its own. Characters outside the alphabet and "=" are skipped; the rest form
// groups of four that never continue past the line; a trailing incomplete group is
// discarded. "=" counts as zero wherever it stands; a group ending in "==" gives
// one byte, in "=" two, otherwise three.
void base64DecodeText(std::string_view text, std::string& out);

// The first character gives the byte count n; the data are the next 60
// characters when n is 45, else the rest of the line. Appends exactly n bytes
// (missing bits count as zero), or nothing when a character read is outside the
// alphabet or the line is empty.
void uuDecodeLine(std::string_view line, std::string& out);
std::string uuDecodeLine(std::string_view line);
// Stream is replaced by the bytes of every non-empty line of the block.
void uuDecodeText(std::string_view block, std::string& stream);

// "boundary" and eight upper-case hex digits from a generator seeded once.
std::string newBoundary();

}  // namespace lumbrook
