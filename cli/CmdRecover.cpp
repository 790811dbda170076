// recover: the messages a folder file still holds that its index does not list:
// orphaned (whole live chains nobody points to) and deleted ones.
#include <csignal>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "mime/AttachmentName.h"
#include "mime/HeaderFields.h"
#include "convert/MailboxNaming.h"
#include "platform/DestinationDirectory.h"
#include "platform/FileNames.h"
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

// Where --to puts the messages: OUT/deleted and OUT/orphaned, each opened once
// below OUT and never through a link.
class RecoveryDestination {
public:
    explicit RecoveryDestination(const std::string& outDir) : root(DestinationDirectory::openRoot(outDir)) {}

    // Writes text as kind/stem.eml, or stem_0.eml ... when taken: whole under a
    // temporary name first, so that a killed run leaves no cut-off message under its
    // final name; never replaces a file. A name that already holds exactly this
    // text is the message itself from an earlier run: the file names carry the
    // message's place in the folder file, so the files are their own record and a
    // second run adds nothing, even into a directory copied or partly deleted since.
    // Returns the path, and whether it was written now.
    std::pair<std::string, bool> write(const std::string& kind, const std::string& stem,
                                       const std::string& text) {
        auto& dir = kinds[kind];
        if (!dir) {
            dir = std::make_unique<DestinationDirectory>(root.subdirectory(kind));
            dir->removeStaleTemporaries();  // of a run killed here before
        }
        const PlacedFile placed = writeNewOrFindSame(*dir, text, [&](std::size_t k) {
            return k == 0 ? fitName(stem, "", ".eml") : fitName(stem, "_" + std::to_string(k - 1), ".eml");
        });
        if (placed.written) testKillPoint();
        return {dir->pathOf(placed.name), placed.written};
    }

private:
    DestinationDirectory root;
    std::map<std::string, std::unique_ptr<DestinationDirectory>> kinds;
};

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
    std::optional<RecoveryDestination> destination;
    if (to) {
        signals.emplace(stopHandler);
        destination.emplace(*to);
    }
    for (const RecoveredMessage& m : scan.messages) {
        if (stopRequested()) break;
        const RecoveredMessageHeaders h = readRecoveredHeaders(source, m, decode);
        if (!to) {
            nlohmann::ordered_json record{{"Kind", kindName(m.kind)},
                                          {"DataOffset", m.dataOffset},
                                          {"RawSize", m.size},
                                          {"LostBytes", m.lostBytes},
                                          {"Complete", m.complete},
                                          {"From", h.from},
                                          {"To", h.to},
                                          {"Subject", h.subject}};
            // The message's own Date: line, read as a moment.
            addJsonDates(record, parseMailDate(h.date));
            printJsonLine(record);
            continue;
        }
        try {
            const std::string text = readRecoveredText(source, m);
            const std::int64_t when = parseMailDate(h.date).value_or(0);
            std::string stem = emlFileStem(when, h.subject, 32) + " @" + std::to_string(m.dataOffset);
            if (!m.complete) stem += " (incomplete)";
            const auto [path, written] = destination->write(kindName(m.kind), stem, text);
            if (written) std::cout << path << '\n';
        } catch (const LinkInDestinationError& e) {
            std::cerr << "lumbrook-cli: message at offset " << m.dataOffset << ": "
                      << linkInDestinationText(e) << '\n';
            ++failures;
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
