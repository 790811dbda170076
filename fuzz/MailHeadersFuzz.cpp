// The header operations. The input is split at zero bytes into a header line, a
// field or parameter name and a value; the rest, if any, is a whole header block
// parsed into a part whose fields are then read and changed.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "mime/MailHeaders.h"
#include "mime/MailModel.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest = fuzz::asText(data, size);
    std::vector<std::string_view> pieces;
    while (pieces.size() < 3) {
        const std::size_t zero = rest.find('\0');
        pieces.push_back(rest.substr(0, zero));
        rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    }
    const std::string_view line = pieces[0], name = pieces[1], value = pieces[2];

    const std::string normal = normalizeHeaderLine(line);
    (void)valueBeforeParams(line);
    (void)valueBeforeParams(normal);
    (void)findParam(line, name);
    (void)findParam(normal, name);
    const std::string replaced = replaceValue(normal, value);
    (void)valueBeforeParams(replaced);
    const std::string withParam = replaceParam(normal, name, value);
    (void)findParam(withParam, name);
    (void)replaceParam(line, name, value);
    (void)encodeWordQ(value, name);
    (void)mimeTypeForFile(value);

    StringList lines{normal, replaced, withParam};
    (void)findHeaderLine(lines, name, 0);
    (void)findHeaderLine(lines, name, 2);

    // Only a part of a message can be parsed; the block is its header.
    MailMessage message;
    message.loadText(rest);
    (void)message.headerValue(name);
    (void)message.headerParam(name, value);
    (void)message.hasHeader(name);
    (void)message.mediaType();
    (void)message.boundaryParam();
    if (!name.empty() && name.find(':') == std::string_view::npos) {
        message.setHeaderParam(name, value, name);
        message.setHeaderValue(name, value);
        (void)message.headerParam(name, value);
        message.setHeaderValue(name, "");
    }
    return 0;
}
