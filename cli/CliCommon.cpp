#include "cli/CliCommon.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <cstdlib>
#include <cstdio>
#include <iostream>

#include "cli/ErrorText.h"
#include "platform/DateTime.h"
#include "platform/Registry.h"


namespace lumbrook::cli {

void requireStore(const MailStore& store) {
    if (store.found()) return;
    std::string registry = RegistryFile::currentUserFilePath();
    const char* homeSetting = std::getenv("HOME");
    const std::string home = homeSetting ? homeSetting : "";
    if (!home.empty() && registry.starts_with(home + "/")) registry = "~" + registry.substr(home.size());
    throw CliError("no store given and none found in the Wine registry" +
                   (registry.empty() ? std::string() : " (" + registry + ")") +
                   "; name one with --store DIR");
}

void reportFolderListProblem(const MailStore& store) {
    if (const auto problem = store.folderListProblem())
        std::cerr << "lumbrook-cli: " << folderListProblemText(*problem) << '\n';
}

void requireWritableDirectory(const std::string& dir) {
    std::string path = dir.empty() ? "." : dir;
    if (::access(path.c_str(), W_OK | X_OK) == 0) return;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const int error = errno;
    throw CliError("cannot write into " + path + ": " + std::strerror(error));
}

StoreFileArg storeFileArg(const MailStore& store, const std::string& arg) {
    const auto slash = arg.rfind('/');
    if (slash == std::string::npos) {
        requireStore(store);
        return {store, arg};
    }
    return {MailStore(slash == 0 ? std::string("/") : arg.substr(0, slash), store.codePage()),
            arg.substr(slash + 1)};
}

StoreFileArg folderFileArg(const MailStore& store, const std::string& arg) {
    StoreFileArg file = storeFileArg(store, arg);
    switch (file.store.fileType(file.name)) {
        case MailStore::FileType::FolderFile:
            return file;
        case MailStore::FileType::FolderList:
            throw CliError(file.store.filePath(file.name) +
                           " is the folder list (Folders.dbx), not a folder file");
        case MailStore::FileType::Other:
            break;
    }
    throw CliError(file.store.filePath(file.name) +
                   " is not an Outlook Express folder file (no .dbx signature)");
}

std::string jsonText(const MailStore& store, std::string_view bytes) {
    return store.codePage().asUtf8(bytes);
}

void printJsonLine(const nlohmann::ordered_json& value) {
    std::cout << value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

void addJsonDates(nlohmann::ordered_json& record, std::optional<std::int64_t> unixSeconds) {
    const std::string local = unixSeconds ? isoLocalDateTime(*unixSeconds) : std::string();
    const std::string utc = unixSeconds ? isoUtcDateTime(*unixSeconds) : std::string();
    record["Date"] = local.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(local);
    record["DateUTC"] = utc.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(utc);
}

namespace {
template <typename Offset>
Offset parseOffsetAs(std::string_view text) {
    Offset value = 0;
    int base = 10;
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        throw UsageError("not an offset: " + std::string(text));
    return value;
}
}  // namespace

std::int32_t parseOffset(std::string_view text) { return parseOffsetAs<std::int32_t>(text); }

std::int64_t parseFileOffset(std::string_view text) { return parseOffsetAs<std::int64_t>(text); }

StopSignals::StopSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
}

}  // namespace lumbrook::cli
