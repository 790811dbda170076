#pragma once

// Stores as they come off old disks, written with the project's writer: folder
// files cut short, with their index root wiped out or their first 64 KB lost, a
// folder list cut or missing, folder files the list does not name, a folder file
// on its own and (for the benchmark) a file of 2.5 GB whose last messages lie past
// 2 GiB where no index can point. Each store says which messages it still holds,
// so that a test or the benchmark can check that all of them come out.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumbrook {

struct DamagedCorpusOptions {
    std::size_t messagesPerFile = 60;
    std::size_t messageBytes = 2000;  // each message's text, about
    // Nonzero: one more store with a folder file of this size (written sparse), its
    // index listing the first messages and hugeMessages more lying past 2 GiB.
    std::uint64_t hugeFileSize = 0;
    std::size_t hugeMessages = 200;
};

struct DamagedStore {
    std::string name;
    std::string path;  // what to open as the store: its directory, or the lone file
    // A line each message the store still holds carries in its text, once.
    std::vector<std::string> markers;
    // The folder files whose index cannot be read whole.
    std::vector<std::string> damagedFiles;
};

// Writes the stores below root (which must exist); throws std::runtime_error when
// a file cannot be written.
std::vector<DamagedStore> writeDamagedCorpus(const std::string& root,
                                             const DamagedCorpusOptions& options = {});

}  // namespace lumbrook
