// The demo store that every build writes agrees with its readable sources.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "store/MailStore.h"
#include "tests/support/RecordTestSupport.h"

namespace lumbrook {
namespace {

namespace fs = std::filesystem;

std::string withCrLf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

TEST(DemoStore, MatchesItsSources) {
    const fs::path sources = LUMBROOK_DEMO_SOURCES;
    const fs::path store = LUMBROOK_DEMO_STORE;
    if (!fs::exists(sources / "folders.tsv")) GTEST_SKIP() << "no demo sources";
    const MailStore demo(store.string(), CodePage());

    // One folder record per line of folders.tsv, in that order.
    std::vector<std::vector<std::string>> lines;
    std::istringstream tsv(test::readFileBytes(sources / "folders.tsv"));
    for (std::string line; std::getline(tsv, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
        lines.push_back(fields);
    }
    const FolderList folders = demo.readFolders();
    ASSERT_EQ(folders.size(), lines.size());

    for (std::size_t i = 0; i < folders.size(); ++i) {
        const auto& f = folders[i];
        SCOPED_TRACE(lines[i][4]);
        EXPECT_EQ(f.folderId, std::stoi(lines[i][0]));
        EXPECT_EQ(f.parentId, std::stoi(lines[i][1]));
        EXPECT_EQ(f.isSpecial, lines[i][2] == "1");
        EXPECT_EQ(f.fileName, lines[i][3] == "-" ? "" : lines[i][3]);
        EXPECT_EQ(f.name, lines[i][4]);
        if (f.fileName.empty()) continue;

        // Every .eml of the folder, in name order, with CR LF line ends.
        std::vector<fs::path> emls;
        const fs::path dir = sources / "messages" / fs::path(f.fileName).stem();
        if (fs::is_directory(dir))
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().extension() == ".eml") emls.push_back(e.path());
        std::sort(emls.begin(), emls.end());
        const MessageList messages = demo.readMessages(f.fileName);
        ASSERT_EQ(messages.size(), emls.size());
        for (std::size_t m = 0; m < messages.size(); ++m) {
            const std::string text = demo.readMessageText(f.fileName, messages[m].dataOffset);
            EXPECT_EQ(text, withCrLf(test::readFileBytes(emls[m]))) << emls[m];
            std::string head = text.substr(0, text.find("\r\n\r\n"));
            for (std::size_t at; (at = head.find("\r\n ")) != std::string::npos ||
                                 (at = head.find("\r\n\t")) != std::string::npos;)
                head.erase(at, 2);  // unfolded, as the index holds the values
            EXPECT_NE(head.find("Subject: " + messages[m].subject), std::string::npos) << emls[m];
            if (head.rfind("Date:", 0) == 0 || head.find("\r\nDate:") != std::string::npos) {
                EXPECT_NE(messages[m].date, 0u) << emls[m];
            }
        }
    }
}

}  // namespace
}  // namespace lumbrook
