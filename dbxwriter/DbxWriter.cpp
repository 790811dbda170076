#include "dbxwriter/DbxWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "base/FileTime.h"
#include "store/DbxLayout.h"

namespace lumbrook {

namespace {

using namespace dbx;

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append32(std::string& s, std::uint32_t v) {
    char b[4];
    put32(reinterpret_cast<std::uint8_t*>(b), v);
    s.append(b, 4);
}
void append64(std::string& s, std::uint64_t v) {
    char b[8];
    put64(reinterpret_cast<std::uint8_t*>(b), v);
    s.append(b, 8);
}
std::int32_t offset32(std::uint64_t off) {
    if (off > 0x7FFFFFFF) throw std::runtime_error("dbx writer: file larger than 2 GB");
    return static_cast<std::int32_t>(off);
}

std::size_t fieldDataSize(const DbxField& f) {
    switch (f.kind) {
        case DbxField::Kind::Text:
            return f.bytes.size() + (f.textWithoutZero ? 0 : 1);
        case DbxField::Kind::Int32:
        case DbxField::Kind::DataOffset:
            return 4;
        case DbxField::Kind::FileTime:
        case DbxField::Kind::Raw8:
            return 8;
        default:
            return 0;
    }
}

std::size_t dataAreaSize(const DbxRecord& r) {
    std::size_t n = r.extraData.size();
    for (const auto& f : r.fields) n += fieldDataSize(f);
    return (n + 3) & ~std::size_t(3);
}

std::size_t recordSize(const DbxRecord& r) {
    return RecordHeaderSize + EntryWordSize * r.fields.size() + dataAreaSize(r);
}

std::vector<DbxBlock> splitIntoBlocks(const std::string& text) {
    std::vector<DbxBlock> blocks;
    for (std::size_t at = 0; at < text.size(); at += BlockTextSize)
        blocks.push_back({text.substr(at, BlockTextSize), {}, {}, {}, {}, 0});
    return blocks;
}

std::size_t blockCount(const DbxRecord& r, const DbxFileOptions& o) {
    if (r.text) return (r.text->size() + BlockTextSize - 1) / BlockTextSize;
    if (!r.blocks.empty()) return r.blocks.size();
    if (o.textSource) return (r.sourcedTextSize + BlockTextSize - 1) / BlockTextSize;
    return 0;
}

// A node of the index tree under construction: entries refer to records by
// index, children and links to nodes by index (-1 for none).
struct Node {
    int firstChild = -1;
    int parent = -1;
    std::vector<std::pair<std::size_t, int>> entries;  // record, child node
    std::size_t subtreeRecords = 0;
};

// Builds a tree whose walk (first link, then each entry followed by its child)
// visits records [lo, hi) in order. Returns the node's index.
int buildTree(std::vector<Node>& nodes, std::size_t lo, std::size_t hi, std::size_t cap,
              int parent) {
    int me = static_cast<int>(nodes.size());
    nodes.emplace_back();
    nodes[me].parent = parent;
    nodes[me].subtreeRecords = hi - lo;
    std::size_t n = hi - lo;
    if (n <= cap) {
        for (std::size_t i = lo; i < hi; ++i) nodes[me].entries.push_back({i, -1});
        return me;
    }
    // cap entries in this node, cap + 1 subtrees around them sharing the rest.
    std::size_t rest = n - cap;
    std::size_t each = rest / (cap + 1), extra = rest % (cap + 1);
    std::size_t at = lo;
    auto subtree = [&](std::size_t k) {
        std::size_t size = each + (k < extra ? 1 : 0);
        int child = size ? buildTree(nodes, at, at + size, cap, me) : -1;
        at += size;
        return child;
    };
    int first = subtree(0);
    nodes[me].firstChild = first;
    for (std::size_t k = 1; k <= cap; ++k) {
        std::size_t record = at++;
        int child = subtree(k);
        nodes[me].entries.push_back({record, child});
    }
    return me;
}

class Sink {
  public:
    virtual ~Sink() = default;
    virtual void write(const void* data, std::size_t size) = 0;
    void zeros(std::size_t n) {
        static const char Zero[4096] = {};
        while (n) {
            std::size_t k = std::min(n, sizeof Zero);
            write(Zero, k);
            n -= k;
        }
    }
};

class VectorSink : public Sink {
  public:
    explicit VectorSink(std::vector<std::uint8_t>& out) : out(out) {}
    void write(const void* data, std::size_t size) override {
        auto p = static_cast<const std::uint8_t*>(data);
        out.insert(out.end(), p, p + size);
    }

