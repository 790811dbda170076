#pragma once

// The sinks that give every message a file of its own: Maildir and .eml. A
// message is written whole under a temporary name, with its date as the file's
// time, and put in place under the first free name without replacing anything;
// both write ahead (MailboxSink.h).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
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

    // The directory, relative to the output directory, where a message for the
    // folder at folderPath is written before it gets its name.
    virtual std::string temporaryDirectory(const std::string& folderPath) const = 0;

    // The message written whole under a temporary name, returned as a path
    // relative to the output directory; the one given when it was prepared.
    std::string temporaryFile(const std::string& folderPath, const MailboxMessage& message,
                              const std::string& prepared);
    // Moves the finished temporary file to nameFor(k) in relativeDir for
    // k = firstCandidate, ... until one is free; usedCandidate tells which.
    template <typename NameFor>
    ConvertOutcome placeFile(const std::string& temporary, const std::string& relativeDir,
                             const MailboxMessage& message, std::size_t firstCandidate,
                             std::size_t& usedCandidate, NameFor nameFor);

private:
    std::string writeTemporary(const std::string& relativeDir, const MailboxMessage& message);
};

class MaildirSink final : public MessageFileSink {
public:
    MaildirSink(std::string outDir, const MailboxOptions& options);

private:
    std::optional<std::string> makeFolder(const std::string& parentPath,
                                          const std::string& name) override;
    SiblingNames subfolderNames() const override;
    ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                          const std::string& prepared) override;
    std::string temporaryDirectory(const std::string& folderPath) const override;
};

class EmlSink final : public MessageFileSink {
public:
    EmlSink(std::string outDir, const MailboxOptions& options);

private:
    std::optional<std::string> makeFolder(const std::string& parentPath,
                                          const std::string& name) override;
    SiblingNames subfolderNames() const override;
    ConvertOutcome addNew(const std::string& folderPath, const MailboxMessage& message,
                          const std::string& prepared) override;
    std::string temporaryDirectory(const std::string& folderPath) const override;

    // The next "_k" to try per directory and name, so that many messages with one
    // subject and minute do not test every taken name again.
    std::map<std::string, std::size_t> nextSuffix;
};

}  // namespace lumbrook
