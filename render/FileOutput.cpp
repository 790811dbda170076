#include "render/FileOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/Errors.h"

namespace lumbrook {
namespace {

void writeWithFlags(const std::string& path, std::string_view bytes, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | flags, 0644);
    if (fd < 0) throw makeCreateError(path);
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
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
