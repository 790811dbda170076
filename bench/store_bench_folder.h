#pragma once

// Synthetic stores for the benchmarks, the same bytes for the same seed on every
// run and every machine: each message is made from (seed, folder, index) alone, so
// a folder of any size streams to disk without being held in memory.
//
// What a message looks like: mostly 2 to 20 KB of text (plain, quoted-printable
// with 8-bit letters, or an HTML alternative), some with a large base64
// attachment; subjects with 8-bit letters and "Re: " replies to earlier ones,
// dates spread over ten years. The folder files have the multi-level index trees
// (nodes of up to 51 entries) and record entries that Outlook Express writes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dbxwriter/DbxWriter.h"

namespace lumbrook {

struct BenchFolderPlan {
    std::string name;  // display name; the file is Name + ".dbx"
    std::size_t messages = 0;
    // Messages per thousand that carry a large base64 attachment, and the size
    // range of those messages' raw texts.
    unsigned largePerMille = 2;
    std::size_t largeMin = 1'000'000;
    std::size_t largeMax = 10'000'000;
};

struct BenchFolderStats {
    std::string fileName;
    std::size_t messages = 0;
    std::size_t largeMessages = 0;
    std::uint64_t textBytes = 0;  // the raw texts together
    std::uint64_t fileBytes = 0;  // the .dbx file
};

// "NAME:COUNT[:LARGE_PER_MILLE[:MIN_KB-MAX_KB]]", e.g. "Inbox:20000:100:200-1200".
// Throws std::invalid_argument on anything else.
BenchFolderPlan parseBenchFolderPlan(const std::string& text);

// Writes Dir/Folders.dbx (Outlook Express, Local Folders and one folder per plan)
// and every folder file into Dir, which must exist.
std::vector<BenchFolderStats> writeBenchStore(const std::string& dir,
                                               const std::vector<BenchFolderPlan>& folders,
                                               std::uint64_t seed);

// One folder file alone (Folder is its number in the store, part of the seed).
BenchFolderStats writeBenchFolder(const std::string& path, const BenchFolderPlan& plan,
                                   std::uint64_t seed, std::size_t folder = 0);

// The folder of N messages that the store benchmarks default to (no large
// attachments beyond one message in fifty of up to 200 KB); returns the text bytes.
std::uint64_t writeBenchFolder(const std::string& path, std::size_t messages);

// A folder of a few large messages (Size bytes each): the block chains alone,
// without the per-message cost of opening the file.
std::uint64_t writeLargeBenchFolder(const std::string& path, std::size_t messages,
                                    std::size_t size);

// Raw text of message I of a folder, exactly Size bytes when Size is given (0:
// the message's own size). With Attachment, a multipart/mixed message whose
// base64 attachment fills it up.
std::string benchMessageText(std::uint64_t seed, std::size_t folder, std::size_t i,
                             std::size_t size, bool attachment);

}  // namespace lumbrook
