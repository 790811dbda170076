// recover: the messages a folder file still holds that its index does not list:
// orphaned (whole live chains nobody points to) and deleted ones.
#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "mime/AttachmentName.h"
#include "convert/MailboxHeaders.h"
#include "convert/MailboxNaming.h"
#include "platform/FileWriter.h"
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

// Writes text as DIR/stem.eml, or stem_0.eml ... when taken: whole under a
// temporary name first, so that a killed run leaves no cut-off message under its
// final name; never replaces a file.
std::string writeRecovered(const std::string& dir, const std::string& stem, const std::string& text) {
    std::filesystem::create_directories(dir);
    OutputNames names;
    return dir + "/" + writeFileUnique(dir + "/", names, stem, ".eml", text);
}

// Ctrl+C and SIGTERM end --to between messages, as they end save and export.
void stopHandler(int signal) {
    requestStop(signal);
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
    std::optional<StopSignals> signals;
    if (to) signals.emplace(stopHandler);
    for (const RecoveredMessage& m : scan.messages) {
        if (stopRequested()) break;
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
            std::cout << writeRecovered(*to + "/" + kindName(m.kind), stem, text) << '\n';
        } catch (const StopRequestedError&) {
            break;
        } catch (const std::exception& e) {
            std::cerr << "lumbrook-cli: message at offset " << m.dataOffset << ": " << errorText(e)
                      << '\n';
            ++failures;
        }
    }
    // As the shell reports a program ended by the signal.
    if (const int signal = stopRequested()) return 128 + (signal > 0 ? signal : SIGINT);
    return failures > 0 ? 1 : 0;
}

}  // namespace lumbrook::cli
