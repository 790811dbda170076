#include "DbxWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace lumbrook {

namespace {

constexpr std::size_t FileHeaderSize = 0x24BC;
constexpr std::size_t HeaderStartNodeAt = 48;
constexpr std::size_t HeaderItemCountAt = 196;
constexpr std::size_t NodeHeaderSize = 24;
constexpr std::size_t EntrySize = 12;
constexpr std::size_t BlockTextSize = 512;
constexpr std::size_t BlockSize = 16 + BlockTextSize;

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Append32(std::string& s, std::uint32_t v) {
    char b[4];
    Put32(reinterpret_cast<std::uint8_t*>(b), v);
    s.append(b, 4);
}
void Append64(std::string& s, std::uint64_t v) {
    char b[8];
    Put64(reinterpret_cast<std::uint8_t*>(b), v);
    s.append(b, 8);
}
std::int32_t Offset32(std::uint64_t off) {
    if (off > 0x7FFFFFFF) throw std::runtime_error("dbx writer: file larger than 2 GB");
    return static_cast<std::int32_t>(off);
}

std::size_t FieldDataSize(const TDbxField& f) {
    switch (f.Kind) {
        case TDbxField::TKind::Text:
            return f.Bytes.size() + (f.TextWithoutZero ? 0 : 1);
        case TDbxField::TKind::Int32:
        case TDbxField::TKind::DataOffset:
            return 4;
        case TDbxField::TKind::FileTime:
        case TDbxField::TKind::Raw8:
            return 8;
        default:
            return 0;
    }
}

std::size_t DataAreaSize(const TDbxRecord& r) {
    std::size_t n = r.ExtraData.size();
    for (const auto& f : r.Fields) n += FieldDataSize(f);
    return (n + 3) & ~std::size_t(3);
}

std::size_t RecordSize(const TDbxRecord& r) {
    return 12 + 4 * r.Fields.size() + DataAreaSize(r);
}

std::vector<TDbxBlock> SplitIntoBlocks(const std::string& text) {
    std::vector<TDbxBlock> blocks;
    for (std::size_t at = 0; at < text.size(); at += BlockTextSize)
        blocks.push_back({text.substr(at, BlockTextSize), {}, {}, {}, {}, 0});
    return blocks;
}

std::size_t BlockCount(const TDbxRecord& r, const TDbxFileOptions& o) {
    if (r.Text) return (r.Text->size() + BlockTextSize - 1) / BlockTextSize;
    if (!r.Blocks.empty()) return r.Blocks.size();
    if (o.TextSource) return (r.SourcedTextSize + BlockTextSize - 1) / BlockTextSize;
    return 0;
}

// A node of the index tree under construction: entries refer to records by
// index, children and links to nodes by index (-1 for none).
struct TNode {
    int FirstChild = -1;
    int Parent = -1;
    std::vector<std::pair<std::size_t, int>> Entries;  // record, child node
    std::size_t SubtreeRecords = 0;
};

// Builds a tree whose walk (first link, then each entry followed by its child)
// visits records [lo, hi) in order. Returns the node's index.
int BuildTree(std::vector<TNode>& nodes, std::size_t lo, std::size_t hi, std::size_t cap,
              int parent) {
    int me = static_cast<int>(nodes.size());
    nodes.emplace_back();
    nodes[me].Parent = parent;
    nodes[me].SubtreeRecords = hi - lo;
    std::size_t n = hi - lo;
    if (n <= cap) {
        for (std::size_t i = lo; i < hi; ++i) nodes[me].Entries.push_back({i, -1});
        return me;
    }
    // cap entries in this node, cap + 1 subtrees around them sharing the rest.
    std::size_t rest = n - cap;
    std::size_t each = rest / (cap + 1), extra = rest % (cap + 1);
    std::size_t at = lo;
    auto subtree = [&](std::size_t k) {
        std::size_t size = each + (k < extra ? 1 : 0);
        int child = size ? BuildTree(nodes, at, at + size, cap, me) : -1;
        at += size;
        return child;
    };
    int first = subtree(0);
    nodes[me].FirstChild = first;
    for (std::size_t k = 1; k <= cap; ++k) {
        std::size_t record = at++;
        int child = subtree(k);
        nodes[me].Entries.push_back({record, child});
    }
    return me;
}

class TSink {
  public:
    virtual ~TSink() = default;
    virtual void Write(const void* data, std::size_t size) = 0;
    void Zeros(std::size_t n) {
        static const char zero[4096] = {};
        while (n) {
            std::size_t k = std::min(n, sizeof zero);
            Write(zero, k);
            n -= k;
        }
    }
};

class TVectorSink : public TSink {
  public:
    explicit TVectorSink(std::vector<std::uint8_t>& out) : Out(out) {}
    void Write(const void* data, std::size_t size) override {
        auto p = static_cast<const std::uint8_t*>(data);
        Out.insert(Out.end(), p, p + size);
    }

