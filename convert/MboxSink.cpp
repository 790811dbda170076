#include "convert/MboxSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <optional>

#include "base/Fnv.h"
#include "mime/HeaderFields.h"

namespace lumbrook {

namespace {

std::uint64_t textHash(std::string_view text) {
    return fnv1a64(text) ^ text.size();
}

bool readAt(int fd, std::string& out, std::uint64_t offset, std::size_t size) {
    out.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::uint64_t> tailHashAt(int fd, std::uint64_t end) {
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(end, TailBytes));
    std::string bytes;
    if (!readAt(fd, bytes, end - size, size)) return std::nullopt;
    return tailHash(bytes);
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

MboxSink::MboxSink(std::string outDir, const MailboxOptions& options)
    : DirectorySink(std::move(outDir), MailboxFormat::Mbox, options, SiblingNames(".sbd")) {}

SiblingNames MboxSink::subfolderNames() const {
    return SiblingNames(".sbd");
}

void MboxSink::collectPresent(int fd, std::uint64_t offset, const std::string& folderPath) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) <= offset) return;
    std::string bytes;
    if (!readAt(fd, bytes, offset, static_cast<std::size_t>(st.st_size - offset))) return;
    auto& found = present[folderPath];
    for (const auto& entry : readMboxrd(bytes, true)) ++found[textHash(entry.message)];
}

void MboxSink::collectPresentAt(const std::string& relativePath, const std::string& folderPath) {
    const auto [dirPath, name] = splitPath(relativePath);
    try {
        // Only looked at, never created: a missing directory ends the look.
        const DestinationDirectory* dir = &directory(std::string());
        std::optional<DestinationDirectory> walked;
        std::size_t start = 0;
        while (!dirPath.empty() && start <= dirPath.size()) {
            const std::size_t slash = dirPath.find('/', start);
            const std::size_t end = slash == std::string::npos ? dirPath.size() : slash;
            walked = dir->subdirectory(dirPath.substr(start, end - start), false);
            dir = &*walked;
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        const int fd = dir->openFile(name, O_RDONLY);
        if (fd < 0) return;
        collectPresent(fd, 0, folderPath);
        ::close(fd);
    } catch (const LumbrookError&) {
        // Not there, or a link: nothing found.
    }
}

std::optional<std::string> MboxSink::makeFolder(const std::string& parentPath, const std::string& name) {
    const std::string dirPath = parentPath.empty() ? std::string() : parentPath + ".sbd";
    const DestinationDirectory& dir = directory(dirPath);
    const std::string path = dirPath.empty() ? name : dirPath + "/" + name;
    const auto state = manifest.mboxState(path);
    int fd = -1;
    try {
        if (!state) {
            struct stat st;
            if (::fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(st.st_mode)) throw LinkInDestinationError(dir.pathOf(name));
                // Someone else's file (or ours from a run whose record is gone):
                // never appended to. What it holds of this folder is not written again.
                notices.push_back(dir.pathOf(name) +
                                  " was not written by a conversion into this directory; it is left as "
                                  "it is, and the folder goes under the next free name");
                if (!divertedFrom) divertedFrom = path;
                return std::nullopt;
            }
            // The record first: a file the record does not know would be someone else's.
            manifest.recordMboxState(path, 0, tailHash({}));
            fd = dir.openFile(name, O_RDWR | O_CREAT | O_EXCL | O_APPEND);
            if (fd < 0) throw ConvertError(systemErrorText("Cannot create the mbox file", dir.pathOf(name)));
        } else {
            fd = dir.openFile(name, O_RDWR | O_APPEND);
            if (fd < 0 && errno == ENOENT) {
                manifest.recordMboxState(path, 0, tailHash({}));
                fd = dir.openFile(name, O_RDWR | O_CREAT | O_EXCL | O_APPEND);
            }
            if (fd < 0) throw ConvertError(systemErrorText("Cannot open the mbox file", dir.pathOf(name)));
            if (!resumeFile(fd, path, *state)) {
                ::close(fd);
                notices.push_back(dir.pathOf(name) +
                                  " was changed since the last conversion; it is left as it is, and "
                                  "the folder goes under the next free name");
                if (!divertedFrom) divertedFrom = path;
                return std::nullopt;
            }
        }
    } catch (const LinkInDestinationError& e) {
        if (fd >= 0) ::close(fd);
        throw ConvertError(destinationErrorText(e));
    }
    ::close(fd);
    // The messages where the folder would have been, when it went to another name
    // here or a folder above it did.
    std::optional<std::string> shadow;
    if (divertedFrom) shadow = std::exchange(divertedFrom, std::nullopt);
    else if (const auto above = shadows.find(parentPath); above != shadows.end())
        shadow = above->second + ".sbd/" + name;
    if (shadow) {
        shadows[path] = *shadow;
        collectPresentAt(*shadow, path);
    }
    return path;
}

bool MboxSink::resumeFile(int fd, const std::string& path, const MboxState& state) {
    struct stat st;
    if (::fstat(fd, &st) != 0) throw ConvertError(systemErrorText("Cannot read the mbox file", absolute(path)));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t end = state.end;
    std::optional<std::uint64_t> hash = state.tailHash;
    bool appendFinished = false;
    if (state.pending && size >= state.pending->end &&
        tailHashAt(fd, state.pending->end) == state.pending->tailHash) {
        manifest.appendDone(path, true);
        end = state.pending->end;
        hash = state.pending->tailHash;
        appendFinished = true;
    }
    if (size < end || (hash && tailHashAt(fd, end) != *hash)) return false;
    if (size > end) {
        // Ours to take off only when it is the start of the append the record says
        // began here and never finished: it begins with our "From " line.
        std::string head;
        const bool ours = state.pending && !appendFinished && size < state.pending->end &&
                          readAt(fd, head, end, static_cast<std::size_t>(std::min<std::uint64_t>(6, size - end))) &&
                          (head.rfind("From ", 0) == 0 || head.rfind("\nFrom ", 0) == 0);
        if (ours) {
            if (::ftruncate(fd, static_cast<off_t>(end)) != 0)
                throw ConvertError(systemErrorText("Cannot cut back the mbox file", absolute(path)));
        } else {
            collectPresent(fd, end, path);
            cutFloors[path] = end;
            end = size;
        }
    }
    const auto now = tailHashAt(fd, end);
    if (!now) throw ConvertError(systemErrorText("Cannot read the mbox file", absolute(path)));
    manifest.recordMboxState(path, end, *now);
    return true;
}

