#pragma once

// Folder-file images in memory for the recovery tests, written block by block in
// the layout Outlook Express uses: a header, live and deleted data block chains,
// and whatever else a test puts between them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/DbxLayout.h"

namespace lumbrook {

class DbxImageBuilder {
public:
    static constexpr std::size_t BlockSize = dbx::BlockSize;

    // A zeroed header of 0x24BC bytes with the message folder signature.
    DbxImageBuilder();
    // Goes on after a file written elsewhere (by DbxWriter, say): blocks are appended
    // after its last byte, a deleted chain's first block goes into its header.
    explicit DbxImageBuilder(std::vector<std::uint8_t> start);

    // Appends a message's text as a chain of consecutive blocks; returns its first
    // block's offset. A deleted one joins the free list: the first one goes into
    // the header, each later one's first block points back at the one before.
    std::uint64_t addLive(std::string_view text);
    std::uint64_t addDeleted(std::string_view text);

    // Appends room for count blocks (zeros), 4-aligned, and returns their offsets.
    std::vector<std::uint64_t> reserveBlocks(std::size_t count);
    // One block with every field given: for blocks that lie about themselves.
    void putLiveBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t used, std::uint32_t next,
                      std::string_view data);
    void putDeletedBlock(std::uint64_t pos, std::uint32_t self, std::uint32_t next,
                         std::uint32_t previous, std::string_view data);
    void putU32(std::uint64_t pos, std::uint32_t value);
    // Pseudo-random bytes, the same for the same seed.
    void appendGarbage(std::size_t count, std::uint32_t seed);

    const std::vector<std::uint8_t>& bytes() const { return image; }
    std::size_t size() const { return image.size(); }

    // The text a deleted chain of this text gives back: the first four bytes of
    // every block replaced by "????".
    static std::string deletedTextOf(std::string_view text);

private:
    std::vector<std::uint64_t> addChain(std::string_view text, bool deleted);

    std::vector<std::uint8_t> image;
    std::uint32_t lastDeletedBlock = 0;
};

}  // namespace lumbrook
