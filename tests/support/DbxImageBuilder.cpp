#include "tests/support/DbxImageBuilder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace lumbrook {

DbxImageBuilder::DbxImageBuilder() : image(HeaderSize, 0) {
    // The signature of a message folder file.
    putU32(0, 0xFE12ADCF);
    putU32(4, 0x6F74FDC5);
}

void DbxImageBuilder::ensureSize(std::uint64_t end) {
    if (image.size() < end) image.resize(end, 0);
}

void DbxImageBuilder::putU32(std::uint64_t pos, std::uint32_t value) {
    ensureSize(pos + 4);
    for (int i = 0; i < 4; ++i) image[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t DbxImageBuilder::blocksFor(std::size_t textSize) {
    return std::max<std::size_t>(1, (textSize + BlockText - 1) / BlockText);
}

std::vector<std::uint64_t> DbxImageBuilder::reserveBlocks(std::size_t count) {
    ensureSize((image.size() + 3) & ~std::size_t{3});
    std::vector<std::uint64_t> slots;
    for (std::size_t i = 0; i < count; ++i) {
        slots.push_back(image.size());
        ensureSize(image.size() + BlockSize);
    }
    return slots;
}

void DbxImageBuilder::putLiveBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t used,
                                   std::uint32_t next, std::string_view data) {
    ensureSize(pos + BlockSize);
    putU32(pos, self);
    putU32(pos + 4, 0x200);
    putU32(pos + 8, used);
    putU32(pos + 12, next);
    std::memcpy(image.data() + pos + 16, data.data(), std::min(data.size(), BlockText));
}

void DbxImageBuilder::putDeletedBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t next,
                                      std::uint32_t previous, std::string_view data) {
    ensureSize(pos + BlockSize);
    std::memcpy(image.data() + pos + 16, data.data(), std::min(data.size(), BlockText));
    putU32(pos, self);
    putU32(pos + 4, 0x1FC);
    putU32(pos + 8, 0x210);
    putU32(pos + 12, next);
    putU32(pos + 16, previous);  // over the first four text bytes
}

void DbxImageBuilder::writeLiveChain(const std::vector<std::uint64_t>& slots, std::string_view text) {
    if (slots.size() != blocksFor(text.size())) throw std::logic_error("wrong number of slots");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const std::string_view piece = text.substr(std::min(text.size(), i * BlockText), BlockText);
        const auto next = i + 1 < slots.size() ? static_cast<std::uint32_t>(slots[i + 1]) : 0u;
        putLiveBlock(slots[i], static_cast<std::uint32_t>(slots[i]),
                     static_cast<std::uint32_t>(std::max<std::size_t>(piece.size(), 1)), next, piece);
    }
}

void DbxImageBuilder::writeDeletedChain(const std::vector<std::uint64_t>& slots, std::string_view text) {
    if (slots.size() != blocksFor(text.size())) throw std::logic_error("wrong number of slots");
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const std::string_view piece = text.substr(std::min(text.size(), i * BlockText), BlockText);
        const auto next = i + 1 < slots.size() ? static_cast<std::uint32_t>(slots[i + 1]) : 0u;
        const auto previous = i > 0 ? static_cast<std::uint32_t>(slots[i - 1]) : lastDeletedBlock;
        putDeletedBlock(slots[i], static_cast<std::uint32_t>(slots[i]), next, previous, piece);
    }
    if (lastDeletedBlock == 0) putU32(0x48, static_cast<std::uint32_t>(slots.front()));
    lastDeletedBlock = static_cast<std::uint32_t>(slots.back());
}

std::uint64_t DbxImageBuilder::addLive(std::string_view text) {
    const auto slots = reserveBlocks(blocksFor(text.size()));
    writeLiveChain(slots, text);
    return slots.front();
}

std::uint64_t DbxImageBuilder::addDeleted(std::string_view text) {
    const auto slots = reserveBlocks(blocksFor(text.size()));
    writeDeletedChain(slots, text);
    return slots.front();
}

void DbxImageBuilder::appendBytes(std::string_view bytes) {
    image.insert(image.end(), bytes.begin(), bytes.end());
}

void DbxImageBuilder::appendGarbage(std::size_t count, std::uint32_t seed) {
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image.push_back(static_cast<std::uint8_t>(state >> 11));
    }
}

std::string DbxImageBuilder::deletedTextOf(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < blocksFor(text.size()); ++i) {
        const std::string_view piece = text.substr(std::min(text.size(), i * BlockText), BlockText);
        out += "????";
        out += piece.substr(std::min<std::size_t>(4, piece.size()));
    }
    return out;
}

}  // namespace lumbrook