  private:
    std::vector<std::uint8_t>& Out;
};

class TFileSink : public TSink {
  public:
    explicit TFileSink(const std::string& path) : Path(path), F(std::fopen(path.c_str(), "wb")) {
        if (!F) throw std::runtime_error("cannot create " + path);
    }
    ~TFileSink() override {
        if (F) std::fclose(F);
    }
    void Write(const void* data, std::size_t size) override {
        if (size == 0) return;
        if (std::fwrite(data, 1, size, F) != size) throw std::runtime_error("cannot write " + Path);
    }
    void Close() {
        int rc = std::fclose(F);
        F = nullptr;
        if (rc != 0) throw std::runtime_error("cannot write " + Path);
    }

  private:
    std::string Path;
    std::FILE* F;
};

TDbxLayout Emit(TSink& sink, const std::vector<TDbxRecord>& records, const TDbxFileOptions& o) {
    const std::size_t cap = std::max<std::size_t>(1, o.NodeCapacity);
    const std::size_t nodeSize = NodeHeaderSize + cap * EntrySize;
    TDbxLayout layout;

    // Where everything goes.
    std::uint64_t off = FileHeaderSize;
    for (const auto& r : records) {
        layout.Records.push_back(Offset32(off));
        off += RecordSize(r);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        std::vector<std::int32_t> blocks;
        std::size_t n = BlockCount(r, o);
        for (std::size_t b = 0; b < n; ++b) {
            if (!r.Text && !r.Blocks.empty()) off += r.Blocks[b].GapBefore;
            blocks.push_back(Offset32(off));
            off += BlockSize;
        }
        layout.Blocks.push_back(std::move(blocks));
    }
    std::vector<TNode> nodes;
    if (!records.empty()) BuildTree(nodes, 0, records.size(), cap, -1);
    std::vector<std::int32_t> nodeOffsets;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodeOffsets.push_back(Offset32(off));
        off += nodeSize;
    }
    layout.Nodes = nodeOffsets;
    for (std::size_t i = 0; i < o.ChainNodes; ++i) {
        layout.ChainNodes.push_back(Offset32(off));
        off += NodeHeaderSize;
    }
    layout.Size = off;
    layout.StartNode = !layout.ChainNodes.empty() ? layout.ChainNodes.front()
                       : nodes.empty()            ? 0
                                                  : nodeOffsets[0];

    // File header.
    {
        std::vector<std::uint8_t> h(FileHeaderSize, 0);
        static const std::uint8_t magic[16] = {0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F,
                                               0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0};
        std::memcpy(h.data(), magic, sizeof magic);
        if (o.Kind == TDbxFileKind::Folders) h[4] = 0xC6;
        Put32(&h[HeaderStartNodeAt], static_cast<std::uint32_t>(layout.StartNode));
        Put32(&h[HeaderItemCountAt], static_cast<std::uint32_t>(o.ItemCount.value_or(
                                         static_cast<std::int32_t>(records.size()))));
        sink.Write(h.data(), h.size());
    }

    // Records.
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        const auto& blocks = layout.Blocks[i];
        const std::int32_t first = blocks.empty() ? 0 : blocks.front();
        std::string table, data;
        for (const auto& f : r.Fields) {
            std::uint32_t v = 0;
            std::uint8_t id = f.Id;
            switch (f.Kind) {
                case TDbxField::TKind::Direct:
                case TDbxField::TKind::Position:
                    v = f.Value;
                    break;
                case TDbxField::TKind::Text:
                    v = static_cast<std::uint32_t>(data.size());
                    data += f.Bytes;
                    if (!f.TextWithoutZero) data += '\0';
                    break;
                case TDbxField::TKind::Int32:
                    v = static_cast<std::uint32_t>(data.size());
                    Append32(data, f.Value);
                    break;
                case TDbxField::TKind::FileTime:
                    v = static_cast<std::uint32_t>(data.size());
                    Append64(data, f.Wide);
                    break;
                case TDbxField::TKind::Raw8:
                    v = static_cast<std::uint32_t>(data.size());
                    data += f.Bytes.substr(0, 8);
                    data.append(8 - std::min<std::size_t>(8, f.Bytes.size()), '\0');
                    break;
                case TDbxField::TKind::DataOffset:
                    if (static_cast<std::uint32_t>(first) < (1u << 24)) {
                        id = 0x84;
                        v = static_cast<std::uint32_t>(first);
                        data.append(4, '\0');
                    } else {
                        id = 0x04;
                        v = static_cast<std::uint32_t>(data.size());
                        Append32(data, static_cast<std::uint32_t>(first));
                    }
                    break;
            }
            Append32(table, id | (v << 8));
        }
        data += r.ExtraData;
        data.append(DataAreaSize(r) - data.size(), '\0');

