#pragma once

// What the fuzz targets share: a private scratch directory for the files a target
// must put on disk (the page pipeline writes files), and a way to stop on a
// broken promise that works with and without libFuzzer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumbrook::fuzz {

// A directory of this process's own, ending with a separator, made on first use
// on /dev/shm (or the system's temporary directory) and removed at exit.
const std::string& scratchDir();

// Creates or replaces Path with exactly these bytes; aborts when it cannot.
void writeScratchFile(const std::string& path, std::string_view bytes);

// Removes everything below Dir (Dir itself stays).
void clearDirectory(const std::string& dir);

// Every entry below Dir, as paths relative to it, sorted, one per line; directories
// end in "/", control characters and backslashes are written as \xNN.
std::string listTree(const std::string& dir);

// Aborts with the message: the fuzzer keeps the input that broke the promise.
[[noreturn]] void broken(std::string_view what);

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string_view()
                     : std::string_view(reinterpret_cast<const char*>(data), size);
}

}  // namespace lumbrook::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
