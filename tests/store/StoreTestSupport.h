#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "store/oexpress.h"
#include "tests/support/DbxWriter.h"

namespace lumbrook {

// A fresh store directory per test, set as the store root.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumbrook-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        setStoreRootOverride(dir);
    }
    void TearDown() override {
        setStoreRootOverride(std::nullopt);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::string path = dir + "/" + name;
        writeBytes(path, bytes);
        return path;
    }
    TDbxImage put(const std::string& name, const std::vector<TDbxRecord>& records,
                  const TDbxFileOptions& options = {}) {
        TDbxImage image = buildDbx(records, options);
        put(name, image.bytes);
        return image;
    }

    TMessageList messages(const std::string& name) {
        TMessageList list;
        readIndexFile(name, list);
        return list;
    }
    TFolderList folders(const std::string& name = "folders.dbx") {
        TFolderList list;
        readIndexFile(name, list);
        return list;
    }

    std::string dir;
};

inline TDbxFileOptions folderFileOptions() {
    TDbxFileOptions options;
    options.kind = TDbxFileKind::Folders;
    return options;
}

inline TDbxMessage simpleMessage(int i, std::string text = {}) {
    TDbxMessage m;
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

inline std::vector<TDbxRecord> simpleMessages(int n) {
    std::vector<TDbxRecord> records;
    for (int i = 0; i < n; ++i) records.push_back(messageRecord(simpleMessage(i)));
    return records;
}

}  // namespace lumbrook
