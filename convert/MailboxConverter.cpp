#include "convert/MailboxConverter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>

#include "convert/MailboxHeaders.h"

namespace lumbrook {

namespace {

// A subfolder with one of these names would be taken for the Maildir's own parts.
const std::vector<std::string> MaildirParts = {"cur", "new", "tmp"};

// Bounds the search for a free name; reaching it means something else is wrong.
constexpr std::size_t MaxCandidates = 100000;

std::uint64_t hash64(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Renames without ever replacing; falls back to link + unlink where the file system
// lacks RENAME_NOREPLACE. Returns 0 or the errno value.
int moveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

// Whether the file at path holds exactly these bytes.
bool holdsExactly(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st;
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                static_cast<std::uint64_t>(st.st_size) == bytes.size();
    std::size_t pos = 0;
    char chunk[65536];
    while (same && pos < bytes.size()) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, bytes.size() - pos));
        if (n < 0 && errno == EINTR) continue;
        same = n > 0 && std::memcmp(chunk, bytes.data() + pos, static_cast<std::size_t>(n)) == 0;
        pos += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::close(fd);
    return same;
}

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
                  static_cast<unsigned long long>(hash64(message.folderFile)),
                  static_cast<unsigned long long>(message.dataOffset));
    return unique;
}

}  // namespace

MailboxConverter::MailboxConverter(std::string outDir, MailboxOptions options)
    : outDir([&] {
          while (outDir.size() > 1 && outDir.back() == '/') outDir.pop_back();
          if (::mkdir(outDir.c_str(), 0755) != 0 && errno != EEXIST)
              throw ConvertError(systemErrorText("Cannot create the output directory", outDir));
          return outDir;
      }()),
      options(options),
      manifest(this->outDir, options.syncFiles),
      processId(std::to_string(::getpid())) {
    folders.push_back(Folder{std::string(), SiblingNames(options.format == MailboxFormat::Mbox
                                                             ? std::string_view(".sbd")
                                                             : std::string_view())});
}

MailboxConverter::~MailboxConverter() = default;

std::string MailboxConverter::absolute(const std::string& relative) const {
    return outDir + "/" + relative;
}

void MailboxConverter::makeDirectory(const std::string& relative) {
    const std::string path = absolute(relative);
    if (::mkdir(path.c_str(), 0755) == 0) return;
    struct stat st;
    if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    if (errno == EEXIST) throw ConvertError("Cannot create the directory " + path + ": a file is in the way");
    throw ConvertError(systemErrorText("Cannot create the directory", path));
}

MailboxConverter::FolderId MailboxConverter::addFolder(FolderId parent, std::string_view utf8DisplayName) {
    if (parent >= folders.size()) throw ConvertError("No such output folder");
    const std::string name = folders[parent].children.take(utf8DisplayName);
    const std::string& parentPath = folders[parent].path;
    std::string path;
    switch (options.format) {
        case MailboxFormat::Mbox: {
            if (!parentPath.empty()) makeDirectory(parentPath + ".sbd");
            path = parentPath.empty() ? name : parentPath + ".sbd/" + name;
            MboxFile create(absolute(path));  // an empty folder is an empty file
            break;
        }
        case MailboxFormat::Maildir:
            path = parentPath.empty() ? name : parentPath + "/" + name;
            makeDirectory(path);
            for (const auto& part : MaildirParts) makeDirectory(path + "/" + part);
            break;
        case MailboxFormat::Eml:
            path = parentPath.empty() ? name : parentPath + "/" + name;
            makeDirectory(path);
            break;
    }
    folders.push_back(Folder{path, options.format == MailboxFormat::Mbox
                                       ? SiblingNames(".sbd")
                                       : options.format == MailboxFormat::Maildir
                                             ? SiblingNames({}, MaildirParts)
                                             : SiblingNames()});
    return folders.size() - 1;
}

const std::string& MailboxConverter::folderPath(FolderId folder) const {
    if (folder >= folders.size()) throw ConvertError("No such output folder");
    return folders[folder].path;
}