  private:
    std::vector<std::uint8_t>& out;
};

class FileSink : public Sink {
  public:
    explicit FileSink(const std::string& path) : path(path), f(std::fopen(path.c_str(), "wb")) {
        if (!f) throw std::runtime_error("cannot create " + path);
    }
    ~FileSink() override {
        if (f) std::fclose(f);
    }
    void write(const void* data, std::size_t size) override {
        if (size == 0) return;
        if (std::fwrite(data, 1, size, f) != size) throw std::runtime_error("cannot write " + path);
    }
    void close() {
        int rc = std::fclose(f);
        f = nullptr;
        if (rc != 0) throw std::runtime_error("cannot write " + path);
    }

  private:
    std::string path;
    std::FILE* f;
};

DbxLayout emit(Sink& sink, const std::vector<DbxRecord>& records, const DbxFileOptions& o) {
    const std::size_t cap = std::max<std::size_t>(1, o.nodeCapacity);
    const std::size_t nodeSize = NodeHeaderSize + cap * EntrySize;
    DbxLayout layout;

    // Where everything goes.
    std::uint64_t off = FileHeaderSize;
    for (const auto& r : records) {
        layout.records.push_back(offset32(off));
        off += recordSize(r);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        std::vector<std::int32_t> blocks;
        std::size_t n = blockCount(r, o);
        for (std::size_t b = 0; b < n; ++b) {
            if (!r.text && !r.blocks.empty()) off += r.blocks[b].gapBefore;
            blocks.push_back(offset32(off));
            off += BlockSize;
        }
        layout.blocks.push_back(std::move(blocks));
    }
    std::vector<Node> nodes;
    if (!records.empty()) buildTree(nodes, 0, records.size(), cap, -1);
    std::vector<std::int32_t> nodeOffsets;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodeOffsets.push_back(offset32(off));
        off += nodeSize;
    }
    layout.nodes = nodeOffsets;
    for (std::size_t i = 0; i < o.chainNodes; ++i) {
        layout.chainNodes.push_back(offset32(off));
        off += NodeHeaderSize;
    }
    layout.size = off;
    layout.startNode = !layout.chainNodes.empty() ? layout.chainNodes.front()
                       : nodes.empty()            ? 0
                                                  : nodeOffsets[0];

    // File header.
    {
        std::vector<std::uint8_t> h(FileHeaderSize, 0);
        put32(&h[SignatureAt], Signature);
        put32(&h[FileKindAt], o.kind == DbxFileKind::Folders ? FolderFileKind : MessageFileKind);
        std::copy(ClassIdTail.begin(), ClassIdTail.end(), h.begin() + ClassIdTailAt);
        put32(&h[HeaderStartNodeAt], static_cast<std::uint32_t>(layout.startNode));
        put32(&h[HeaderItemCountAt], static_cast<std::uint32_t>(o.itemCount.value_or(
                                         static_cast<std::int32_t>(records.size()))));
        sink.write(h.data(), h.size());
    }

    // Records.
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        const auto& blocks = layout.blocks[i];
        const std::int32_t first = blocks.empty() ? 0 : blocks.front();
        std::string table, data;
        for (const auto& f : r.fields) {
            std::uint32_t v = 0;
            std::uint8_t id = f.id;
            switch (f.kind) {
                case DbxField::Kind::Direct:
                case DbxField::Kind::Position:
                    v = f.value;
                    break;
                case DbxField::Kind::Text:
                    v = static_cast<std::uint32_t>(data.size());
                    data += f.bytes;
                    if (!f.textWithoutZero) data += '\0';
                    break;
                case DbxField::Kind::Int32:
                    v = static_cast<std::uint32_t>(data.size());
                    append32(data, f.value);
                    break;
                case DbxField::Kind::FileTime:
                    v = static_cast<std::uint32_t>(data.size());
                    append64(data, f.wide);
                    break;
                case DbxField::Kind::Raw8:
                    v = static_cast<std::uint32_t>(data.size());
                    data += f.bytes.substr(0, 8);
                    data.append(8 - std::min<std::size_t>(8, f.bytes.size()), '\0');
                    break;
                case DbxField::Kind::DataOffset:
                    if (static_cast<std::uint32_t>(first) < (1u << 24)) {
                        id = 0x84;
                        v = static_cast<std::uint32_t>(first);
                        data.append(4, '\0');
                    } else {
                        id = 0x04;
                        v = static_cast<std::uint32_t>(data.size());
                        append32(data, static_cast<std::uint32_t>(first));
                    }
                    break;
            }
            append32(table, id | (v << 8));
        }
        data += r.extraData;
        data.append(dataAreaSize(r) - data.size(), '\0');

