// recover: the messages a folder file still holds that its index does not list:
// orphaned (whole live chains nobody points to) and deleted ones.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "mime/AttachmentName.h"
#include "convert/MailboxHeaders.h"
#include "convert/MailboxNaming.h"
#include "store/MailStore.h"
#include "store/StoreFile.h"
#include "store/Recovery.h"

namespace lumbrook::cli {
namespace {

const char* kindName(RecoveredMessage::Kind kind) {
    return kind == RecoveredMessage::Kind::Deleted ? "deleted" : "orphaned";
}

// The data offsets the folder's index reaches; none when the index cannot be read
// (a destroyed header or index is what recovery is for).
std::vector<std::uint64_t> listedOffsets(const MailStore& store, const std::string& file) {
    std::vector<std::uint64_t> offsets;
    try {
        for (const auto& m : store.readMessages(file))
            if (m.dataOffset > 0) offsets.push_back(static_cast<std::uint64_t>(m.dataOffset));
    } catch (const std::exception&) {
    }
    return offsets;
}

// Writes text as DIR/stem.eml, or stem_0.eml ... when taken; never replaces a file.
std::string writeNew(const std::string& dir, const std::string& stem, const std::string& text) {
    std::filesystem::create_directories(dir);
    for (long k = -1;; ++k) {
        const std::string path =
            dir + "/" + (k < 0 ? stem : stem + "_" + std::to_string(k)) + ".eml";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
        }
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                const int error = errno;
                ::close(fd);
                ::unlink(path.c_str());
                throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
            }
            done += static_cast<std::size_t>(n);
        }
        if (::close(fd) != 0) {
            ::unlink(path.c_str());
            throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
        }
        return path;
    }
}

}  // namespace

int cmdRecover(Args& args, const MailStore& store) {
    const auto to = args.takeOption("--to");
    auto rest = args.positionals();
    if (rest.size() != 1) throw UsageError("recover needs exactly one FILE");
    const StoreFileArg target = storeFileArg(store, rest[0]);
    const std::string& file = target.name;
    const StoreFile source(target.store.filePath(file));
    const auto listed = listedOffsets(target.store, file);
    const RecoveryScan scan = scanForMessages(source, listed);
    const std::string codePage = store.codePage().name();
    const HeaderValueDecoder decode = [&](std::string_view raw) {
        return decodeEncodedWords(raw, codePage);
    };
    int failures = 0;
    for (const RecoveredMessage& m : scan.messages) {
        const RecoveredMessageHeaders h = readRecoveredHeaders(source, m, decode);
        if (!to) {
            printJsonLine({{"Kind", kindName(m.kind)},
                           {"DataOffset", m.dataOffset},
                           {"Size", m.size},
                           {"LostBytes", m.lostBytes},
                           {"Complete", m.complete},
                           {"From", h.from},
                           {"To", h.to},
                           {"Subject", h.subject},
                           {"Date", h.date}});
            continue;
        }
        try {
            const std::string text = readRecoveredText(source, m);
            const std::int64_t when = parseMailDate(h.date).value_or(0);
            std::string stem = emlFileStem(when, h.subject, 32) + " @" + std::to_string(m.dataOffset);
            if (!m.complete) stem += " (incomplete)";
            std::cout << writeNew(*to + "/" + kindName(m.kind), stem, text) << '\n';
        } catch (const std::exception& e) {
            std::cerr << "lumbrook-cli: message at offset " << m.dataOffset << ": " << errorText(e)
                      << '\n';
            ++failures;
        }
    }
    return failures > 0 ? 1 : 0;
}

}  // namespace lumbrook::cli
