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
        Dir = pattern;
        SetStoreRootOverride(Dir);
    }
    void TearDown() override {
        SetStoreRootOverride(std::nullopt);
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    std::string Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::string path = Dir + "/" + name;
        WriteBytes(path, bytes);
        return path;
    }
    TDbxImage Put(const std::string& name, const std::vector<TDbxRecord>& records,
                  const TDbxFileOptions& options = {}) {
        TDbxImage image = BuildDbx(records, options);
        Put(name, image.Bytes);
        return image;
    }

    TMessageList Messages(const std::string& name) {
        TMessageList list;
        ReadIndexFile(name, list);
        return list;
    }
    TFolderList Folders(const std::string& name = "folders.dbx") {
        TFolderList list;
        ReadIndexFile(name, list);
        return list;
    }

    std::string Dir;
};

inline TDbxFileOptions FolderFileOptions() {
    TDbxFileOptions options;
    options.Kind = TDbxFileKind::Folders;
    return options;
}

inline TDbxMessage SimpleMessage(int i, std::string text = {}) {
    TDbxMessage m;
    m.MessageId = i;
    m.From = "from" + std::to_string(i) + "@example.org";
    m.To = "to" + std::to_string(i) + "@example.org";
    m.Subject = "Subject " + std::to_string(i);
    m.Date = UnixTimeToFileTime(1'000'000'000 + i);
    m.RawText = text.empty() ? "Subject: Subject " + std::to_string(i) + "\r\n\r\nBody " +
                                   std::to_string(i) + "\r\n"
                             : std::move(text);
    return m;
}

inline std::vector<TDbxRecord> SimpleMessages(int n) {
    std::vector<TDbxRecord> records;
    for (int i = 0; i < n; ++i) records.push_back(MessageRecord(SimpleMessage(i)));
    return records;
}

}  // namespace lumbrook