ConvertOutcome MailboxConverter::addMessage(FolderId folder, const MailboxMessage& message,
                                            const std::string& prepared) {
    if (folder == Root || folder >= folders.size()) {
        dropPrepared(prepared);
        throw ConvertError("A message needs an output folder");
    }
    if (recorded(message)) {
        dropPrepared(prepared);
        return ConvertOutcome::AlreadyThere;
    }
    switch (options.format) {
        case MailboxFormat::Mbox: return addMbox(folders[folder], message);
        case MailboxFormat::Maildir: return addMaildir(folders[folder], message, prepared);
        case MailboxFormat::Eml: return addEml(folders[folder], message, prepared);
    }
    return ConvertOutcome::AlreadyThere;
}

bool MailboxConverter::recorded(const MailboxMessage& message) const {
    return manifest.contains(options.format, message.folderFile, message.dataOffset,
                             message.raw.size());
}

std::string MailboxConverter::prepareFile(FolderId folder, const MailboxMessage& message) {
    if (folder == Root || folder >= folders.size() || options.format == MailboxFormat::Mbox)
        throw ConvertError("A message file needs an eml or Maildir folder");
    const std::string& path = folders[folder].path;
    const std::string counter = std::to_string(temporaryCounter++);
    if (options.format == MailboxFormat::Eml)
        return writeTemporary(path + "/.lumbrook-P" + processId + "Q" + counter + ".tmp", message);
    return writeTemporary(
        path + "/tmp/" + maildirUnique(message) + ".P" + processId + "Q" + counter + ".lumbrook",
        message);
}

void MailboxConverter::dropPrepared(const std::string& prepared) {
    if (!prepared.empty()) ::unlink(prepared.c_str());
}

MboxFile& MailboxConverter::mboxFor(const Folder& folder) {
    const std::string path = absolute(folder.path);
    if (openMbox && openMbox->path() == path) return *openMbox;
    if (openMbox && options.syncFiles) openMbox->sync();
    openMbox.reset();
    auto file = std::make_unique<MboxFile>(path);
    if (const auto whole = manifest.mboxSize(folder.path); whole && file->size() > *whole) {
        // The bytes past the last recorded size are a message whose record line was
        // never written: take them off, and the message is written again below.
        // Only if they look like our own append; anything else is not ours to cut.
        char head[6] = {};
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const bool ours = fd >= 0 && ::pread(fd, head, 6, static_cast<off_t>(*whole)) >= 5 &&
                          (std::memcmp(head, "From ", 5) == 0 || std::memcmp(head, "\nFrom ", 6) == 0);
        if (fd >= 0) ::close(fd);
        if (!ours)
            throw ConvertError("The mbox file " + path +
                               " was changed after the last conversion; convert into a new directory");
        file->truncateTo(*whole);
    }
    manifest.recordMboxSize(folder.path, file->size());
    openMbox = std::move(file);
    return *openMbox;
}

ConvertOutcome MailboxConverter::addMbox(const Folder& folder, const MailboxMessage& message) {
    MboxFile& file = mboxFor(folder);
    const auto from = findHeaderField(message.raw, "From");
    file.append(message.raw, from ? envelopeAddress(*from) : std::string("MAILER-DAEMON"),
                messageUnixTime(message.fileTime, message.raw),
                options.mozillaStatus ? std::optional<MessageFlags>(message.flags) : std::nullopt);
    if (options.syncFiles) file.sync();
    manifest.recordMessage(options.format, message.folderFile, message.dataOffset,
                           message.raw.size(), folder.path, file.size());
    return ConvertOutcome::Written;
}

