// The transfer codecs: quoted-printable both ways, base64 (the encoder's output
// must decode to the input again), uuencode, and the line scanners under them.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "mime/MailCodecs.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text = fuzz::AsText(Data, Size);

    (void)QPDecode(text);
    const std::string body = QPEncode(text, false);
    const std::string header = QPEncode(text, true);
    (void)QPDecode(header);
    for (std::size_t at = 0, next; at < body.size(); at = next + 2) {
        next = body.find("\r\n", at);
        if (next == std::string::npos)
            fuzz::Broken("a quoted-printable body that does not end in CR LF");
        if (next - at > 76) fuzz::Broken("a quoted-printable line longer than 76 characters");
    }
    if (header.find_first_of(" \r\n") != std::string::npos)
        fuzz::Broken("a blank or line break in a header-mode word");

    std::string encoded;
    if (Base64EncodeStream(text, encoded) != encoded.size())
        fuzz::Broken("base64 size returned wrongly");
    std::string decoded;
    Base64DecodeText(encoded, decoded);
    if (decoded != text) fuzz::Broken("base64 round trip changed the bytes");
    std::string lineOut;
    Base64DecodeLine(text, lineOut);
    if (lineOut.size() > text.size()) fuzz::Broken("base64 line decoded to more bytes than it had");
    std::string textOut;
    Base64DecodeText(text, textOut);

    std::string uu;
    UUDecodeLine(text, uu);
    if (uu.size() > 64) fuzz::Broken("a uuencoded line gave more than 63 bytes");
    UUDecodeText(text, uu);
    for (char c : text.substr(0, 64)) {
        try {
            (void)UUCharValue(c);
        } catch (const std::exception&) {
        }
    }

    TLineScanner scanner(text);
    std::size_t start = 0, length = 0, covered = 0;
    while (scanner.Next(start, length)) {
        if (start > text.size() || length > text.size() - start)
            fuzz::Broken("a line outside the text");
        covered += length;
    }
    if (start != text.size()) fuzz::Broken("the scanner ended before the end of the text");
    if (covered > text.size()) fuzz::Broken("lines longer than the text");
    std::ptrdiff_t position = 1;
    std::size_t pieces = 0;
    while (position > 0) {
        const std::string_view l = NextLineWithBreak(text, position);
        if (l.empty() && position > 0) fuzz::Broken("an empty line that did not end the text");
        if (++pieces > text.size() + 1) fuzz::Broken("NextLineWithBreak does not move on");
    }
    (void)TrimBlanks(text);
    (void)PadLeft(text.substr(0, 16), static_cast<int>(Size % 40), text.substr(0, Size % 3));
    return 0;
}
