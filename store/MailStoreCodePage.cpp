// Which code page a store is written in, when no one says: Outlook Express wrote
// names and subjects in the ANSI code page of the Windows it ran on, and nothing in
// a .dbx file records which that was.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/Ascii.h"
#include "platform/Files.h"
#include "platform/Hive.h"
#include "platform/Registry.h"
#include "platform/StoreRoot.h"
#include "store/DbxLayout.h"
#include "store/DbxReader.h"
#include "store/MailStore.h"
#include "store/StoreFile.h"

namespace lumbrook {

namespace {

// A store lies a few levels below the root of the disk it came from
// (Documents and Settings/<user>/Local Settings/Application Data/Identities/{GUID}/
// Microsoft/Outlook Express); a moved one anywhere.
constexpr int MaxLevelsAboveStore = 16;
// The charsets of this many messages settle the vote; bigger messages (those with
// attachments) are passed over, their headers are not worth the read.
constexpr int MaxMessagesForCharsets = 40;
constexpr std::size_t MaxFolderFilesForCharsets = 6;
constexpr std::size_t MaxFolderFilesConsidered = 1000;
constexpr std::int32_t MaxMessageSizeForCharsets = 256 * 1024;

std::optional<std::string> entryPath(std::string dir,
                                     const std::vector<std::vector<std::string>>& steps) {
    for (const auto& names : steps) {
        auto entry = findEntry(dir, names);
        if (!entry) return std::nullopt;
        dir = includeTrailingPathDelimiter(dir) + *entry;
    }
    return dir;
}

std::optional<int> codePageOfWindowsAbove(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path at = fs::absolute(dir, ec).lexically_normal();
    if (ec) return std::nullopt;
    for (int level = 0; level < MaxLevelsAboveStore; ++level) {
        auto hive =
            entryPath(at.string(), {{"Windows", "WINNT"}, {"System32"}, {"config"}, {"SYSTEM"}});
        if (hive && !directoryExists(*hive)) {
            if (auto page = systemAnsiCodePage(*hive)) return page;
        }
        if (!at.has_relative_path()) break;
        at = at.parent_path();
    }
    return std::nullopt;
}

std::optional<StoreFile> openFolderList(const std::string& dir) {
    return StoreFile::tryOpen(findFileNoCase(dir, "folders.dbx"));
}

bool isAsciiText(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::optional<int> codePageOfFolderFileNames(const std::string& dir, const FolderList& folders) {
    std::vector<std::string> names;
    for (const auto& f : folders)
        if (!f.fileName.empty() && !isAsciiText(f.fileName)) names.push_back(f.fileName);
    if (names.empty()) return std::nullopt;
    int best = 0;
    std::size_t bestFound = 0;
    for (int number : windowsAnsiCodePages()) {
        const CodePage page = CodePage::fromSetting(std::to_string(number));
        if (page.number() != number) continue;  // iconv lacks it
        std::size_t found = 0;
        for (const auto& name : names)
            if (findEntry(dir, {page.toUtf8(name)})) ++found;
        if (found > bestFound) best = number, bestFound = found;
    }
    return best ? std::optional<int>(best) : std::nullopt;
}

// Every charset a message's headers name: charset= parameters and encoded words.
void countCharsets(std::string_view text, std::map<int, int>& votes) {
    const std::size_t headerEnd = text.find("\r\n\r\n");
    // The top header and the parts' headers lie mostly within the first few KB.
    text = text.substr(
        0, std::max<std::size_t>(headerEnd == std::string_view::npos ? 0 : headerEnd, 8192));
    const std::string lower = lowerAscii(text);
    const auto charsetAt = [&](std::size_t at) {
        std::size_t end = at;
        while (end < lower.size() &&
               (isAsciiLetter(lower[end]) || (lower[end] >= '0' && lower[end] <= '9') ||
                lower[end] == '-' || lower[end] == '_'))
            ++end;
        if (int page = ansiCodePageOfCharset(std::string_view(lower).substr(at, end - at)))
            ++votes[page];
    };
    for (std::size_t at = lower.find("charset="); at != std::string::npos;
         at = lower.find("charset=", at + 1)) {
        std::size_t value = at + 8;
        if (value < lower.size() && lower[value] == '"') ++value;
        charsetAt(value);
    }
    for (std::size_t at = lower.find("=?"); at != std::string::npos; at = lower.find("=?", at + 2))
        charsetAt(at + 2);
}

std::optional<int> codePageOfMessageCharsets(const std::string& dir, const FolderList& folders) {
    // The smallest folders that hold messages: a big folder's whole index is read
    // before its first message, and a few small ones tell as much.
    std::vector<std::pair<std::uint64_t, std::string>> sized;
    for (const auto& f : folders) {
        if (f.fileName.empty() || sized.size() >= MaxFolderFilesConsidered) continue;
        std::error_code ec;
        const std::string path = findFileNoCase(dir, f.fileName);
        const std::uint64_t size = std::filesystem::file_size(path, ec);
        if (!ec && size > dbx::FileHeaderSize) sized.emplace_back(size, path);
    }
    std::sort(sized.begin(), sized.end());
    if (sized.size() > MaxFolderFilesForCharsets) sized.resize(MaxFolderFilesForCharsets);
    std::map<int, int> votes;
    int read = 0;
    for (const auto& [size, path] : sized) {
        // The names are in a code page not known yet; ASCII ones are found as they are.
        auto file = StoreFile::tryOpen(path);
        if (!file) continue;
        try {
            for (const MessageInfo& m : readMessageIndex(*file)) {
                if (read >= MaxMessagesForCharsets) break;
                if (m.dataOffset <= 0 || m.entry91 > MaxMessageSizeForCharsets) continue;
                ++read;
                countCharsets(readMessageChain(*file, m.dataOffset), votes);
            }
        } catch (const std::exception&) {
            // A damaged file says nothing; the others may.
        }
        if (read >= MaxMessagesForCharsets) break;
    }
    int best = 0, bestVotes = 0;
    for (const auto& [page, count] : votes)
        if (count > bestVotes) best = page, bestVotes = count;
    return best ? std::optional<int>(best) : std::nullopt;
}

CodePage codePageNumbered(int number) {
    return CodePage::fromSetting(std::to_string(number));
}

}  // namespace

DetectedCodePage detectStoreCodePage(const std::string& dir) {
    if (auto page = codePageOfWindowsAbove(dir))
        return {codePageNumbered(*page), CodePageSource::Registry};
    FolderList folders;
    if (auto list = openFolderList(dir)) {
        try {
            folders = readFolderIndex(*list);
        } catch (const std::exception&) {
        }
    }
    if (auto page = codePageOfFolderFileNames(dir, folders))
        return {codePageNumbered(*page), CodePageSource::FolderFileNames};
    if (auto page = codePageOfMessageCharsets(dir, folders))
        return {codePageNumbered(*page), CodePageSource::MessageCharsets};
    return {CodePage(), CodePageSource::Default};
}

MailStore openStoreDetectingCodePage(std::optional<std::string> path,
                                     std::optional<CodePage> chosen) {
    if (chosen) return openStore(std::move(path), std::move(*chosen));
    if (auto fromEnvironment = CodePage::fromEnvironmentIfSet())
        return openStore(std::move(path), std::move(*fromEnvironment));
    std::string dir;
    if (path) {
        dir = *path;
        std::error_code ec;
        if (std::filesystem::is_regular_file(dir, ec))
            dir = std::filesystem::absolute(dir, ec).parent_path().string();
    } else {
        try {
            dir = lookupStoreRoot(RegistryFile::loadCurrentUser(CodePage()));
        } catch (const std::exception&) {
            // openStore reports the registry's failure with every read.
        }
    }
    if (dir.empty()) return openStore(std::move(path), CodePage());
    return openStore(std::move(path), detectStoreCodePage(dir).page);
}

}  // namespace lumbrook
