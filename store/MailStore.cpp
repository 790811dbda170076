#include "store/MailStore.h"

#include <filesystem>
#include <utility>

#include "base/Errors.h"
#include "platform/Registry.h"
#include "platform/StoreRoot.h"
#include "store/DbxDirectoryReader.h"

namespace lumbrook {

namespace {

// The store of the one folder path is, when path is a file whose signature says
// folder file.
std::shared_ptr<const StoreReader> loneFolderFile(const std::string& path,
                                                  const CodePage& codePage) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return nullptr;
    const fs::path file = fs::absolute(path, ec);
    if (ec) return nullptr;
    const std::string name = file.filename().string();
    auto reader = std::make_shared<DbxDirectoryReader>(
        file.parent_path().string(), DbxDirectoryReader::LoneFile{name}, codePage);
    try {
        if (reader->fileType(name) == StoreReader::FileType::FolderFile) return reader;
    } catch (const std::exception&) {
    }
    return nullptr;
}

// The one place that tells the kinds of store apart: a second kind is one more
// reader and one more line here.
std::shared_ptr<const StoreReader> readerFor(const std::string& path, const CodePage& codePage) {
    if (auto lone = loneFolderFile(path, codePage)) return lone;
    return std::make_shared<DbxDirectoryReader>(path, codePage);
}

}  // namespace

MailStore openStore(std::optional<std::string> path, CodePage codePage) {
    if (path) {
        auto reader = readerFor(*path, codePage);
        return MailStore(std::move(*path), std::move(codePage), std::move(reader), true);
    }
    try {
        std::string root = lookupStoreRoot(RegistryFile::loadCurrentUser(codePage));
        const bool found = !root.empty();
        auto reader = readerFor(root, codePage);
        return MailStore(std::move(root), std::move(codePage), std::move(reader), found);
    } catch (const LumbrookError& e) {
        // The registry names a directory of .dbx files, or nothing the mail client
        // could read either.
        auto reader = std::make_shared<DbxDirectoryReader>(std::string(), codePage, e);
        return MailStore(std::string(), std::move(codePage), std::move(reader), true);
    }
}

MailStore::MailStore(std::string path, CodePage codePage)
    : MailStore(openStore(std::move(path), std::move(codePage))) {}

MailStore::MailStore(std::string dir, CodePage codePage, std::shared_ptr<const StoreReader> reader,
                     bool located)
    : dir(std::move(dir)), page(std::move(codePage)), reader(std::move(reader)), located(located) {}

FolderReader::FolderReader(const MailStore& store, const std::string& fileName)
    : texts(store.reader->openFolder(fileName)) {}

}  // namespace lumbrook