        std::uint8_t head[12] = {};
        Put32(head, static_cast<std::uint32_t>(r.Self.value_or(layout.Records[i])));
        Put32(head + 4, static_cast<std::uint32_t>(r.BodyLength.value_or(
                            static_cast<std::int32_t>(table.size() + data.size()))));
        head[10] = r.EntryCount.value_or(static_cast<std::uint8_t>(r.Fields.size()));
        sink.Write(head, sizeof head);
        sink.Write(table.data(), table.size());
        sink.Write(data.data(), data.size());
    }

    // Data blocks.
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        const auto& offsets = layout.Blocks[i];
        if (offsets.empty()) continue;
        std::vector<TDbxBlock> blocks;
        if (r.Text)
            blocks = SplitIntoBlocks(*r.Text);
        else if (!r.Blocks.empty())
            blocks = r.Blocks;
        else
            blocks = SplitIntoBlocks(o.TextSource(i));
        blocks.resize(offsets.size());
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const auto& blk = blocks[b];
            sink.Zeros(blk.GapBefore);
            std::uint8_t buf[BlockSize] = {};
            std::int32_t next = b + 1 < offsets.size() ? offsets[b + 1] : 0;
            if (blk.NextIndex) next = *blk.NextIndex < offsets.size() ? offsets[*blk.NextIndex] : 0;
            if (blk.NextRaw) next = *blk.NextRaw;
            Put32(buf, static_cast<std::uint32_t>(blk.Self.value_or(offsets[b])));
            Put32(buf + 4, BlockTextSize);
            Put32(buf + 8, static_cast<std::uint32_t>(
                               blk.Used.value_or(static_cast<std::int32_t>(blk.Text.size()))));
            Put32(buf + 12, static_cast<std::uint32_t>(next));
            std::memcpy(buf + 16, blk.Text.data(), std::min(blk.Text.size(), BlockTextSize));
            sink.Write(buf, sizeof buf);
        }
    }

    // Index nodes. The second link names the parent node, as in files written by
    // Outlook Express; the walk finds it visited already.
    std::vector<std::uint8_t> buf(nodeSize);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const TNode& n = nodes[i];
        std::fill(buf.begin(), buf.end(), 0);
        Put32(&buf[0], static_cast<std::uint32_t>(nodeOffsets[i]));
        Put32(&buf[8], n.Parent < 0 ? 0 : static_cast<std::uint32_t>(nodeOffsets[n.Parent]));
        Put32(&buf[12],
              n.FirstChild < 0 ? 0 : static_cast<std::uint32_t>(nodeOffsets[n.FirstChild]));
        buf[17] = static_cast<std::uint8_t>(n.Entries.size());
        buf[18] = static_cast<std::uint8_t>(n.Entries.size() >> 8);
        buf[19] = static_cast<std::uint8_t>(n.Entries.size() >> 16);
        for (std::size_t e = 0; e < n.Entries.size(); ++e) {
            std::uint8_t* p = &buf[NodeHeaderSize + e * EntrySize];
            auto [record, child] = n.Entries[e];
            Put32(p, static_cast<std::uint32_t>(layout.Records[record]));
            Put32(p + 4, child < 0 ? 0 : static_cast<std::uint32_t>(nodeOffsets[child]));
            Put32(p + 8, child < 0 ? 0 : static_cast<std::uint32_t>(nodes[child].SubtreeRecords));
        }
        sink.Write(buf.data(), buf.size());
    }
    for (std::size_t i = 0; i < layout.ChainNodes.size(); ++i) {
        std::uint8_t head[NodeHeaderSize] = {};
        Put32(head, static_cast<std::uint32_t>(layout.ChainNodes[i]));
        std::int32_t next = i + 1 < layout.ChainNodes.size() ? layout.ChainNodes[i + 1]
                            : nodeOffsets.empty()            ? 0
                                                             : nodeOffsets[0];
        Put32(head + 12, static_cast<std::uint32_t>(next));
        sink.Write(head, sizeof head);
    }
    return layout;
}

}  // namespace

