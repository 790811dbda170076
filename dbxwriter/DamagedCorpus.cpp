#include "dbxwriter/DamagedCorpus.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "dbxwriter/DbxWriter.h"
#include "store/DbxLayout.h"

namespace lumbrook {

namespace {

namespace fs = std::filesystem;

// A message whose marker line lies in its first data block: a message whose first
// block is still in the file is still held.
std::string messageText(const std::string& marker, std::size_t index, std::size_t size) {
    std::string text = "From: sender" + std::to_string(index) +
                       "@example.org\r\nTo: reader@example.org\r\nSubject: " + marker +
                       "\r\nDate: Mon, 6 Jan 2020 10:" + std::to_string(10 + index % 50) +
                       ":00 +0000\r\nContent-Type: text/plain\r\n\r\n" + marker + "\r\n";
    for (int line = 0; text.size() < size; ++line)
        text += "line " + std::to_string(line) + " of the message " + marker + "\r\n";
    return text;
}

struct FolderFile {
    DbxImage image;
    std::vector<std::string> markers;  // per record
};

FolderFile folderFile(const std::string& prefix, std::size_t count, std::size_t bytes) {
    FolderFile file;
    std::vector<DbxRecord> records;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string marker = "MARK-" + prefix + "-" + std::to_string(i) + "-end";
        DbxMessage m;
        m.messageId = static_cast<std::int32_t>(i + 1);
        m.from = "sender" + std::to_string(i) + "@example.org";
        m.to = "reader@example.org";
        m.subject = marker;
        m.date = unixTimeToFileTime(1578304800 + static_cast<std::int64_t>(i) * 60);
        m.rawText = messageText(marker, i, bytes);
        m.flags = 0x80;
        records.push_back(messageRecord(m));
        file.markers.push_back(marker);
    }
    file.image = buildDbx(records);
    return file;
}

// The markers of the messages whose first block lies whole in [from, to).
std::vector<std::string> heldBetween(const FolderFile& file, std::uint64_t from, std::uint64_t to) {
    std::vector<std::string> held;
    for (std::size_t r = 0; r < file.markers.size(); ++r) {
        const auto& blocks = file.image.layout.blocks[r];
        if (blocks.empty()) continue;
        const auto first = static_cast<std::uint64_t>(blocks.front());
        if (first >= from && first + dbx::BlockSize <= to) held.push_back(file.markers[r]);
    }
    return held;
}

void writeFolderList(const fs::path& dir, const std::vector<std::string>& files,
                     std::size_t keepBytes = 0) {
    std::vector<DbxRecord> records = {
        folderRecord({0, std::nullopt, "Outlook Express", std::nullopt, false}),
        folderRecord({1, 0, "Local Folders", std::nullopt, false})};
    std::int32_t id = 100;
    for (const std::string& file : files) {
        const std::string name = file.substr(0, file.size() - 4);
        records.push_back(folderRecord({id++, 1, name, file, false}));
    }
    DbxFileOptions list;
    list.kind = DbxFileKind::Folders;
    std::vector<std::uint8_t> bytes = buildDbx(records, list).bytes;
    if (keepBytes > 0) bytes.resize(std::min(bytes.size(), keepBytes));
    writeBytes((dir / "Folders.dbx").string(), bytes);
}

void append(std::vector<std::string>& to, const std::vector<std::string>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// Healthy: every message.
std::vector<std::string> writeHealthy(const fs::path& path, const std::string& prefix,
                                      const DamagedCorpusOptions& o) {
    FolderFile f = folderFile(prefix, o.messagesPerFile, o.messageBytes);
    writeBytes(path.string(), f.image.bytes);
    return f.markers;
}

// Cut at 60 %: the index nodes at the end are gone, and the messages after the cut.
std::vector<std::string> writeCut(const fs::path& path, const std::string& prefix,
                                  const DamagedCorpusOptions& o) {
    FolderFile f = folderFile(prefix, o.messagesPerFile, o.messageBytes);
    const std::size_t cut = f.image.bytes.size() * 6 / 10;
    f.image.bytes.resize(cut);
    writeBytes(path.string(), f.image.bytes);
    return heldBetween(f, 0, cut);
}

// The index's root node wiped out: the header still counts every message.
std::vector<std::string> writeZeroedRoot(const fs::path& path, const std::string& prefix,
                                         const DamagedCorpusOptions& o) {
    FolderFile f = folderFile(prefix, o.messagesPerFile, o.messageBytes);
    const auto root = static_cast<std::size_t>(f.image.layout.nodes.front());
    std::fill_n(f.image.bytes.begin() + static_cast<std::ptrdiff_t>(root), dbx::NodeHeaderSize,
                std::uint8_t{0});
    writeBytes(path.string(), f.image.bytes);
    return f.markers;
}

// The first 64 KB lost: header, records and the first messages' blocks.
std::vector<std::string> writeHeadless(const fs::path& path, const std::string& prefix,
                                       const DamagedCorpusOptions& o) {
    constexpr std::size_t Lost = 64 * 1024;
    FolderFile f = folderFile(prefix, std::max<std::size_t>(o.messagesPerFile, 64 * 1024 / o.messageBytes + 20),
                              o.messageBytes);
    if (f.image.bytes.size() <= Lost) throw std::runtime_error("headless folder too small");
    std::vector<std::uint8_t> rest(f.image.bytes.begin() + Lost, f.image.bytes.end());
    writeBytes(path.string(), rest);
    return heldBetween(f, Lost, f.image.bytes.size());
}

// A folder file of fileSize bytes, sparse: a healthy folder at its start whose
// header counts count more messages than its index lists, those lying past 2 GiB.
std::vector<std::string> writeHuge(const fs::path& path, const DamagedCorpusOptions& o) {
    FolderFile f = folderFile("huge", o.messagesPerFile, o.messageBytes);
    const auto counted = static_cast<std::int32_t>(o.messagesPerFile + o.hugeMessages);
    f.image.putI32(dbx::HeaderItemCountAt, counted);
    std::vector<std::string> markers = f.markers;

    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + path.string());
    auto put = [&](std::uint64_t at, const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(at));
            if (n <= 0) {
                ::close(fd);
                throw std::runtime_error("cannot write " + path.string());
            }
            data += n, at += static_cast<std::uint64_t>(n), size -= static_cast<std::size_t>(n);
        }
    };
    put(0, f.image.bytes.data(), f.image.bytes.size());
    // Past 2 GiB, a quarter of the way from there to the end.
    std::uint64_t at = (std::uint64_t{1} << 31) + (o.hugeFileSize - (std::uint64_t{1} << 31)) / 4;
    at &= ~std::uint64_t{3};
    std::vector<std::uint8_t> block(dbx::BlockSize);
    auto put32 = [&](std::size_t off, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) block[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    for (std::size_t k = 0; k < o.hugeMessages; ++k) {
        const std::string marker = "MARK-huge-past2g-" + std::to_string(k) + "-end";
        const std::string text = messageText(marker, k, o.messageBytes);
        const std::size_t blocks = (text.size() + dbx::BlockTextSize - 1) / dbx::BlockTextSize;
        for (std::size_t b = 0; b < blocks; ++b, at += dbx::BlockSize) {
            std::fill(block.begin(), block.end(), std::uint8_t{0});
            const std::size_t used = std::min(dbx::BlockTextSize, text.size() - b * dbx::BlockTextSize);
            put32(dbx::BlockSelfAt, static_cast<std::uint32_t>(at));
            put32(dbx::BlockMarkAt, dbx::LiveMark);
            put32(dbx::BlockUsedAt, static_cast<std::uint32_t>(used));
            put32(dbx::BlockNextAt, b + 1 < blocks ? static_cast<std::uint32_t>(at + dbx::BlockSize) : 0u);
            std::memcpy(block.data() + dbx::BlockHeaderSize, text.data() + b * dbx::BlockTextSize, used);
            put(at, block.data(), block.size());
        }
        markers.push_back(marker);
    }
    if (::ftruncate(fd, static_cast<off_t>(std::max(at, o.hugeFileSize))) != 0 || ::close(fd) != 0)
        throw std::runtime_error("cannot write " + path.string());
    return markers;
}

}  // namespace

