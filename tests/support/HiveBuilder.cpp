#include "HiveBuilder.h"

#include <hivex.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace lumbrook::test {

namespace {

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = v >> 8;
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// The smallest hive libhivex opens: the base block, one 4 KB bin holding the root
// key, its security cell, and the bin's free rest.
std::vector<std::uint8_t> emptyHive() {
    constexpr std::size_t BinAt = 0x1000, CellsAt = 0x20;  // cells follow the bin header
    constexpr std::size_t RootCell = CellsAt, RootCellSize = 0x58;
    constexpr std::size_t SecurityCell = RootCell + RootCellSize, SecurityCellSize = 0x30;
    std::vector<std::uint8_t> b(0x2000, 0);
    std::memcpy(&b[0], "regf", 4);
    put32(b, 0x04, 1);  // sequence numbers, equal: the hive was written whole
    put32(b, 0x08, 1);
    put32(b, 0x14, 1);  // version 1.3
    put32(b, 0x18, 3);
    put32(b, 0x20, 1);
    put32(b, 0x24, RootCell);
    put32(b, 0x28, 0x1000);
    put32(b, 0x2C, 1);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x1FC; i += 4)
        sum ^= std::uint32_t(b[i]) | std::uint32_t(b[i + 1]) << 8 | std::uint32_t(b[i + 2]) << 16 |
               std::uint32_t(b[i + 3]) << 24;
    put32(b, 0x1FC, sum);

    std::memcpy(&b[BinAt], "hbin", 4);
    put32(b, BinAt + 4, 0);
    put32(b, BinAt + 8, 0x1000);

    const std::size_t nk = BinAt + RootCell;
    put32(b, nk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(RootCellSize)));
    std::memcpy(&b[nk + 4], "nk", 2);
    put16(b, nk + 6, 0x2C);           // root, not to be deleted, ASCII name
    put32(b, nk + 0x14, 0xFFFFFFFF);  // parent
    put32(b, nk + 0x20, 0xFFFFFFFF);  // subkey lists
    put32(b, nk + 0x24, 0xFFFFFFFF);
    put32(b, nk + 0x2C, 0xFFFFFFFF);  // value list
    put32(b, nk + 0x30, SecurityCell);
    put32(b, nk + 0x34, 0xFFFFFFFF);  // class name
    put16(b, nk + 0x4C, 4);
    std::memcpy(&b[nk + 0x50], "ROOT", 4);

    const std::size_t sk = BinAt + SecurityCell;
    put32(b, sk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(SecurityCellSize)));
    std::memcpy(&b[sk + 4], "sk", 2);
    put32(b, sk + 8, SecurityCell);  // a ring of one
    put32(b, sk + 12, SecurityCell);
    put32(b, sk + 16, 1);   // references
    put32(b, sk + 20, 20);  // a self-relative descriptor with nothing in it
    b[sk + 24] = 1;
    put16(b, sk + 26, 0x8000);

    const std::size_t freeCell = SecurityCell + SecurityCellSize;
    put32(b, BinAt + freeCell, static_cast<std::uint32_t>(0x1000 - freeCell));
    return b;
}

hive_node_h keyAt(hive_h* h, const std::string& path) {
    hive_node_h node = hivex_root(h);
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        hive_node_h child = hivex_node_get_child(h, node, part.c_str());
        if (!child) child = hivex_node_add_child(h, node, part.c_str());
        if (!child) throw std::runtime_error("hivex cannot add key " + part);
        node = child;
    }
    return node;
}

std::string utf16Le(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        char32_t cp;
        int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < len && i + k < utf8.size(); ++k) cp = cp << 6 | (utf8[i + k] & 0x3F);
        i += len;
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>((cp >> 8) & 0xFF);
    }
    return out + std::string(2, '\0');
}

}  // namespace

void writeHive(const std::string& path, const std::vector<HiveKey>& keys) {
    const std::string empty = path + ".empty";
    {
        const auto bytes = emptyHive();
        std::ofstream out(empty, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    hive_h* h = hivex_open(empty.c_str(), HIVEX_OPEN_WRITE);
    if (!h) throw std::runtime_error("hivex cannot open the empty hive");
    for (const HiveKey& key : keys) {
        const hive_node_h node = keyAt(h, key.path);
        std::vector<std::string> data;
        data.reserve(key.values.size());
        std::vector<hive_set_value> values;
        for (const HiveValue& v : key.values) {
            if (v.kind == HiveValue::Dword) {
                std::string d(4, '\0');
                for (int i = 0; i < 4; ++i) d[i] = static_cast<char>((v.dword >> (8 * i)) & 0xFF);
                data.push_back(d);
            } else {
                data.push_back(utf16Le(v.text));
            }
            values.push_back({const_cast<char*>(v.name.c_str()),
                              v.kind == HiveValue::Dword          ? hive_t_REG_DWORD
                              : v.kind == HiveValue::ExpandString ? hive_t_REG_EXPAND_SZ
                                                                  : hive_t_REG_SZ,
                              data.back().size(), data.back().data()});
        }
        if (hivex_node_set_values(h, node, values.size(), values.data(), 0) != 0)
            throw std::runtime_error("hivex cannot set the values of " + key.path);
    }
    const int committed = hivex_commit(h, path.c_str(), 0);
    hivex_close(h);
    std::remove(empty.c_str());
    if (committed != 0) throw std::runtime_error("hivex cannot write " + path);
}

}  // namespace lumbrook::test
