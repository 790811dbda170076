#pragma once

// The sinks that give every message a file of its own: Maildir and .eml. A
// message is written whole under a temporary name, with its date as the file's
// time, and put in place under the first free name without replacing anything;
// both write ahead (MailboxSink.h).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "convert/DirectorySink.h"

namespace lumbrook {

class MessageFileSink : public DirectorySink {
public:
    bool writesAhead() const override { return true; }
    std::string prepare(FolderId folder, const MailboxMessage& message) override;
    void dropPrepared(const std::string& prepared) override;

protected:
    MessageFileSink(std::string outDir, MailboxFormat format, const MailboxOptions& options);

    // The temporary name, relative to the output directory, of a message for the
    // folder at folderPath; tag makes it this run's own.
    virtual std::string temporaryName(const std::string& folderPath, const MailboxMessage& message,
                                      const std::string& tag) const = 0;

    // The message written whole under a temporary name, returned as a full path;
    // the one given when it was prepared.
    std::string temporaryFile(const std::string& folderPath, const MailboxMessage& message,
                              const std::string& prepared);
    // Moves the finished temporary file to nameFor(k) in relativeDir for
    // k = firstCandidate, ... until one is free; usedCandidate tells which.
    template <typename NameFor>
    ConvertOutcome placeFile(const std::string& temporary, const std::string& relativeDir,
                             const MailboxMessage& message, std::size_t firstCandidate,
                             std::size_t& usedCandidate, NameFor nameFor);

private:
    std::string writeTemporary(const std::string& relativePath, const MailboxMessage& message);

    std::string processId;  // in temporary names
    std::atomic<std::uint64_t> temporaryCounter{0};
};

class MaildirSink final : public MessageFileSink {
public:
    MaildirSink(std::string outDir, const MailboxOptions& options);

private:
    std::string makeFolder(const std::string& parentPath, const std::string& name) override;
    SiblingNames subfolderNames() const override;
    ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                          const std::string& prepared) override;
    std::string temporaryName(const std::string& folderPath, const MailboxMessage& message,
                              const std::string& tag) const override;
};

class EmlSink final : public MessageFileSink {
public:
    EmlSink(std::string outDir, const MailboxOptions& options);

private:
    std::string makeFolder(const std::string& parentPath, const std::string& name) override;
    SiblingNames subfolderNames() const override;
    ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                          const std::string& prepared) override;
    std::string temporaryName(const std::string& folderPath, const MailboxMessage& message,
                              const std::string& tag) const override;

    // The next "_k" to try per directory and name, so that many messages with one
    // subject and minute do not test every taken name again.
    std::map<std::string, std::size_t> nextSuffix;
};

}  // namespace lumbrook