TDbxField TDbxField::Direct(std::uint8_t id, std::uint32_t v) {
    TDbxField f;
    f.Id = id;
    f.Kind = TKind::Direct;
    f.Value = v;
    return f;
}
TDbxField TDbxField::Text(std::uint8_t id, std::string bytes) {
    TDbxField f;
    f.Id = id;
    f.Kind = TKind::Text;
    f.Bytes = std::move(bytes);
    return f;
}
TDbxField TDbxField::Int32(std::uint8_t id, std::int32_t v) {
    TDbxField f;
    f.Id = id;
    f.Kind = TKind::Int32;
    f.Value = static_cast<std::uint32_t>(v);
    return f;
}
TDbxField TDbxField::FileTime(std::uint8_t id, std::uint64_t v) {
    TDbxField f;
    f.Id = id;
    f.Kind = TKind::FileTime;
    f.Wide = v;
    return f;
}
TDbxField TDbxField::Raw8(std::uint8_t id, const std::array<std::uint8_t, 8>& bytes) {
    TDbxField f;
    f.Id = id;
    f.Kind = TKind::Raw8;
    f.Bytes.assign(bytes.begin(), bytes.end());
    return f;
}
TDbxField TDbxField::Position(std::uint8_t id, std::uint32_t v) {
    TDbxField f;
    f.Id = id;
    f.Kind = TKind::Position;
    f.Value = v;
    return f;
}
TDbxField TDbxField::DataOffset() {
    TDbxField f;
    f.Id = 0x84;
    f.Kind = TKind::DataOffset;
    return f;
}

void TDbxImage::PutU8(std::size_t off, std::uint8_t v) {
    Bytes.at(off) = v;
}
void TDbxImage::PutU24(std::size_t off, std::uint32_t v) {
    for (int i = 0; i < 3; ++i) Bytes.at(off + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void TDbxImage::PutI32(std::size_t off, std::int32_t v) {
    for (int i = 0; i < 4; ++i)
        Bytes.at(off + i) = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}
std::int32_t TDbxImage::GetI32(std::size_t off) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(Bytes.at(off + i)) << (8 * i);
    return static_cast<std::int32_t>(v);
}

TDbxImage BuildDbx(const std::vector<TDbxRecord>& records, const TDbxFileOptions& options) {
    TDbxImage image;
    TVectorSink sink(image.Bytes);
    image.Layout = Emit(sink, records, options);
    return image;
}

TDbxLayout WriteDbx(const std::string& path, const std::vector<TDbxRecord>& records,
                    const TDbxFileOptions& options) {
    TFileSink sink(path);
    TDbxLayout layout = Emit(sink, records, options);
    sink.Close();
    return layout;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    TFileSink sink(path);
    sink.Write(bytes.data(), bytes.size());
    sink.Close();
}

TDbxRecord FolderRecord(const TDbxFolder& folder) {
    TDbxRecord r;
    r.Fields.push_back(TDbxField::Direct(0x80, static_cast<std::uint32_t>(folder.FolderId)));
    if (folder.ParentId)
        r.Fields.push_back(TDbxField::Direct(0x81, static_cast<std::uint32_t>(*folder.ParentId)));
    r.Fields.push_back(TDbxField::Text(0x02, folder.Name));
    if (folder.FileName)
        r.Fields.push_back(TDbxField::Text(0x03, *folder.FileName));
    else
        r.Fields.push_back(TDbxField::Text(0x06, ""));
    if (folder.IsSpecial) r.Fields.push_back(TDbxField::Direct(0x89, 1));
    return r;
}

TDbxRecord MessageRecord(const TDbxMessage& message) {
    TDbxRecord r;
    r.Fields.push_back(TDbxField::Direct(0x80, static_cast<std::uint32_t>(message.MessageId)));
    if (!message.RawText.empty()) r.Fields.push_back(TDbxField::DataOffset());
    r.Fields.push_back(TDbxField::Text(0x08, message.Subject));
    r.Fields.push_back(TDbxField::Text(0x0D, message.From));
    if (message.Date) r.Fields.push_back(TDbxField::FileTime(0x12, *message.Date));
    r.Fields.push_back(TDbxField::Text(0x13, message.To));
    if (!message.RawText.empty()) r.Text = message.RawText;
    return r;
}

std::uint64_t UnixTimeToFileTime(std::int64_t seconds) {
    return static_cast<std::uint64_t>(seconds + 11644473600LL) * 10'000'000ULL;
}

}  // namespace lumbrook
