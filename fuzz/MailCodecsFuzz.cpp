// The transfer codecs: quoted-printable both ways, base64 (the encoder's output
// must decode to the input again), uuencode, and the line scanners under them.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "mime/MailCodecs.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::asText(data, size);

    (void)qpDecode(text);
    const std::string body = qpEncode(text, false);
    const std::string header = qpEncode(text, true);
    (void)qpDecode(header);
    for (std::size_t at = 0, next; at < body.size(); at = next + 2) {
        next = body.find("\r\n", at);
        if (next == std::string::npos)
            fuzz::broken("a quoted-printable body that does not end in CR LF");
        if (next - at > 76) fuzz::broken("a quoted-printable line longer than 76 characters");
    }
    if (header.find_first_of(" \r\n") != std::string::npos)
        fuzz::broken("a blank or line break in a header-mode word");

    std::string encoded;
    if (base64EncodeStream(text, encoded) != encoded.size())
        fuzz::broken("base64 size returned wrongly");
    std::string decoded;
    base64DecodeText(encoded, decoded);
    if (decoded != text) fuzz::broken("base64 round trip changed the bytes");
    std::string textOut;
    base64DecodeText(text, textOut);
    if (textOut.size() > text.size()) fuzz::broken("base64 decoded to more bytes than it had");

    std::string uu;
    uuDecodeLine(text, uu);
    if (uu.size() > 64) fuzz::broken("a uuencoded line gave more than 63 bytes");
    uuDecodeText(text, uu);

    LineScanner scanner(text);
    std::size_t start = 0, length = 0, covered = 0;
    while (scanner.next(start, length)) {
        if (start > text.size() || length > text.size() - start)
            fuzz::broken("a line outside the text");
        covered += length;
    }
    if (start != text.size()) fuzz::broken("the scanner ended before the end of the text");
    if (covered > text.size()) fuzz::broken("lines longer than the text");
    (void)trimBlanks(text);
    return 0;
}
