#include "store_bench_folder.h"

#include <vector>

namespace lumbrook {

namespace {

std::uint64_t Mix(std::uint64_t x) {  // splitmix64
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Mostly 2 to 20 KB; one message in 50 is larger (up to 200 KB), as attachments are.
std::size_t TextSize(std::size_t i) {
    std::uint64_t r = Mix(i);
    if (r % 50 == 0) return 20'000 + (r >> 8) % 180'000;
    return 2'000 + (r >> 8) % 18'000;
}

std::string Header(std::size_t i) {
    const std::string n = std::to_string(i);
    std::string h;
    h.append("From: \"Sender ")
        .append(n)
        .append("\" <sender")
        .append(n)
        .append("@example.org>\r\n");
    h.append("To: \"Reader\" <reader@example.net>\r\n");
    h.append("Subject: Benchmark message ").append(n).append("\r\n");
    h.append("Date: Tue, 14 Oct 2003 09:12:45 +0200\r\n");
    h.append("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n\r\n");
    return h;
}

}  // namespace

std::string BenchMessageText(std::size_t i, std::size_t wanted) {
    static const char* const words[] = {
        "store", "message", "folder",  "index",   "block", "record", "walk", "offset",
        "text",  "reader",  "outlook", "express", "mail",  "the",    "a",    "of"};
    const std::size_t size = wanted ? wanted : TextSize(i);
    std::string text = Header(i);
    std::uint64_t r = Mix(i ^ 0xABCDEF);
    std::size_t column = 0;
    while (text.size() < size) {
        r = Mix(r);
        const char* w = words[r % 16];
        text += w;
        column += std::char_traits<char>::length(w) + 1;
        if (column > 70) {
            text += "\r\n";
            column = 0;
        } else {
            text += ' ';
        }
    }
    text.resize(size);
    return text;
}

std::uint64_t WriteBenchFolder(const std::string& path, std::size_t messages) {
    std::vector<TDbxRecord> records;
    records.reserve(messages);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < messages; ++i) {
        std::string n = std::to_string(i);
        TDbxMessage m;
        m.MessageId = static_cast<std::int32_t>(i + 1);
        m.From.append("\"Sender ").append(n).append("\" <sender").append(n).append("@example.org>");
        m.To = "\"Reader\" <reader@example.net>";
        m.Subject.append("Benchmark message ").append(n);
        m.Date = UnixTimeToFileTime(1'066'115'565 + static_cast<std::int64_t>(i) * 60);
        m.RawText.push_back('x');  // a data offset entry; the text itself comes from the source
        TDbxRecord r = MessageRecord(m);
        r.Text.reset();
        r.SourcedTextSize = TextSize(i);
        total += r.SourcedTextSize;
        records.push_back(std::move(r));
    }
    TDbxFileOptions options;
    options.TextSource = [](std::size_t i) { return BenchMessageText(i); };
    WriteDbx(path, records, options);
    return total;
}

std::uint64_t WriteLargeBenchFolder(const std::string& path, std::size_t messages,
                                    std::size_t size) {
    std::vector<TDbxRecord> records;
    for (std::size_t i = 0; i < messages; ++i) {
        TDbxMessage m;
        m.MessageId = static_cast<std::int32_t>(i + 1);
        m.RawText.push_back('x');
        TDbxRecord r = MessageRecord(m);
        r.Text.reset();
        r.SourcedTextSize = size;
        records.push_back(std::move(r));
    }
    TDbxFileOptions options;
    options.TextSource = [size](std::size_t i) { return BenchMessageText(i, size); };
    WriteDbx(path, records, options);
    return std::uint64_t(messages) * size;
}

}  // namespace lumbrook
