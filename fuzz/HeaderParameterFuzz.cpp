// Attachment names from headers: the input is split at the first zero byte into a
// parameter name (also read as a charset label and a media type) and a header value.
// Every result must be UTF-8, and the file name one that is safe to create in a
// directory.
#include <string>

#include "base/Charset.h"
#include "fuzz/FuzzSupport.h"
#include "mime/AttachmentName.h"

using namespace lumbrook;

namespace {

void checkFileName(const std::string& name) {
    if (name.empty() || name.size() > 255) fuzz::broken("a file name that is empty or too long");
    if (!isValidUtf8(name)) fuzz::broken("a file name that is not UTF-8");
    if (name.front() == '.') fuzz::broken("a file name that starts with a dot");
    if (name.front() == ' ' || name.back() == ' ') fuzz::broken("a file name with blanks around it");
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/' || c == '\\') fuzz::broken("a separator or control in a file name");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view input = fuzz::asText(Data, Size);
    const std::size_t zero = input.find('\0');
    const std::string_view name = input.substr(0, zero);
    const std::string_view value = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
    static const char* const fallbacks[] = {"CP1252", "KOI8-R", "UTF-8", "CP932", "NO-SUCH-CHARSET"};
    const char* fallback = fallbacks[Size % 5];

    const auto parameter = headerParameter(value, name, fallback);
    if (parameter && !isValidUtf8(*parameter)) fuzz::broken("a parameter that is not UTF-8");
    const std::string decoded = decodeEncodedWords(value, fallback);
    if (!isValidUtf8(decoded)) fuzz::broken("decoded words that are not UTF-8");

    const std::string converted = convertToUtf8(value, iconvNameForLabel(name).value_or("CP1252"));
    if (!isValidUtf8(converted)) fuzz::broken("converted bytes that are not UTF-8");

    checkFileName(attachmentFileName(parameter.value_or(std::string(value)), Size, name));
    checkFileName(attachmentFileName(value, Size, name));
    (void)extensionForMediaType(name);
    return 0;
}