void MboxSink::cutOwnFragment(const std::string& folderPath, std::uint64_t floor,
                              const std::string& form) {
    if (openFile && openFile->path() == absolute(folderPath)) closeFile();
    const auto [dirPath, name] = splitPath(folderPath);
    int fd = -1;
    try {
        fd = directory(dirPath).openFile(name, O_RDWR);
    } catch (const LinkInDestinationError& e) {
        throw ConvertError(destinationErrorText(e));
    }
    if (fd < 0) throw ConvertError(systemErrorText("Cannot open the mbox file", absolute(folderPath)));
    struct stat st;
    const auto size = ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    // Only a proper prefix of the form counts, so at most form.size() - 1 bytes.
    const std::uint64_t start = std::max<std::uint64_t>(floor, size > form.size() ? size - form.size() + 1 : 0);
    std::string region;
    // One byte more in front: whether the first candidate starts a line.
    const std::uint64_t readFrom = start > 0 ? start - 1 : 0;
    if (size > start && readAt(fd, region, readFrom, static_cast<std::size_t>(size - readFrom))) {
        const std::size_t shift = static_cast<std::size_t>(start - readFrom);
        for (std::size_t p = shift; p < region.size(); ++p) {
            if (p > 0 && region[p - 1] != '\n') continue;
            const std::string_view rest = std::string_view(region).substr(p);
            if (form.compare(0, rest.size(), rest) != 0) continue;
            const std::uint64_t cut = readFrom + p;
            const auto hash = tailHashAt(fd, cut);
            if (!hash) break;
            manifest.recordMboxState(folderPath, cut, *hash);
            if (::ftruncate(fd, static_cast<off_t>(cut)) != 0) {
                ::close(fd);
                throw ConvertError(systemErrorText("Cannot cut back the mbox file", absolute(folderPath)));
            }
            break;
        }
    }
    ::close(fd);
}

void MboxSink::closeFile() {
    if (openFile && options.syncFiles) openFile->sync();
    openFile.reset();
}

void MboxSink::closeFolder(FolderId folder) {
    const std::string* path = messageFolderPath(folder);
    if (path && openFile && openFile->path() == absolute(*path)) closeFile();
}

MboxFile& MboxSink::fileFor(const std::string& folderPath) {
    const std::string path = absolute(folderPath);
    if (openFile && openFile->path() == path) return *openFile;
    closeFile();
    const auto [dirPath, name] = splitPath(folderPath);
    int fd = -1;
    try {
        fd = directory(dirPath).openFile(name, O_RDWR | O_APPEND);
    } catch (const LinkInDestinationError& e) {
        throw ConvertError(destinationErrorText(e));
    }
    if (fd < 0) throw ConvertError(systemErrorText("Cannot open the mbox file", path));
    auto file = std::make_unique<MboxFile>(fd, path);
    const auto state = manifest.mboxState(folderPath);
    // Opened by makeFolder a moment ago, and brought to the end the record knows.
    if (!state || file->size() != state->end || (state->tailHash && file->currentTailHash() != *state->tailHash))
        throw ConvertError("The mbox file " + path + " was changed during the conversion");
    openFile = std::move(file);
    return *openFile;
}

ConvertOutcome MboxSink::addNew(const std::string& folderPath, const MailboxMessage& message,
                                const std::string&) {
    if (const auto found = present.find(folderPath); found != present.end()) {
        const auto hit = found->second.find(textHash(message.raw));
        if (hit != found->second.end() && hit->second > 0) {
            --hit->second;
            recordMessage(message, folderPath, std::nullopt);
            return ConvertOutcome::AlreadyThere;
        }
    }
    const auto from = findHeaderField(message.raw, "From");
    const std::string envelope = from ? envelopeAddress(*from) : std::string("MAILER-DAEMON");
    const std::int64_t time = messageUnixTime(message.fileTime, message.raw);
    const auto status = options.mozillaStatus ? std::optional<MessageFlags>(message.flags) : std::nullopt;
    if (const auto floor = cutFloors.find(folderPath); floor != cutFloors.end()) {
        // The first message appended after a resume is the one a kill may have cut.
        std::string form;
        appendMboxrdMessage(form, message.raw, envelope, time, status);
        const std::uint64_t from = floor->second;
        cutFloors.erase(floor);
        cutOwnFragment(folderPath, from, form);
    }
    MboxFile& file = fileFor(folderPath);
    file.append(message.raw, envelope, time, status,
                [&](std::uint64_t start, std::uint64_t end, std::uint64_t hash) {
                    manifest.recordMboxAppend(MailboxFormat::Mbox, message.folderFile, message.dataOffset,
                                              message.raw.size(), folderPath, start, end, hash);
                });
    if (options.syncFiles) file.sync();
    manifest.appendDone(folderPath);
    testKillPoint();
    return ConvertOutcome::Written;
}

void MboxSink::finish() {
    closeFile();
    DirectorySink::finish();
}

}  // namespace lumbrook
