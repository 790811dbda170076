#include "tests/gui/GuiTestStore.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lumbrook {

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumbrook-gui-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Dir = pattern + "/";
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

void WriteFolders(const std::string& storeDir, const std::vector<TDbxFolder>& folders) {
    std::vector<TDbxRecord> records;
    for (const auto& f : folders) records.push_back(FolderRecord(f));
    TDbxFileOptions options;
    options.Kind = TDbxFileKind::Folders;
    WriteBytes(storeDir + "Folders.dbx", BuildDbx(records, options).Bytes);
}

void WriteMessages(const std::string& storeDir, const std::string& fileName,
                   const std::vector<TDbxMessage>& messages) {
    std::vector<TDbxRecord> records;
    for (const auto& m : messages) records.push_back(MessageRecord(m));
    WriteBytes(storeDir + fileName, BuildDbx(records).Bytes);
}

TDbxMessage PlainMessage(std::int32_t id, const std::string& from, const std::string& subject,
                         std::int64_t unixTime, const std::string& marker) {
    TDbxMessage m;
    m.MessageId = id;
    m.From = from;
    m.To = "reader@example.org";
    m.Subject = subject;
    m.Date = UnixTimeToFileTime(unixTime);
    m.RawText = "From: " + from + "\r\nSubject: " + subject +
                "\r\nContent-Type: text/plain\r\n\r\n" + marker + "\r\n";
    return m;
}

TDbxMessage HtmlMessage(std::int32_t id, const std::string& from, const std::string& subject,
                        std::int64_t unixTime, const std::string& html) {
    TDbxMessage m = PlainMessage(id, from, subject, unixTime, "");
    m.RawText = "From: " + from + "\r\nSubject: " + subject +
                "\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n";
    return m;
}

TTestProgram::TTestProgram() : Paths(TAppPaths::ForProgram(Dir.Path())) {
    std::filesystem::create_directories(Dir.Path() + "template");
    WriteFile(Dir.Path() + "template/plain.htm",
              "<html><body>\r\n%%INHALT%%\r\n</body></html>\r\n");
    WriteFile(Dir.Path() + "template/sign.htm",
              "<html><head><title>\r\n%%UEBERSCHRIFT%%\r\n</title></head><body>\r\n"
              "%%INHALT%%\r\n<p>\r\n%%UNTERSCHRIFT%%\r\n</body></html>\r\n");
}

}  // namespace lumbrook