        std::uint8_t head[RecordHeaderSize] = {};
        put32(head + RecordSelfAt, static_cast<std::uint32_t>(r.self.value_or(layout.records[i])));
        put32(head + RecordLengthAt, static_cast<std::uint32_t>(r.bodyLength.value_or(
                                         static_cast<std::int32_t>(table.size() + data.size()))));
        head[RecordCountAt] = r.entryCount.value_or(static_cast<std::uint8_t>(r.fields.size()));
        sink.write(head, sizeof head);
        sink.write(table.data(), table.size());
        sink.write(data.data(), data.size());
    }

    // Data blocks.
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        const auto& offsets = layout.blocks[i];
        if (offsets.empty()) continue;
        std::vector<DbxBlock> blocks;
        if (r.text)
            blocks = splitIntoBlocks(*r.text);
        else if (!r.blocks.empty())
            blocks = r.blocks;
        else
            blocks = splitIntoBlocks(o.textSource(i));
        blocks.resize(offsets.size());
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const auto& blk = blocks[b];
            sink.zeros(blk.gapBefore);
            std::uint8_t buf[BlockSize] = {};
            std::int32_t next = b + 1 < offsets.size() ? offsets[b + 1] : 0;
            if (blk.nextIndex) next = *blk.nextIndex < offsets.size() ? offsets[*blk.nextIndex] : 0;
            if (blk.nextRaw) next = *blk.nextRaw;
            put32(buf + BlockSelfAt, static_cast<std::uint32_t>(blk.self.value_or(offsets[b])));
            put32(buf + BlockMarkAt, LiveMark);
            put32(buf + BlockUsedAt, static_cast<std::uint32_t>(blk.used.value_or(
                                         static_cast<std::int32_t>(blk.text.size()))));
            put32(buf + BlockNextAt, static_cast<std::uint32_t>(next));
            std::memcpy(buf + BlockHeaderSize, blk.text.data(), std::min(blk.text.size(), BlockTextSize));
            sink.write(buf, sizeof buf);
        }
    }

    // Index nodes. The second link names the parent node, as in files written by
    // Outlook Express; the walk finds it visited already.
    std::vector<std::uint8_t> buf(nodeSize);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        std::fill(buf.begin(), buf.end(), 0);
        put32(&buf[NodeSelfAt], static_cast<std::uint32_t>(nodeOffsets[i]));
        put32(&buf[NodeSecondLinkAt],
              n.parent < 0 ? 0 : static_cast<std::uint32_t>(nodeOffsets[n.parent]));
        put32(&buf[NodeFirstLinkAt],
              n.firstChild < 0 ? 0 : static_cast<std::uint32_t>(nodeOffsets[n.firstChild]));
        for (int k = 0; k < 3; ++k)
            buf[NodeCountAt + k] = static_cast<std::uint8_t>(n.entries.size() >> (8 * k));
        for (std::size_t e = 0; e < n.entries.size(); ++e) {
            std::uint8_t* p = &buf[NodeHeaderSize + e * EntrySize];
            auto [record, child] = n.entries[e];
            put32(p + EntryRecordAt, static_cast<std::uint32_t>(layout.records[record]));
            put32(p + EntryChildAt, child < 0 ? 0 : static_cast<std::uint32_t>(nodeOffsets[child]));
            put32(p + EntryChildCountAt,
                  child < 0 ? 0 : static_cast<std::uint32_t>(nodes[child].subtreeRecords));
        }
        sink.write(buf.data(), buf.size());
    }
    for (std::size_t i = 0; i < layout.chainNodes.size(); ++i) {
        std::uint8_t head[NodeHeaderSize] = {};
        put32(head + NodeSelfAt, static_cast<std::uint32_t>(layout.chainNodes[i]));
        std::int32_t next = i + 1 < layout.chainNodes.size() ? layout.chainNodes[i + 1]
                            : nodeOffsets.empty()            ? 0
                                                             : nodeOffsets[0];
        put32(head + NodeFirstLinkAt, static_cast<std::uint32_t>(next));
        sink.write(head, sizeof head);
    }
    return layout;
}

}  // namespace

