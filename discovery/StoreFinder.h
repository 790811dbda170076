#pragma once

// Finds the Outlook Express stores below a directory: a mounted Windows disk, a
// profile folder, a Wine prefix, any directory. Two sources, merged: the registry
// of each Windows profile found there (its NTUSER.DAT: the identities and where
// each keeps its store) and a scan of the tree for directories holding .dbx files,
// told by their signature. Only reads. No Qt here: the window runs it on a thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumbrook {

struct FoundStore {
    enum class Source { Registry, Scan };

    std::string path;         // the store directory, as found below the root given
    std::string user;         // the Windows profile it belongs to; empty when none
    std::string identity;     // the identity's name; empty when the registry names none
    std::string identityId;   // the identity's GUID, "{...}"; empty when not known
    int codePage = 1252;      // the Windows code page its texts are read in
    std::size_t folders = 0;  // folder files the store holds
    std::size_t messages = 0;
    std::uint64_t bytes = 0;      // of its .dbx files
    std::uint64_t firstDate = 0;  // file times of the oldest and newest message; 0: none
    std::uint64_t lastDate = 0;
    Source source = Source::Scan;
};

struct FindProgress {
    std::uint64_t directories = 0;
    std::uint64_t files = 0;
    std::size_t storesFound = 0;
    std::string directory;  // the one being read
};

// What the registry named that is not there (a store root on another drive, a
// profile whose hive cannot be read): told to the user, not an error.
struct FindNotice {
    std::string user;
    std::string identity;
    std::string text;
};

struct FindResult {
    std::vector<FoundStore> stores;  // by user, identity, path
    std::vector<FindNotice> notices;
    bool cancelled = false;
};

// Finds the stores below each of roots. progress is called now and then from the
// calling thread; cancel, when set, stops the scan (the stores found so far are
// given). Symbolic links are never followed, so nothing outside roots is read.
FindResult findStores(const std::vector<std::string>& roots,
                      const std::function<void(const FindProgress&)>& progress = {},
                      const std::atomic<bool>* cancel = nullptr);

// Where stores of this computer may be: mounted disks (/media, /run/media, /mnt)
// and Wine's drives (~/.wine/drive_c, $WINEPREFIX/drive_c); those that exist.
std::vector<std::string> defaultStoreSearchRoots();

}  // namespace lumbrook
