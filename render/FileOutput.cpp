#include "render/FileOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/Errors.h"

namespace lumbrook {
namespace {

int openWithFlags(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | flags, 0644);
    if (fd < 0) throw makeCreateError(path);
    return fd;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void writeWithFlags(const std::string& path, std::string_view bytes, int flags) {
    const int fd = openWithFlags(path, flags);
    bool ok = writeAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        // A file this call created is ours: a cut-off copy must not pass for the
        // message. A file that was there before (a device, a replaced page) stays.
        if (flags & O_EXCL) ::unlink(path.c_str());
        throw makeCreateError(path);
    }
}

}  // namespace

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    writeWithFlags(path, bytes, O_TRUNC);
}

void writeFileNew(const std::string& path, std::string_view bytes) {
    writeWithFlags(path, bytes, O_EXCL);
}

// Pieces are gathered up to this size before they are written.
constexpr std::size_t WriterBufferSize = 1 << 20;

FileWriter::FileWriter(const std::string& path, Mode mode)
    : path(path), mode(mode), fd(openWithFlags(path, mode == Mode::New ? O_EXCL : O_TRUNC)) {
    buffer.reserve(WriterBufferSize);
}

FileWriter::~FileWriter() {
    if (fd < 0) return;
    ::close(fd);
    if (mode == Mode::New) ::unlink(path.c_str());
}

void FileWriter::write(std::string_view bytes) {
    if (fd < 0) throw makeCreateError(path);
    if (buffer.size() + bytes.size() <= WriterBufferSize) {
        buffer += bytes;
        return;
    }
    flush();
    if (bytes.size() < WriterBufferSize) buffer += bytes;
    else if (!writeAll(fd, bytes)) fail();
}

void FileWriter::flush() {
    if (!writeAll(fd, buffer)) fail();
    buffer.clear();
}

void FileWriter::finish() {
    if (fd < 0) throw makeCreateError(path);
    flush();
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) {
        if (mode == Mode::New) ::unlink(path.c_str());
        throw makeCreateError(path);
    }
}

void FileWriter::fail() {
    ::close(fd);
    fd = -1;
    if (mode == Mode::New) ::unlink(path.c_str());
    throw makeCreateError(path);
}

std::string joinLinesCrlf(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

}  // namespace lumbrook
