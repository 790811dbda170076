#pragma once

// Folder-file images in memory for the recovery tests, written block by block in
// the layout Outlook Express uses: a header, live and deleted data block chains,
// and whatever else a test puts between them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumbrook {

class DbxImageBuilder {
public:
    static constexpr std::size_t HeaderSize = 0x24BC;
    static constexpr std::size_t BlockSize = 528;
    static constexpr std::size_t BlockText = 512;

    // A zeroed header with the message folder signature.
    DbxImageBuilder();

    // Appends a message's text as a chain of consecutive blocks; returns its first
    // block's offset. A deleted one joins the free list: the first goes into the
    // header, each later one's first block points back at the one before.
    std::uint64_t addLive(std::string_view text);
    std::uint64_t addDeleted(std::string_view text);

    // Appends room for count blocks (zeros) and returns their offsets.
    std::vector<std::uint64_t> reserveBlocks(std::size_t count);
    // Writes text as a chain through the given slots, in that order (one per 512
    // bytes of text, at least one).
    void writeLiveChain(const std::vector<std::uint64_t>& slots, std::string_view text);
    void writeDeletedChain(const std::vector<std::uint64_t>& slots, std::string_view text);

    // One block with every field given: for blocks that lie about themselves.
    void putLiveBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t used, std::uint32_t next,
                      std::string_view data);
    void putDeletedBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t next,
                         std::uint32_t previous, std::string_view data);

    void appendBytes(std::string_view bytes);
    // Pseudo-random bytes, the same for the same seed.
    void appendGarbage(std::size_t count, std::uint32_t seed);
    void putU32(std::uint64_t pos, std::uint32_t value);

    const std::vector<std::uint8_t>& bytes() const { return image; }
    std::size_t size() const { return image.size(); }

    static std::size_t blocksFor(std::size_t textSize);
    // The text a deleted chain of this text gives back: the first four bytes of
    // every block replaced by "????".
    static std::string deletedTextOf(std::string_view text);

private:
    void ensureSize(std::uint64_t end);

    std::vector<std::uint8_t> image;
    std::uint32_t lastDeletedBlock = 0;
};

}  // namespace lumbrook