std::vector<DamagedStore> writeDamagedCorpus(const std::string& rootPath,
                                             const DamagedCorpusOptions& o) {
    const fs::path root(rootPath);
    std::vector<DamagedStore> stores;

    // A folder list naming a healthy folder and three damaged ones, and a folder
    // file it does not name.
    {
        DamagedStore s{"damaged", (root / "damaged").string(), {}, {}};
        fs::create_directories(s.path);
        const fs::path dir(s.path);
        writeFolderList(dir, {"Inbox.dbx", "Cut.dbx", "Zeroed.dbx", "Headless.dbx"});
        append(s.markers, writeHealthy(dir / "Inbox.dbx", "damaged-inbox", o));
        append(s.markers, writeCut(dir / "Cut.dbx", "damaged-cut", o));
        append(s.markers, writeZeroedRoot(dir / "Zeroed.dbx", "damaged-zeroed", o));
        append(s.markers, writeHeadless(dir / "Headless.dbx", "damaged-headless", o));
        append(s.markers, writeHealthy(dir / "Unlisted.dbx", "damaged-unlisted", o));
        s.damagedFiles = {"Cut.dbx", "Zeroed.dbx", "Headless.dbx"};
        stores.push_back(std::move(s));
    }
    // No folder list at all.
    {
        DamagedStore s{"nolist", (root / "nolist").string(), {}, {}};
        fs::create_directories(s.path);
        const fs::path dir(s.path);
        append(s.markers, writeHealthy(dir / "Inbox.dbx", "nolist-inbox", o));
        append(s.markers, writeZeroedRoot(dir / "Sent Items.dbx", "nolist-sent", o));
        s.damagedFiles = {"Sent Items.dbx"};
        stores.push_back(std::move(s));
    }
    // A folder list cut short: its index is gone.
    {
        DamagedStore s{"cutlist", (root / "cutlist").string(), {}, {}};
        fs::create_directories(s.path);
        const fs::path dir(s.path);
        writeFolderList(dir, {"Inbox.dbx", "Drafts.dbx"}, dbx::FileHeaderSize + 64);
        append(s.markers, writeHealthy(dir / "Inbox.dbx", "cutlist-inbox", o));
        append(s.markers, writeCut(dir / "Drafts.dbx", "cutlist-drafts", o));
        s.damagedFiles = {"Drafts.dbx"};
        stores.push_back(std::move(s));
    }
    // A folder file on its own, cut short.
    {
        const fs::path dir = root / "lone";
        fs::create_directories(dir);
        DamagedStore s{"lone", (dir / "Lone.dbx").string(), {}, {"Lone.dbx"}};
        append(s.markers, writeCut(s.path, "lone", o));
        stores.push_back(std::move(s));
    }
    if (o.hugeFileSize > (std::uint64_t{1} << 31)) {
        DamagedStore s{"huge", (root / "huge").string(), {}, {"Big.dbx"}};
        fs::create_directories(s.path);
        const fs::path dir(s.path);
        writeFolderList(dir, {"Big.dbx"});
        append(s.markers, writeHuge(dir / "Big.dbx", o));
        stores.push_back(std::move(s));
    }
    return stores;
}

}  // namespace lumbrook
