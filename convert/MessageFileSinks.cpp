#include "convert/MessageFileSinks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/Fnv.h"
#include "mime/HeaderFields.h"
#include "platform/DestinationDirectory.h"
#include "platform/FileWriter.h"

namespace lumbrook {

namespace {

// A subfolder with one of these names would be taken for the Maildir's own parts.
const std::vector<std::string> MaildirParts = {"cur", "new", "tmp"};

// Bounds the search for a free name; reaching it means something else is wrong.
constexpr std::size_t MaxCandidates = 100000;

std::string maildirFlags(const MessageFlags& flags) {
    std::string out;  // in ASCII order, as Maildir readers expect
    if (flags.flagged) out += 'F';
    if (flags.forwarded) out += 'P';
    if (flags.replied) out += 'R';
    if (flags.read) out += 'S';
    return out;
}

// The same message gets the same name on every run, so a run that stopped
// between moving the file and recording it finds its own file again.
std::string maildirUnique(const MailboxMessage& message) {
    const std::int64_t time =
        std::max<std::int64_t>(0, messageUnixTime(message.fileTime, message.raw));
    char unique[64];
    std::snprintf(unique, sizeof unique, "%lld.L%016llx_%llu", static_cast<long long>(time),
                  static_cast<unsigned long long>(fnv1a64(message.folderFile)),
                  static_cast<unsigned long long>(message.dataOffset));
    return unique;
}

std::string childPath(const std::string& parentPath, const std::string& name) {
    return parentPath.empty() ? name : parentPath + "/" + name;
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

MessageFileSink::MessageFileSink(std::string outDir, MailboxFormat format,
                                 const MailboxOptions& options)
    : DirectorySink(std::move(outDir), format, options, SiblingNames()) {}

std::string MessageFileSink::prepare(FolderId folder, const MailboxMessage& message) {
    const std::string* path = messageFolderPath(folder);
    if (!path) throw ConvertError("A message file needs an eml or Maildir folder");
    return temporaryFile(*path, message, {});
}

void MessageFileSink::dropPrepared(const std::string& prepared) {
    if (prepared.empty()) return;
    const auto [dir, name] = splitPath(prepared);
    try {
        directory(dir).remove(name);
    } catch (const ConvertError&) {
    }
}

std::string MessageFileSink::temporaryFile(const std::string& folderPath,
                                           const MailboxMessage& message,
                                           const std::string& prepared) {
    if (!prepared.empty()) return prepared;
    return writeTemporary(temporaryDirectory(folderPath), message);
}

std::string MessageFileSink::writeTemporary(const std::string& relativeDir,
                                            const MailboxMessage& message) {
    const DestinationDirectory& dir = directory(relativeDir);
    std::string name;
    const int fd = dir.createTemporary(name);
    if (fd < 0) throw ConvertError(systemErrorText("Cannot create a file in", dir.path()));
    bool stopped = false;  // a conversion stops between messages, never inside one
    bool ok = writeAll(fd, message.raw, false, stopped);
    if (ok) {
        if (const auto time = messageTime(message.fileTime, message.raw)) {
            const struct timespec times[2] = {{static_cast<time_t>(*time), 0},
                                              {static_cast<time_t>(*time), 0}};
            ::futimens(fd, times);  // a date the file system cannot hold leaves "now"
        }
        if (options.syncFiles) ok = ::fsync(fd) == 0;
    }
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        dir.remove(name);
        errno = error;
        const std::string text = systemErrorText("Cannot write a message into", dir.path());
        if (error == ENOSPC || error == EDQUOT) throw DestinationFullError(text);
        throw ConvertError(text);
    }
    testKillPoint();
    return relativeDir + "/" + name;
}

template <typename NameFor>
ConvertOutcome MessageFileSink::placeFile(const std::string& temporary,
                                          const std::string& relativeDir,
                                          const MailboxMessage& message,
                                          std::size_t firstCandidate, std::size_t& usedCandidate,
                                          NameFor nameFor) {
    // The data is its own record here: a message's name is found again from its
    // date and subject (eml) or its place in the store (Maildir), and a file under
    // it with exactly its bytes that the record gives to no message is one a run
    // put in place before its record line was written (killed, or the record lost,
    // cut or older). Taking it instead of a copy is what keeps a resume from
    // doubling; the record's lines can then be gathered and written in batches.
    const auto [temporaryDir, temporaryName] = splitPath(temporary);
    const DestinationDirectory& from = directory(temporaryDir);
    const DestinationDirectory& dir = directory(relativeDir);
    for (std::size_t k = firstCandidate; k < firstCandidate + MaxCandidates; ++k) {
        const std::string name = nameFor(k);
        const std::string relative = relativeDir + "/" + name;
        const int error = dir.placeNewFrom(from, temporaryName, name);
        if (error == EEXIST) {
            if (!manifest.isDestination(relative) && holdsExactly(dir, name, message.raw)) {
                from.remove(temporaryName);
                recordMessage(message, relative, std::nullopt);
                usedCandidate = k;
                return ConvertOutcome::AlreadyThere;
            }
            continue;
        }
        if (error != 0) {
            errno = error;
            const std::string text = systemErrorText("Cannot move the finished message to", dir.pathOf(name));
            from.remove(temporaryName);
            throw ConvertError(text);
        }
        testKillPoint();
        recordMessage(message, relative, std::nullopt);
        usedCandidate = k;
        return ConvertOutcome::Written;
    }
    from.remove(temporaryName);
    throw ConvertError("No free file name in " + absolute(relativeDir));
}

MaildirSink::MaildirSink(std::string outDir, const MailboxOptions& options)
    : MessageFileSink(std::move(outDir), MailboxFormat::Maildir, options) {}

SiblingNames MaildirSink::subfolderNames() const {
    return SiblingNames({}, MaildirParts);
}

std::optional<std::string> MaildirSink::makeFolder(const std::string& parentPath,
                                                   const std::string& name) {
    const std::string path = childPath(parentPath, name);
    makeDirectory(path);
    for (const auto& part : MaildirParts) makeDirectory(path + "/" + part);
    return path;
}

std::string MaildirSink::temporaryDirectory(const std::string& folderPath) const {
    return folderPath + "/tmp";
}

ConvertOutcome MaildirSink::addNew(const std::string& folderPath, const MailboxMessage& message,
                                   const std::string& prepared) {
    const std::string unique = maildirUnique(message);
    const std::string flags = maildirFlags(message.flags);
    const std::string temporary = temporaryFile(folderPath, message, prepared);
    std::size_t used = 0;
    return placeFile(temporary, folderPath + "/cur", message, 0, used, [&](std::size_t k) {
        return unique + (k == 0 ? "" : "-" + std::to_string(k)) + ".lumbrook:2," + flags;
    });
}

EmlSink::EmlSink(std::string outDir, const MailboxOptions& options)
    : MessageFileSink(std::move(outDir), MailboxFormat::Eml, options) {}

SiblingNames EmlSink::subfolderNames() const {
    return SiblingNames();
}

std::optional<std::string> EmlSink::makeFolder(const std::string& parentPath,
                                               const std::string& name) {
    const std::string path = childPath(parentPath, name);
    makeDirectory(path);
    return path;
}

std::string EmlSink::temporaryDirectory(const std::string& folderPath) const {
    return folderPath;
}

ConvertOutcome EmlSink::addNew(const std::string& folderPath, const MailboxMessage& message,
                               const std::string& prepared) {
    const std::int64_t time = messageUnixTime(message.fileTime, message.raw);
    const std::string full = emlFileStem(time, message.subject, 4);
    const std::string temporary = temporaryFile(folderPath, message, prepared);
    // k = 0 is the plain name, k >= 1 the name with "_<k-1>". Only names that were
    // taken are remembered: a name of this run given once is found taken by the
    // record at the next try, which costs one rename; keeping every name cost more
    // memory than anything else of a big conversion.
    std::string key = folderPath + "/" + full;
    const auto known = nextSuffix.find(key);
    const std::size_t first = known == nextSuffix.end() ? 0 : known->second;
    std::size_t used = 0;
    const ConvertOutcome outcome =
        placeFile(temporary, folderPath, message, first, used, [&](std::size_t k) {
            if (k == 0) return full + ".eml";
            const std::string suffix = "_" + std::to_string(k - 1);
            return emlFileStem(time, message.subject, 4 + suffix.size()) + suffix + ".eml";
        });
    if (known != nextSuffix.end()) known->second = used + 1;
    else if (used > 0) nextSuffix.emplace(std::move(key), used + 1);
    return outcome;
}

}  // namespace lumbrook
