#pragma once

// What was uploaded to one account, kept in the user's state directory
// ($XDG_STATE_HOME/lumbrook/upload/, else ~/.local/state/lumbrook/upload/), so that a
// second run uploads only what is new and an interrupted run goes on where it
// stopped. One file per account; one line per message the server took, keyed as a
// conversion keys its messages (the folder file, the message's data offset and its
// size) plus the store's directory, as one account may take several stores. Lines
// end with "#" and a checksum, so that a line cut off by a crash is recognised and
// ignored (that message is then found on the server by its Message-ID).
//
// Before a batch is sent, its messages are written as in flight; a message still in
// flight when a run starts was sent by a run that ended without its answer (killed,
// say). The server may still be storing what that run sent before it died, so such
// a message is looked up by its Message-ID last, after the rest of its folder.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace lumbrook {

class UploadRecord {
public:
    // The record's directory for this environment.
    static std::string defaultDirectory();

    // Opens (or makes) the account's record in directory, locked against a second
    // upload to the same account. Throws UploadError (Record).
    UploadRecord(const std::string& directory, std::string_view accountName, std::string storeDir);
    ~UploadRecord();
    UploadRecord(const UploadRecord&) = delete;
    UploadRecord& operator=(const UploadRecord&) = delete;

    bool contains(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) const;
    // Sent by an earlier run that never heard whether the server took it.
    bool wasInFlight(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) const;
    // Written out at once: the message is about to be sent.
    void addInFlight(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size);
    // Gathered; written by flush (the upload flushes after each batch of answers).
    void add(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size,
             std::string_view mailbox);
    void flush();

    const std::string& path() const { return filePath; }
    std::size_t ignoredLines() const { return ignored; }

private:
    std::string key(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) const;

    std::string filePath;
    std::string storeDir;
    int fd = -1;
    std::string pending;
    std::size_t ignored = 0;
    std::unordered_set<std::string> done;
    std::unordered_set<std::string> inFlight;  // of earlier runs, without their answer
};

}  // namespace lumbrook