DbxField DbxField::direct(std::uint8_t id, std::uint32_t v) {
    DbxField f;
    f.id = id;
    f.kind = Kind::Direct;
    f.value = v;
    return f;
}
DbxField DbxField::text(std::uint8_t id, std::string bytes) {
    DbxField f;
    f.id = id;
    f.kind = Kind::Text;
    f.bytes = std::move(bytes);
    return f;
}
DbxField DbxField::int32(std::uint8_t id, std::int32_t v) {
    DbxField f;
    f.id = id;
    f.kind = Kind::Int32;
    f.value = static_cast<std::uint32_t>(v);
    return f;
}
DbxField DbxField::fileTime(std::uint8_t id, std::uint64_t v) {
    DbxField f;
    f.id = id;
    f.kind = Kind::FileTime;
    f.wide = v;
    return f;
}
DbxField DbxField::raw8(std::uint8_t id, const std::array<std::uint8_t, 8>& bytes) {
    DbxField f;
    f.id = id;
    f.kind = Kind::Raw8;
    f.bytes.assign(bytes.begin(), bytes.end());
    return f;
}
DbxField DbxField::position(std::uint8_t id, std::uint32_t v) {
    DbxField f;
    f.id = id;
    f.kind = Kind::Position;
    f.value = v;
    return f;
}
DbxField DbxField::dataOffset() {
    DbxField f;
    f.id = 0x84;
    f.kind = Kind::DataOffset;
    return f;
}

void DbxImage::putU8(std::size_t off, std::uint8_t v) {
    bytes.at(off) = v;
}
void DbxImage::putU24(std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 3; ++i) bytes.at(off + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void DbxImage::putI32(std::size_t off, std::int32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes.at(off + i) = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}
std::int32_t DbxImage::getI32(std::size_t off) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(bytes.at(off + i)) << (8 * i);
    return static_cast<std::int32_t>(v);
}

DbxImage buildDbx(const std::vector<DbxRecord>& records, const DbxFileOptions& options) {
    DbxImage image;
    VectorSink sink(image.bytes);
    image.layout = emit(sink, records, options);
    return image;
}

DbxLayout writeDbx(const std::string& path, const std::vector<DbxRecord>& records,
                    const DbxFileOptions& options) {
    FileSink sink(path);
    DbxLayout layout = emit(sink, records, options);
    sink.close();
    return layout;
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FileSink sink(path);
    sink.write(bytes.data(), bytes.size());
    sink.close();
}

DbxRecord folderRecord(const DbxFolder& folder) {
    DbxRecord r;
    r.fields.push_back(DbxField::direct(0x80, static_cast<std::uint32_t>(folder.folderId)));
    if (folder.parentId)
        r.fields.push_back(DbxField::direct(0x81, static_cast<std::uint32_t>(*folder.parentId)));
    r.fields.push_back(DbxField::text(0x02, folder.name));
    if (folder.fileName)
        r.fields.push_back(DbxField::text(0x03, *folder.fileName));
    else
        r.fields.push_back(DbxField::text(0x06, ""));
    if (folder.isSpecial) r.fields.push_back(DbxField::direct(0x89, 1));
    return r;
}

DbxRecord messageRecord(const DbxMessage& message) {
    DbxRecord r;
    r.fields.push_back(DbxField::direct(0x80, static_cast<std::uint32_t>(message.messageId)));
    if (message.flags) r.fields.push_back(DbxField::direct(0x81, *message.flags));
    if (!message.rawText.empty()) r.fields.push_back(DbxField::dataOffset());
    if (message.priority) r.fields.push_back(DbxField::direct(0x90, *message.priority));
    r.fields.push_back(DbxField::text(0x08, message.subject));
    r.fields.push_back(DbxField::text(0x0D, message.from));
    if (message.date) r.fields.push_back(DbxField::fileTime(0x12, *message.date));
    r.fields.push_back(DbxField::text(0x13, message.to));
    if (!message.rawText.empty()) r.text = message.rawText;
    return r;
}

std::uint64_t unixTimeToFileTime(std::int64_t seconds) {
    return unixToFileTime(seconds).value();
}

}  // namespace lumbrook
