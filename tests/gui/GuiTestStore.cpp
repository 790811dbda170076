#include "tests/gui/GuiTestStore.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QMainWindow>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "mainwindow/MainWindow.h"
#include "mainwindow/MessageListModel.h"
#include "platform/browser/PageView.h"

namespace lumbrook {

QToolButton* toolButton(const QMainWindow& window, const char* actionName) {
    auto* action = child<QAction>(window, actionName);
    for (QToolBar* bar : window.findChildren<QToolBar*>()) {
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) return button;
    }
    throw std::runtime_error(std::string("no tool bar button for ") + actionName);
}

MainWindowControls::MainWindowControls(const MainWindow& window)
    : list(child<QTreeView>(window, "messageList")),
      model(static_cast<MessageListModel*>(list->model())),
      tree(child<QTreeWidget>(window, "folderTree")),
      view(child<PageView>(window, "pageView")) {}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumbrook-gui-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

void writeFolders(const std::string& storeDir, const std::vector<DbxFolder>& folders) {
    std::vector<DbxRecord> records;
    for (const auto& f : folders) records.push_back(folderRecord(f));
    DbxFileOptions options;
    options.kind = DbxFileKind::Folders;
    writeBytes(storeDir + "Folders.dbx", buildDbx(records, options).bytes);
}

void writeMessages(const std::string& storeDir, const std::string& fileName,
                   const std::vector<DbxMessage>& messages) {
    std::vector<DbxRecord> records;
    for (const auto& m : messages) records.push_back(messageRecord(m));
    writeBytes(storeDir + fileName, buildDbx(records).bytes);
}

DbxMessage plainMessage(std::int32_t id, const std::string& from, const std::string& subject,
                         std::int64_t unixTime, const std::string& marker) {
    DbxMessage m;
    m.messageId = id;
    m.from = from;
    m.to = "reader@example.org";
    m.subject = subject;
    m.date = unixTimeToFileTime(unixTime);
    m.rawText = "From: " + from + "\r\nSubject: " + subject +
                "\r\nContent-Type: text/plain\r\n\r\n" + marker + "\r\n";
    return m;
}

DbxMessage htmlMessage(std::int32_t id, const std::string& from, const std::string& subject,
                        std::int64_t unixTime, const std::string& html) {
    DbxMessage m = plainMessage(id, from, subject, unixTime, "");
    m.rawText = "From: " + from + "\r\nSubject: " + subject +
                "\r\nContent-Type: text/html\r\n\r\n" + html + "\r\n";
    return m;
}

TestProgram::TestProgram() : paths(AppPaths::forProgram(dir.path())) {
    std::filesystem::create_directories(dir.path() + "template");
    writeFile(dir.path() + "template/plain.htm",
              "<html><body>\r\n%%INHALT%%\r\n</body></html>\r\n");
    writeFile(dir.path() + "template/sign.htm",
              "<html><head><title>\r\n%%UEBERSCHRIFT%%\r\n</title></head><body>\r\n"
              "%%INHALT%%\r\n<p>\r\n%%UNTERSCHRIFT%%\r\n</body></html>\r\n");
}

}  // namespace lumbrook
