#pragma once

// The synthetic folder the store benchmarks read: N messages of mostly 2 to 20 KB,
// the same bytes on every run (each message is made from its index alone).

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/support/DbxWriter.h"

namespace lumbrook {

// Writes the folder file; returns the total size of the raw texts.
std::uint64_t WriteBenchFolder(const std::string& path, std::size_t messages);

// A folder of a few large messages (Size bytes each): the block chains alone,
// without the per-message cost of opening the file.
std::uint64_t WriteLargeBenchFolder(const std::string& path, std::size_t messages,
                                    std::size_t size);

// Message i's raw text.
std::string BenchMessageText(std::size_t i, std::size_t size = 0);

}  // namespace lumbrook
