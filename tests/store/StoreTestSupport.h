#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/MailStore.h"
#include "dbxwriter/DbxWriter.h"

namespace lumbrook {

// A fresh store directory per test, and the store in it.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumbrook-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        storeInDir.emplace(dir, CodePage());
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::string path = dir + "/" + name;
        writeBytes(path, bytes);
        return path;
    }
    DbxImage put(const std::string& name, const std::vector<DbxRecord>& records,
                  const DbxFileOptions& options = {}) {
        DbxImage image = buildDbx(records, options);
        put(name, image.bytes);
        return image;
    }

    const MailStore& store() const { return *storeInDir; }
    MessageList messages(const std::string& name) const { return store().readMessages(name); }
    FolderList folders() const { return store().readFolders(); }
    std::string readMessageText(const std::string& name, std::int32_t dataOffset) const {
        return store().readMessageText(name, dataOffset);
    }

    std::string dir;
    std::optional<MailStore> storeInDir;
};

inline DbxFileOptions folderFileOptions() {
    DbxFileOptions options;
    options.kind = DbxFileKind::Folders;
    return options;
}

inline DbxMessage simpleMessage(int i, std::string text = {}) {
    DbxMessage m;
    m.messageId = i;
    m.from = "from" + std::to_string(i) + "@example.org";
    m.to = "to" + std::to_string(i) + "@example.org";
    m.subject = "Subject " + std::to_string(i);
    m.date = unixTimeToFileTime(1'000'000'000 + i);
    m.rawText = text.empty() ? "Subject: Subject " + std::to_string(i) + "\r\n\r\nBody " +
                                   std::to_string(i) + "\r\n"
                             : std::move(text);
    return m;
}

// A message record whose text lies in exactly these data blocks.
inline DbxRecord withBlocks(std::vector<DbxBlock> blocks) {
    DbxRecord r;
    r.fields = {DbxField::dataOffset()};
    r.blocks = std::move(blocks);
    return r;
}

inline DbxBlock block(std::string text, std::optional<std::int32_t> used = {}) {
    DbxBlock b;
    b.text = std::move(text);
    b.used = used;
    return b;
}

// A block changed as damage changes it: its next offset a raw value or another
// block of the chain, or its self offset wrong.
inline DbxBlock withNext(DbxBlock b, std::int32_t raw) {
    b.nextRaw = raw;
    return b;
}
inline DbxBlock withNextIndex(DbxBlock b, std::size_t index) {
    b.nextIndex = index;
    return b;
}
inline DbxBlock withSelf(DbxBlock b, std::int32_t self) {
    b.self = self;
    return b;
}

inline std::vector<DbxRecord> simpleMessages(int n) {
    std::vector<DbxRecord> records;
    for (int i = 0; i < n; ++i) records.push_back(messageRecord(simpleMessage(i)));
    return records;
}

}  // namespace lumbrook
