#include "upload/UploadRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/Fnv.h"
#include "convert/MailboxManifest.h"
#include "upload/ImapClient.h"

namespace lumbrook {

namespace {

std::string checksumText(std::string_view text) {
    char sum[20];
    std::snprintf(sum, sizeof sum, "%016llx", static_cast<unsigned long long>(fnv1a64(text)));
    return sum;
}

std::string systemError(std::string_view what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

// The account's name as a file name: readable, with anything a file system might
// dislike replaced, and a hash of the exact name so that two names never meet.
std::string fileNameFor(std::string_view account) {
    std::string name;
    for (char c : account) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-' || c == '_' || c == '@';
        name += plain ? c : '_';
        if (name.size() >= 100) break;
    }
    return name + "-" + checksumText(account).substr(0, 8) + ".record";
}

}  // namespace

std::string UploadRecord::defaultDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/') return std::string(state) + "/lumbrook/upload";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/lumbrook/upload";
}

UploadRecord::UploadRecord(const std::string& directory, std::string_view accountName, std::string storeDir)
    : storeDir(std::move(storeDir)) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw UploadError(UploadErrorKind::Record, "cannot make " + directory + ": " + error.message());
    filePath = directory + "/" + fileNameFor(accountName);
    fd = ::open(filePath.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) throw UploadError(UploadErrorKind::Record, systemError("cannot open", filePath));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw UploadError(UploadErrorKind::Record, "another upload to " + std::string(accountName) + " is running");
    }
    std::string text;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string why = systemError("cannot read", filePath);
            ::close(fd);
            throw UploadError(UploadErrorKind::Record, why);
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            ++ignored;
            pending = "\n";  // the cut-off line must not swallow the next one
            break;
        }
        const std::string_view line = std::string_view(text).substr(pos, lf - pos);
        pos = lf + 1;
        const std::size_t hash = line.rfind("\t#");
        if (hash == std::string_view::npos || line.substr(hash + 2) != checksumText(line.substr(0, hash))) {
            ++ignored;
            continue;
        }
        // "U <store> <folder file> <offset> <size> <mailbox>": the key is all but the
        // mailbox; "P <store> <folder file> <offset> <size>": about to be sent.
        const std::string_view fields = line.substr(0, hash);
        const std::size_t last = fields.rfind('\t');
        if (fields.starts_with("P\t")) {
            inFlight.insert(std::string(fields.substr(2)));
        } else if (fields.starts_with("U\t") && last != std::string_view::npos) {
            done.insert(std::string(fields.substr(2, last - 2)));
        } else {
            ++ignored;
        }
    }
    for (const std::string& key : done) inFlight.erase(key);
}

UploadRecord::~UploadRecord() {
    try {
        flush();
    } catch (const UploadError&) {
        // A line lost here only makes the next run find that message by its Message-ID.
    }
    if (fd >= 0) ::close(fd);
}

std::string UploadRecord::key(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) const {
    return escapeRecordField(storeDir) + "\t" + escapeRecordField(folderFile) + "\t" + std::to_string(dataOffset) + "\t" +
           std::to_string(size);
}

bool UploadRecord::contains(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) const {
    return done.count(key(folderFile, dataOffset, size)) != 0;
}

bool UploadRecord::wasInFlight(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) const {
    return inFlight.count(key(folderFile, dataOffset, size)) != 0;
}

void UploadRecord::addInFlight(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size) {
    const std::string line = "P\t" + key(folderFile, dataOffset, size);
    pending += line + "\t#" + checksumText(line) + "\n";
}

void UploadRecord::add(std::string_view folderFile, std::uint64_t dataOffset, std::uint64_t size,
                       std::string_view mailbox) {
    std::string k = key(folderFile, dataOffset, size);
    const std::string line = "U\t" + k + "\t" + escapeRecordField(mailbox);
    pending += line + "\t#" + checksumText(line) + "\n";
    done.insert(std::move(k));
}

void UploadRecord::flush() {
    std::size_t written = 0;
    while (written < pending.size()) {
        const ssize_t n = ::write(fd, pending.data() + written, pending.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            pending.erase(0, written);
            throw UploadError(UploadErrorKind::Record, systemError("cannot write", filePath));
        }
        written += static_cast<std::size_t>(n);
    }
    pending.clear();
}

}  // namespace lumbrook
