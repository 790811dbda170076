#include "listing/FolderMessages.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/Ascii.h"
#include "base/Errors.h"
#include "store/DbxLayout.h"
#include "store/DbxReader.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {

// The header's count means something only under the words that open a folder
// file; a file that lost its start has anything there.
bool hasFolderFileHeader(const ByteSource& source) {
    std::uint8_t head[8];
    if (source.readAt(0, head, sizeof head) != sizeof head) return false;
    const ByteReader reader(head, sizeof head);
    return reader.u32At(dbx::SignatureAt).value_or(0) == dbx::Signature &&
           reader.u32At(dbx::FileKindAt).value_or(0) == dbx::MessageFileKind;
}

std::size_t kindSlot(MessageOrigin origin) {
    return origin == MessageOrigin::Deleted ? 1 : 0;
}

const char* damageText(IndexDamage damage) {
    switch (damage) {
        case IndexDamage::None:
            break;
        case IndexDamage::Unreadable:
            return "its header or index is damaged";
        case IndexDamage::EmptyWithData:
            return "its index lists nothing, though the file holds data";
        case IndexDamage::CountsMore:
            return "its index lists fewer messages than its header counts";
        case IndexDamage::Failed:
            return "its index could not be read";
    }
    return "it was read whole";
}

}  // namespace

std::string folderReportText(const FolderReport& report) {
    std::string text = report.fileName + ": not read whole, " + damageText(report.damage);
    if (report.damage == IndexDamage::Failed && !report.failure.empty())
        text += " (" + report.failure + ")";
    if (report.damage == IndexDamage::CountsMore)
        text += " (" + std::to_string(report.counted) + " counted, " +
                std::to_string(report.listed) + " listed)";
    text += "; the recovery scan found " + std::to_string(report.recovered + report.damaged) +
            " more messages";
    if (report.deleted > 0) text += " (" + std::to_string(report.deleted) + " of them deleted ones)";
    text += ": " + std::to_string(report.recovered) + " recovered, " +
            std::to_string(report.damaged) + " damaged, " + std::to_string(report.lost) + " lost";
    return text;
}

IndexDamage indexDamageOf(const ByteSource& source, std::size_t recordCount) {
    // A sound header that counts more than the index gave says best what is wrong,
    // also when the index gave nothing.
    const std::int32_t counted = messageCountOfHeader(source);
    if (counted > 0 && recordCount < static_cast<std::size_t>(counted) && hasFolderFileHeader(source))
        return IndexDamage::CountsMore;
    switch (indexStateOf(source, recordCount)) {
        case IndexState::Unreadable:
            return IndexDamage::Unreadable;
        case IndexState::EmptyWithData:
            return IndexDamage::EmptyWithData;
        case IndexState::Readable:
            break;
    }
    return IndexDamage::None;
}

FolderMessages readFolderMessages(const MailStore& store, const std::string& fileName,
                                  const FolderMessageOptions& options) {
    FolderMessages folder;
    FolderReport& report = folder.report;
    report.fileName = fileName;
    try {
        folder.records = store.readMessages(fileName);
    } catch (const LumbrookError& e) {
        // A file that cannot be opened (or lies outside the store) cannot be scanned either.
        if (e.kind() == ErrorKind::FileOpen || e.kind() == ErrorKind::OutsideStore) throw;
        report.damage = IndexDamage::Failed;
        report.failure = e.what();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        report.damage = IndexDamage::Failed;
        report.failure = e.what();
    }
    report.listed = folder.records.size();
    // The folder list is read elsewhere; its records are no messages.
    if (equalsNoCase(fileName, "folders.dbx")) return folder;

    const StoreFile file(store.filePath(fileName));
    if (hasFolderFileHeader(file)) report.counted = std::max(0, messageCountOfHeader(file));
    if (report.damage == IndexDamage::None) report.damage = indexDamageOf(file, report.listed);
    if (report.damage == IndexDamage::None && !options.deleted) return folder;

    // A stop request ends the scan of a big file too, not only the reading after it.
    ScanOptions scan = options.scan;
    if (options.stop) {
        scan.progress = [inner = options.scan.progress, stop = options.stop](std::uint64_t done,
                                                                            std::uint64_t total) {
            return !stop->load() && (!inner || inner(done, total));
        };
    }
    folder.found = findRecoveredMessages(file, folder.records, store.codePage(), scan, options.stop);
    folder.found.fileName = fileName;
    if (!options.deleted) {
        RecoveredFolder orphaned;
        orphaned.fileName = fileName;
        for (std::size_t i = 0; i < folder.found.records.size(); ++i) {
            if (folder.found.records[i].origin == MessageOrigin::Deleted) continue;
            orphaned.records.push_back(std::move(folder.found.records[i]));
            orphaned.found.push_back(folder.found.found[i]);
        }
        folder.found = std::move(orphaned);
    }
    std::size_t orphanedFound = 0;
    for (std::size_t i = 0; i < folder.found.found.size(); ++i) {
        const RecoveredMessage& m = folder.found.found[i];
        ++(m.complete ? report.recovered : report.damaged);
        if (m.kind == RecoveredMessage::Kind::Deleted) ++report.deleted;
        else ++orphanedFound;
    }
    // An index that lists nothing over a file of deleted blocks only is right: the
    // folder was emptied, nothing was lost.
    if (report.damage == IndexDamage::EmptyWithData && orphanedFound == 0)
        report.damage = IndexDamage::None;
    const std::uint64_t reached = report.listed + orphanedFound;
    if (static_cast<std::uint64_t>(report.counted) > reached)
        report.lost = static_cast<std::size_t>(static_cast<std::uint64_t>(report.counted) - reached);
    folder.records.insert(folder.records.end(), folder.found.records.begin(),
                          folder.found.records.end());
    return folder;
}

FolderTextReader::FolderTextReader(const MailStore& store, const FolderMessages& folder)
    : store(store), folder(folder), listedTexts(store, folder.report.fileName) {
    const RecoveredFolder& found = folder.found;
    for (std::size_t i = 0; i < found.records.size() && i < found.found.size(); ++i)
        foundAt[kindSlot(found.records[i].origin)].emplace(found.found[i].dataOffset, i);
}

FolderTextReader::~FolderTextReader() = default;

MessageText FolderTextReader::read(const MessageInfo& record) {
    if (record.origin == MessageOrigin::Listed) {
        // The index holds 32-bit offsets: a listed record never lies further.
        if (record.dataOffset <= 0 || record.dataOffset > std::numeric_limits<std::int32_t>::max())
            return {};
        return listedTexts.read(static_cast<std::int32_t>(record.dataOffset),
                                static_cast<std::uint32_t>(std::max(0, record.entry91)));
    }
    const auto& byOffset = foundAt[kindSlot(record.origin)];
    const auto at = record.dataOffset > 0
                        ? byOffset.find(static_cast<std::uint64_t>(record.dataOffset))
                        : byOffset.end();
    if (at == byOffset.end()) return {{}, false, "The message is no longer listed."};
    if (!file) file.emplace(store.filePath(folder.report.fileName));
    return readRecoveredMessage(*file, folder.found.found[at->second]);
}

}  // namespace lumbrook
