#include "tests/support/DbxImageBuilder.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lumbrook {

namespace {

using namespace dbx;

std::size_t blocksFor(std::size_t textSize) {
    return std::max<std::size_t>(1, (textSize + BlockTextSize - 1) / BlockTextSize);
}

std::string_view piece(std::string_view text, std::size_t block) {
    return text.substr(std::min(text.size(), block * BlockTextSize), BlockTextSize);
}

}  // namespace

DbxImageBuilder::DbxImageBuilder() : image(FileHeaderSize, 0) {
    putU32(SignatureAt, Signature);
    putU32(FileKindAt, MessageFileKind);
}

DbxImageBuilder::DbxImageBuilder(std::vector<std::uint8_t> start) : image(std::move(start)) {}

void DbxImageBuilder::putU32(std::uint64_t pos, std::uint32_t value) {
    if (image.size() < pos + 4) image.resize(pos + 4, 0);
    for (int i = 0; i < 4; ++i) image[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint64_t> DbxImageBuilder::reserveBlocks(std::size_t count) {
    std::vector<std::uint64_t> slots;
    std::uint64_t pos = (image.size() + 3) & ~std::uint64_t{3};
    for (std::size_t i = 0; i < count; ++i, pos += BlockSize) slots.push_back(pos);
    image.resize(pos, 0);
    return slots;
}

void DbxImageBuilder::putLiveBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t used,
                                   std::uint32_t next, std::string_view data) {
    if (image.size() < pos + BlockSize) image.resize(pos + BlockSize, 0);
    std::memcpy(image.data() + pos + BlockHeaderSize, data.data(),
                std::min<std::size_t>(data.size(), BlockTextSize));
    putU32(pos + BlockSelfAt, self);
    putU32(pos + BlockMarkAt, LiveMark);
    putU32(pos + BlockUsedAt, used);
    putU32(pos + BlockNextAt, next);
}

void DbxImageBuilder::putDeletedBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t next,
                                      std::uint32_t previous, std::string_view data) {
    putLiveBlock(pos, self, DeletedSizeField, next, data);
    putU32(pos + BlockMarkAt, DeletedMark);
    putU32(pos + DeletedPreviousAt, previous);  // over the first four text bytes
}

std::vector<std::uint64_t> DbxImageBuilder::addChain(std::string_view text, bool deleted) {
    const auto slots = reserveBlocks(blocksFor(text.size()));
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const auto self = static_cast<std::uint32_t>(slots[i]);
        const auto next = i + 1 < slots.size() ? static_cast<std::uint32_t>(slots[i + 1]) : 0u;
        const std::string_view data = piece(text, i);
        if (!deleted) {
            putLiveBlock(slots[i], self, static_cast<std::uint32_t>(std::max<std::size_t>(data.size(), 1)),
                         next, data);
        } else {
            const auto previous = i > 0 ? static_cast<std::uint32_t>(slots[i - 1]) : lastDeletedBlock;
            putDeletedBlock(slots[i], self, next, previous, data);
        }
    }
    return slots;
}

std::uint64_t DbxImageBuilder::addLive(std::string_view text) { return addChain(text, false).front(); }

std::uint64_t DbxImageBuilder::addDeleted(std::string_view text) {
    const auto slots = addChain(text, true);
    if (lastDeletedBlock == 0) putU32(FreeListHeadAt, static_cast<std::uint32_t>(slots.front()));
    lastDeletedBlock = static_cast<std::uint32_t>(slots.back());
    return slots.front();
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
    for (std::size_t i = 0; i < blocksFor(text.size()); ++i)
        out.append("????").append(piece(text, i).substr(std::min<std::size_t>(4, piece(text, i).size())));
    return out;
}

}  // namespace lumbrook
