#include "convert/MailboxManifest.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

#include "base/Fnv.h"
#include "platform/DestinationDirectory.h"

namespace lumbrook {

std::string escapeRecordField(std::string_view text) {
    // Names and paths rarely hold any of these: then the text is copied whole.
    if (std::none_of(text.begin(), text.end(),
                     [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; }))
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::optional<std::string> unescapeRecordField(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            default: return std::nullopt;
        }
    }
    return out;
}

namespace {

std::uint32_t checksum(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

std::optional<std::uint64_t> parseNumber(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (fields.size() < 16) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return fields;
}

std::string messageKey(MailboxFormat format, std::string_view folderFile, std::uint64_t dataOffset,
                       std::uint64_t textSize) {
    std::string key(mailboxFormatName(format));
    key.append("\t").append(escapeRecordField(folderFile));
    key.append("\t").append(std::to_string(dataOffset));
    key.append("\t").append(std::to_string(textSize));
    return key;
}

std::string hex64(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::optional<std::uint64_t> parseHex64(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size() || text.size() != 16) return std::nullopt;
    return value;
}

// Record lines gathered before one write.
constexpr std::size_t PendingLimit = 64 * 1024;

}  // namespace

std::size_t RecordedMessageKeyHash::operator()(const RecordedMessageKey& key) const noexcept {
    std::uint64_t hash = key.dataOffset * 0x9E3779B97F4A7C15ull;
    hash ^= key.textSize + 0x632BE59BD9B4E019ull + (hash << 6) + (hash >> 2);
    hash ^= (std::uint64_t{key.folderFile} << 8 | static_cast<std::uint64_t>(key.format)) +
            0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return static_cast<std::size_t>(hash);
}

RecordedMessageKey ConvertManifest::keyOf(MailboxFormat format, std::string_view folderFile,
                                          std::uint64_t dataOffset, std::uint64_t textSize) {
    auto id = folderFileIds.find(folderFile);
    if (id == folderFileIds.end())
        id = folderFileIds
                 .emplace(std::string(folderFile), static_cast<std::uint32_t>(folderFileIds.size()))
                 .first;
    return RecordedMessageKey{dataOffset, textSize, id->second, format};
}

std::optional<RecordedMessageKey> ConvertManifest::knownKeyOf(MailboxFormat format,
                                                              std::string_view folderFile,
                                                              std::uint64_t dataOffset,
                                                              std::uint64_t textSize) const {
    const auto id = folderFileIds.find(folderFile);
    if (id == folderFileIds.end()) return std::nullopt;
    return RecordedMessageKey{dataOffset, textSize, id->second, format};
}

std::uint64_t tailHash(std::string_view lastBytes) {
    if (lastBytes.size() > TailBytes) lastBytes.remove_prefix(lastBytes.size() - TailBytes);
    return fnv1a64(lastBytes);
}

ConvertManifest::ConvertManifest(const std::string& outDir, bool syncEachLine)
    : ConvertManifest(DestinationDirectory::openRoot(outDir), syncEachLine) {}

ConvertManifest::ConvertManifest(const DestinationDirectory& outDir, bool syncEachLine)
    : filePath(outDir.pathOf(FileName)), syncEachLine(syncEachLine) {
    try {
        fd = outDir.openFile(std::string(FileName), O_RDWR | O_CREAT | O_APPEND);
    } catch (const LinkInDestinationError& e) {
        throw ConvertError("The conversion record " + destinationErrorText(e));
    }
    if (fd < 0) throw ConvertError(systemErrorText("Cannot open the conversion record", filePath));
    // Two runs into one directory would cut off each other's mbox appends as unfinished.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        fd = -1;
        throw ConvertError("Another conversion is writing into " + outDir.path());
    }
    std::string text;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::string error = systemErrorText("Cannot read the conversion record", filePath);
            ::close(fd);
            throw ConvertError(error);
        }
        if (n == 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    readExisting(text);
    // A line cut off by a crash must not swallow the first line of this run.
    if (!text.empty() && text.back() != '\n') appendLine(std::string());
}

ConvertManifest::~ConvertManifest() {
    try {
        flush();
    } catch (const ConvertError&) {
        // Lines lost here only make the next run look at their messages again.
    }
    if (fd >= 0) ::close(fd);
}

