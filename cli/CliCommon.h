#pragma once

#include <signal.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/Args.h"
#include "store/MailStore.h"

namespace lumbrook::cli {

// A failure of the command that is no misuse: reported as "lumbrook-cli: what()"
// with exit code 1.
class CliError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A store is needed for the command: an error when none was given or found.
void requireStore(const MailStore& store);
// When the store's folders are its directory's folder files (no usable folder
// list), says so on stderr.
void reportFolderListProblem(const MailStore& store);

// A destination no file can be created in is one error, before anything is read;
// "" is the current directory.
void requireWritableDirectory(const std::string& dir);

// A FILE argument: a folder file of the store, or, when it holds a slash, a path of
// its own (then the store is its directory, in the same code page, and no other
// store is needed).
struct StoreFileArg {
    MailStore store;
    std::string name;
};
StoreFileArg storeFileArg(const MailStore& store, const std::string& arg);
// The same, and an error unless the file is a folder file (not the folder list,
// not some other file).
StoreFileArg folderFileArg(const MailStore& store, const std::string& arg);

// Store texts are 8-bit in the store's code page; JSON wants UTF-8. Text that
// already is UTF-8 (a date text in the locale's) stays as it is.
std::string jsonText(const MailStore& store, std::string_view bytes);
void printJsonLine(const nlohmann::ordered_json& value);
// Date (ISO 8601 in the user's zone, with the offset in force then) and DateUTC of
// a moment in seconds since 1970; null for none (docs/json.md).
void addJsonDates(nlohmann::ordered_json& record, std::optional<std::int64_t> unixSeconds);

std::int32_t parseOffset(std::string_view text);
// An offset of the whole file, past 2 GiB too (what recover lists); the index holds
// 32-bit ones.
std::int64_t parseFileOffset(std::string_view text);

// While it lives, SIGINT and SIGTERM go to handler, once: the handler only asks
// for a stop, and a second signal of the same kind ends the program at once.
class StopSignals {
public:
    explicit StopSignals(void (*handler)(int));
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
};

}  // namespace lumbrook::cli
