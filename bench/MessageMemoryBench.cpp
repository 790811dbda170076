// Large single messages for the memory benchmark (bench/message_memory_bench.sh):
//   message_memory_bench write DIR SIZE_MB
// writes, for each shape, DIR/<shape>.eml (the raw message) and DIR/<shape>.dbx (a
// folder file holding it alone) and prints "<shape> <data offset> <bytes>" per line.
// Shapes: short lines of 0 to 9 letters, empty lines only, one long line, and a
// short text with a base64 attachment that has a Content-ID (so the page pipeline
// decodes and writes it).

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "mime/MailCodecs.h"
#include "dbxwriter/DbxWriter.h"

using namespace lumbrook;

namespace {

const std::string Header =
    "From: Bench <bench@example.org>\r\n"
    "To: Reader <reader@example.org>\r\n"
    "Subject: Large message\r\n"
    "Date: Mon, 2 Feb 2004 10:00:00 +0100\r\n"
    "MIME-Version: 1.0\r\n";

std::string shortLines(std::size_t size) {
    std::string text = Header + "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                                "Content-Transfer-Encoding: 7bit\r\n\r\n";
    text.reserve(size + 16);
    std::size_t n = 0;
    while (text.size() + 12 < size) {
        text.append("abcdefghij", n % 10);
        text += "\r\n";
        ++n;
    }
    return text;
}

std::string emptyLines(std::size_t size) {
    std::string text = Header + "Content-Type: text/plain\r\n\r\n";
    text.reserve(size + 2);
    while (text.size() + 2 <= size) text += "\r\n";
    return text;
}

std::string longLine(std::size_t size) {
    std::string text = Header + "Content-Type: text/plain\r\n\r\n";
    const std::size_t body = size > text.size() + 2 ? size - text.size() - 2 : 0;
    text.reserve(size);
    for (std::size_t i = 0; i < body; ++i) text += static_cast<char>('a' + i % 26);
    text += "\r\n";
    return text;
}

std::string base64Attachment(std::size_t size) {
    std::string text = Header +
                       "Content-Type: multipart/mixed; boundary=\"----=_Bench\"\r\n\r\n"
                       "------=_Bench\r\nContent-Type: text/plain\r\n\r\nSee the file.\r\n"
                       "------=_Bench\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                       "Content-Transfer-Encoding: base64\r\n"
                       "Content-ID: <data.bin@bench>\r\n"
                       "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
    const std::string closing = "------=_Bench--\r\n";
    // Base64 with its line breaks is 78/57 of the bytes.
    const std::size_t room = size > text.size() + closing.size() ? size - text.size() - closing.size() : 0;
    std::string bytes(room / 78 * 57, '\0');
    std::uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    std::string encoded;
    base64EncodeStream(bytes, encoded);
    text += encoded;
    text += closing;
    return text;
}

int write(const std::string& dir, std::size_t size) {
    struct Shape {
        const char* name;
        std::string (*make)(std::size_t);
    };
    const Shape shapes[] = {{"short-lines", shortLines},
                            {"empty-lines", emptyLines},
                            {"long-line", longLine},
                            {"base64", base64Attachment}};
    for (const Shape& shape : shapes) {
        const std::string text = shape.make(size);
        const std::string base = dir + "/" + shape.name;
        std::ofstream(base + ".eml", std::ios::binary).write(text.data(),
                                                             static_cast<std::streamsize>(text.size()));
        DbxMessage message;
        message.messageId = 1;
        message.from = "Bench";
        message.to = "Reader";
        message.subject = "Large message";
        message.date = unixTimeToFileTime(1075712400);
        message.rawText = text;
        const DbxLayout layout = writeDbx(base + ".dbx", {messageRecord(message)});
        std::printf("%s %d %zu\n", shape.name, layout.blocks.at(0).at(0), text.size());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "write")
            return write(args[1], static_cast<std::size_t>(std::stoull(args[2])) * 1000 * 1000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "message_memory_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: message_memory_bench write DIR SIZE_MB\n");
    return 2;
}