void ConvertManifest::readExisting(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            ++ignored;  // the last line never got its end
            break;
        }
        const std::string_view line = std::string_view(text).substr(pos, lf - pos);
        pos = lf + 1;
        if (line.empty()) continue;
        const std::size_t hash = line.rfind("\t#");
        char expected[16];
        if (hash != std::string_view::npos)
            std::snprintf(expected, sizeof expected, "%08x", checksum(line.substr(0, hash)));
        if (hash == std::string_view::npos || line.substr(hash + 2) != expected) {
            ++ignored;
            continue;
        }
        const auto fields = splitTabs(line.substr(0, hash));
        holdsLines = true;
        if (fields[0] == "L" && fields.size() == 2) {
            const auto layout = unescapeRecordField(fields[1]);
            if (!layout) {
                ++ignored;
                continue;
            }
            recordedLayout = *layout;
        } else if (fields[0] == "M" && fields.size() == 7) {
            const auto format = parseMailboxFormat(fields[1]);
            const auto folderFile = unescapeRecordField(fields[2]);
            const auto offset = parseNumber(fields[3]);
            const auto size = parseNumber(fields[4]);
            const auto path = unescapeRecordField(fields[5]);
            const auto end = fields[6] == "-" ? std::optional<std::uint64_t>() : parseNumber(fields[6]);
            if (!format || !folderFile || !offset || !size || !path || (fields[6] != "-" && !end)) {
                ++ignored;
                continue;
            }
            done.insert(keyOf(*format, *folderFile, *offset, *size));
            destinations.insert(fnv1a64(*path));
            if (end) mboxStates[*path] = MboxState{*end, std::nullopt, std::nullopt};
        } else if (fields[0] == "S" && (fields.size() == 3 || fields.size() == 4)) {
            const auto path = unescapeRecordField(fields[1]);
            const auto size = parseNumber(fields[2]);
            const auto hash = fields.size() == 4 ? parseHex64(fields[3]) : std::nullopt;
            if (!path || !size || (fields.size() == 4 && !hash)) {
                ++ignored;
                continue;
            }
            mboxStates[*path] = MboxState{*size, hash, std::nullopt};
        } else if (fields[0] == "A" && fields.size() == 9) {
            const auto format = parseMailboxFormat(fields[1]);
            const auto folderFile = unescapeRecordField(fields[2]);
            const auto offset = parseNumber(fields[3]);
            const auto size = parseNumber(fields[4]);
            const auto path = unescapeRecordField(fields[5]);
            const auto start = parseNumber(fields[6]);
            const auto end = parseNumber(fields[7]);
            const auto hash = parseHex64(fields[8]);
            if (!format || !folderFile || !offset || !size || !path || !start || !end || !hash) {
                ++ignored;
                continue;
            }
            MboxState& state = mboxStates[*path];
            // An append that begins where the one before would end proves that one
            // finished; one that begins where it began means it failed and was undone.
            if (state.pending && *start == state.pending->end) {
                done.insert(state.pending->message);
                destinations.insert(fnv1a64(*path));
                state.end = state.pending->end;
                state.tailHash = state.pending->tailHash;
            } else if (*start != state.end) {
                state.end = *start;
                state.tailHash.reset();
            }
            state.pending = MboxState::Append{messageKey(*format, *folderFile, *offset, *size),
                                              keyOf(*format, *folderFile, *offset, *size), *end,
                                              *hash};
        } else {
            ++ignored;
        }
    }
}

bool ConvertManifest::contains(MailboxFormat format, std::string_view folderFile,
                               std::uint64_t dataOffset, std::uint64_t textSize) const {
    std::lock_guard lock(guard);
    const auto key = knownKeyOf(format, folderFile, dataOffset, textSize);
    return key && done.count(*key) != 0;
}

bool ConvertManifest::isDestination(std::string_view path) const {
    std::lock_guard lock(guard);
    return destinations.count(fnv1a64(path)) != 0;
}

std::optional<std::uint64_t> ConvertManifest::mboxSize(std::string_view path) const {
    const auto state = mboxState(path);
    if (!state) return std::nullopt;
    return state->end;
}

std::optional<MboxState> ConvertManifest::mboxState(std::string_view path) const {
    std::lock_guard lock(guard);
    const auto it = mboxStates.find(std::string(path));
    if (it == mboxStates.end()) return std::nullopt;
    return it->second;
}

