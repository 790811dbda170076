// The text of HTML bodies: the page's own charset declaration found in the raw
// bytes, the bytes converted with it, and the text of both the raw and the
// converted page, which must keep the promises of the text export's lines.
#include <string>

#include "base/Charset.h"
#include "fuzz/FuzzSupport.h"
#include "mime/HtmlCharset.h"
#include "mime/HtmlToText.h"

using namespace lumbrook;

namespace {

void checkLines(const std::string& text) {
    if (!isValidUtf8(text)) fuzz::broken("text that is not UTF-8");
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
            fuzz::broken("a CR without LF");
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) fuzz::broken("an LF without CR");
        if (text[i] == '\r' && i > 0 && (text[i - 1] == ' ' || text[i - 1] == '\t'))
            fuzz::broken("a line that ends in white space");
    }
    if (text.starts_with("\r\n")) fuzz::broken("an empty line at the start");
    if (text.ends_with("\n")) fuzz::broken("a line end at the end");
    if (text.ends_with(" ") || text.ends_with("\t")) fuzz::broken("white space at the end");
    if (text.find("\r\n\r\n\r\n") != std::string::npos) fuzz::broken("two empty lines in a row");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view html = fuzz::asText(Data, Size);

    std::string name = "CP1252";
    if (const auto label = declaredHtmlCharset(html)) {
        if (const auto known = iconvNameForLabel(*label)) name = *known;
    }
    const std::string utf8 = convertToUtf8(html, name);
    if (!isValidUtf8(utf8)) fuzz::broken("converted bytes that are not UTF-8");

    checkLines(htmlToText(html));
    checkLines(htmlToText(utf8));
    return 0;
}
