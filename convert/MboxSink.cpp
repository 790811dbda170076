#include "convert/MboxSink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "mime/HeaderFields.h"

namespace lumbrook {

MboxSink::MboxSink(std::string outDir, const MailboxOptions& options)
    : DirectorySink(std::move(outDir), MailboxFormat::Mbox, options, SiblingNames(".sbd")) {}

SiblingNames MboxSink::subfolderNames() const {
    return SiblingNames(".sbd");
}

std::string MboxSink::makeFolder(const std::string& parentPath, const std::string& name) {
    if (!parentPath.empty()) makeDirectory(parentPath + ".sbd");
    const std::string path = parentPath.empty() ? name : parentPath + ".sbd/" + name;
    MboxFile create(absolute(path));  // an empty folder is an empty file
    return path;
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
    auto file = std::make_unique<MboxFile>(path);
    if (const auto whole = manifest.mboxSize(folderPath); whole && file->size() > *whole) {
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
    manifest.recordMboxSize(folderPath, file->size());
    openFile = std::move(file);
    return *openFile;
}

ConvertOutcome MboxSink::addNew(const std::string& folderPath, const MailboxMessage& message,
                                const std::string&) {
    MboxFile& file = fileFor(folderPath);
    const auto from = findHeaderField(message.raw, "From");
    file.append(message.raw, from ? envelopeAddress(*from) : std::string("MAILER-DAEMON"),
                messageUnixTime(message.fileTime, message.raw),
                options.mozillaStatus ? std::optional<MessageFlags>(message.flags) : std::nullopt);
    if (options.syncFiles) file.sync();
    recordMessage(message, folderPath, file.size());
    return ConvertOutcome::Written;
}

void MboxSink::finish() {
    closeFile();
    DirectorySink::finish();
}

}  // namespace lumbrook