void ConvertManifest::recordLayout(std::string_view layout) {
    appendLine("L\t" + escapeRecordField(layout), true);
    recordedLayout = std::string(layout);
    holdsLines = true;
}

void ConvertManifest::recordMboxState(std::string_view path, std::uint64_t size,
                                      std::uint64_t hash) {
    {
        // What the record says already is not said again: a run that finds every
        // mbox as it left it leaves the record as it is.
        std::lock_guard lock(guard);
        const auto known = mboxStates.find(std::string(path));
        if (known != mboxStates.end() && !known->second.pending && known->second.end == size &&
            known->second.tailHash == hash)
            return;
    }
    appendLine("S\t" + escapeRecordField(path) + "\t" + std::to_string(size) + "\t" + hex64(hash), true);
    std::lock_guard lock(guard);
    mboxStates[std::string(path)] = MboxState{size, hash, std::nullopt};
}

void ConvertManifest::recordMboxAppend(MailboxFormat format, std::string_view folderFile,
                                       std::uint64_t dataOffset, std::uint64_t textSize,
                                       std::string_view path, std::uint64_t start,
                                       std::uint64_t end, std::uint64_t hash) {
    std::string key = messageKey(format, folderFile, dataOffset, textSize);
    appendLine("A\t" + key + "\t" + escapeRecordField(path) + "\t" + std::to_string(start) + "\t" +
                   std::to_string(end) + "\t" + hex64(hash),
               true);
    std::lock_guard lock(guard);
    const RecordedMessageKey message = keyOf(format, folderFile, dataOffset, textSize);
    MboxState& state = mboxStates[std::string(path)];
    state.end = start;
    state.pending = MboxState::Append{std::move(key), message, end, hash};
}

void ConvertManifest::appendDone(std::string_view path, bool found) {
    if (found) {
        // Known only from the file: said in the record, as a later state line
        // would otherwise hide it.
        const auto state = mboxState(path);
        if (!state || !state->pending) return;
        appendLine("M\t" + state->pending->key + "\t" + escapeRecordField(path) + "\t" +
                   std::to_string(state->pending->end));
    }
    std::lock_guard lock(guard);
    MboxState& state = mboxStates[std::string(path)];
    if (!state.pending) return;
    done.insert(state.pending->message);
    destinations.insert(fnv1a64(path));
    state.end = state.pending->end;
    state.tailHash = state.pending->tailHash;
    state.pending.reset();
}

void ConvertManifest::recordMessage(MailboxFormat format, std::string_view folderFile,
                                    std::uint64_t dataOffset, std::uint64_t textSize,
                                    std::string_view path, std::optional<std::uint64_t> mboxEnd) {
    appendLine("M\t" + messageKey(format, folderFile, dataOffset, textSize) + "\t" +
               escapeRecordField(path) + "\t" + (mboxEnd ? std::to_string(*mboxEnd) : std::string("-")));
    std::lock_guard lock(guard);
    done.insert(keyOf(format, folderFile, dataOffset, textSize));
    destinations.insert(fnv1a64(path));
    if (mboxEnd) mboxStates[std::string(path)] = MboxState{*mboxEnd, std::nullopt, std::nullopt};
}

void ConvertManifest::appendLine(std::string line, bool now) {
    if (!line.empty()) {
        char sum[16];
        std::snprintf(sum, sizeof sum, "\t#%08x", checksum(line));
        line += sum;
    }
    line += '\n';
    if (now && !syncEachLine) {
        pending += line;
        flush();
        return;
    }
    if (!syncEachLine) {
        pending += line;
        if (pending.size() >= PendingLimit) flush();
        return;
    }
    writeOut(line);
    if (::fdatasync(fd) != 0)
        throw ConvertError(systemErrorText("Cannot sync the conversion record", filePath));
}

void ConvertManifest::flush() {
    if (pending.empty()) return;
    std::string text;
    text.swap(pending);
    writeOut(text);
}

void ConvertManifest::writeOut(std::string_view text) {
    // Whole lines in one write: with O_APPEND a line is never split by another writer.
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0 && (errno == ENOSPC || errno == EDQUOT))
                throw DestinationFullError(systemErrorText("Cannot write the conversion record", filePath));
            throw ConvertError(systemErrorText("Cannot write the conversion record", filePath));
        }
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace lumbrook