std::string MailboxConverter::writeTemporary(const std::string& relativePath,
                                             const MailboxMessage& message) {
    const std::string path = absolute(relativePath);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw ConvertError(systemErrorText("Cannot create", path));
    std::size_t written = 0;
    bool ok = true;
    while (ok && written < message.raw.size()) {
        const ssize_t n = ::write(fd, message.raw.data() + written, message.raw.size() - written);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    if (ok) {
        if (const auto time = messageTime(message.fileTime, message.raw)) {
            const struct timespec times[2] = {{static_cast<time_t>(*time), 0},
                                              {static_cast<time_t>(*time), 0}};
            ::futimens(fd, times);  // a date the file system cannot hold leaves "now"
        }
        if (options.syncFiles) ok = ::fsync(fd) == 0;
    }
    std::string error = ok ? std::string() : systemErrorText("Cannot write", path);
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = systemErrorText("Cannot write", path);
    }
    if (!ok) {
        ::unlink(path.c_str());
        throw ConvertError(error);
    }
    return path;
}

template <typename NameFor>
ConvertOutcome MailboxConverter::placeFile(const std::string& temporary, const std::string& relativeDir,
                                           const MailboxMessage& message, std::size_t firstCandidate,
                                           std::size_t& usedCandidate, NameFor nameFor) {
    for (std::size_t k = firstCandidate; k < firstCandidate + MaxCandidates; ++k) {
        const std::string relative = relativeDir + "/" + nameFor(k);
        const std::string path = absolute(relative);
        const int error = moveNoReplace(temporary, path);
        if (error == EEXIST) {
            // The same bytes under our name, which the record gives to no message: a
            // run that stopped before its record line. Take it instead of a copy.
            if (!manifest.isDestination(relative) && holdsExactly(path, message.raw)) {
                ::unlink(temporary.c_str());
                manifest.recordMessage(options.format, message.folderFile, message.dataOffset,
                                       message.raw.size(), relative, std::nullopt);
                usedCandidate = k;
                return ConvertOutcome::AlreadyThere;
            }
            continue;
        }
        if (error != 0) {
            errno = error;
            const std::string text = systemErrorText("Cannot move the finished message to", path);
            ::unlink(temporary.c_str());
            throw ConvertError(text);
        }
        manifest.recordMessage(options.format, message.folderFile, message.dataOffset,
                               message.raw.size(), relative, std::nullopt);
        usedCandidate = k;
        return ConvertOutcome::Written;
    }
    ::unlink(temporary.c_str());
    throw ConvertError("No free file name in " + absolute(relativeDir));
}

ConvertOutcome MailboxConverter::addMaildir(const Folder& folder, const MailboxMessage& message,
                                            std::string temporary) {
    const std::string unique = maildirUnique(message);
    const std::string flags = maildirFlags(message.flags);
    if (temporary.empty())
        temporary = writeTemporary(folder.path + "/tmp/" + unique + ".P" + processId + "Q" +
                                       std::to_string(temporaryCounter++) + ".lumbrook",
                                   message);
    std::size_t used = 0;
    return placeFile(temporary, folder.path + "/cur", message, 0, used, [&](std::size_t k) {
        return unique + (k == 0 ? "" : "-" + std::to_string(k)) + ".lumbrook:2," + flags;
    });
}

ConvertOutcome MailboxConverter::addEml(const Folder& folder, const MailboxMessage& message,
                                        std::string temporary) {
    const std::int64_t time = messageUnixTime(message.fileTime, message.raw);
    const std::string full = emlFileStem(time, message.subject, 4);
    if (temporary.empty())
        temporary = writeTemporary(folder.path + "/.lumbrook-P" + processId + "Q" +
                                       std::to_string(temporaryCounter++) + ".tmp",
                                   message);
    // k = 0 is the plain name, k >= 1 the name with "_<k-1>".
    std::size_t& next = nextSuffix[folder.path + "/" + full];
    std::size_t used = 0;
    const ConvertOutcome outcome = placeFile(temporary, folder.path, message, next, used, [&](std::size_t k) {
        if (k == 0) return full + ".eml";
        const std::string suffix = "_" + std::to_string(k - 1);
        return emlFileStem(time, message.subject, 4 + suffix.size()) + suffix + ".eml";
    });
    next = used + 1;
    return outcome;
}

void MailboxConverter::finish() {
    if (openMbox && options.syncFiles) openMbox->sync();
    openMbox.reset();
    manifest.flush();
}

}  // namespace lumbrook
