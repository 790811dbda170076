// The header operations. The input is split at zero bytes into a header line, a
// field or parameter name and a value; the rest, if any, is a whole header block
// parsed into a part whose fields are then read and changed.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "mime/MailHeaders.h"
#include "mime/MailModel.h"

using namespace lumbrook;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::string_view rest = fuzz::AsText(Data, Size);
    std::vector<std::string_view> pieces;
    while (pieces.size() < 3) {
        const std::size_t zero = rest.find('\0');
        pieces.push_back(rest.substr(0, zero));
        rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    }
    const std::string_view line = pieces[0], name = pieces[1], value = pieces[2];

    const std::string normal = NormalizeHeaderLine(line);
    (void)ValueBeforeParams(line);
    (void)ValueBeforeParams(normal);
    (void)FindParam(line, name);
    (void)FindParam(normal, name);
    const std::string replaced = ReplaceValue(normal, value);
    (void)ValueBeforeParams(replaced);
    const std::string withParam = ReplaceParam(normal, name, value);
    (void)FindParam(withParam, name);
    (void)ReplaceParam(line, name, value);
    (void)EncodeWordQ(value, name);
    (void)MimeTypeForFile(value);

    TStringList lines{normal, replaced, withParam};
    (void)FindHeaderLine(lines, name, 0);
    (void)FindHeaderLine(lines, name, 2);

    // Only a part of a message can be parsed; the block is its header.
    TMailMessage message;
    message.LoadText(rest);
    (void)message.HeaderValue(name);
    (void)message.HeaderParam(name, value);
    (void)message.HasHeader(name);
    (void)message.MediaType();
    (void)message.BoundaryParam();
    if (!name.empty() && name.find(':') == std::string_view::npos) {
        message.SetHeaderParam(name, value, name);
        message.SetHeaderValue(name, value);
        (void)message.HeaderParam(name, value);
        message.SetHeaderValue(name, "");
    }
    return 0;
}
