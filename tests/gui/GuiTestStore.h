#pragma once

// A temporary program directory (templates, options, working directory) and a
// store written with the project's .dbx writer, for the window tests.

#include <QObject>

class QTreeView;
class QTreeWidget;
#include <QString>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/AppPaths.h"
#include "dbxwriter/DbxWriter.h"

class QMainWindow;
class QToolButton;

namespace lumbrook {

class MainWindow;
class MessageListModel;
class PageView;

// A control of a window by its object name; throws when there is none.
template <typename T>
T* child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found) throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

// The main window's tool bar button of an action ("saveAction", ...).
QToolButton* toolButton(const QMainWindow& window, const char* actionName);

// The main window's controls the tests use most.
struct MainWindowControls {
    explicit MainWindowControls(const MainWindow& window);
    QTreeView* list;
    MessageListModel* model;
    QTreeWidget* tree;
    PageView* view;
};

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return dir; }  // ends with a separator

  private:
    std::string dir;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);

void writeFolders(const std::string& storeDir, const std::vector<DbxFolder>& folders);
void writeMessages(const std::string& storeDir, const std::string& fileName,
                   const std::vector<DbxMessage>& messages);

// A message record with a plain-text body; Marker is its one body line.
DbxMessage plainMessage(std::int32_t id, const std::string& from, const std::string& subject,
                         std::int64_t unixTime, const std::string& marker);
// A message record with an HTML body.
DbxMessage htmlMessage(std::int32_t id, const std::string& from, const std::string& subject,
                        std::int64_t unixTime, const std::string& html);

// A program directory with two design templates, "plain.htm" and "sign.htm" (the
// last one, chosen at start), and its paths.
struct TestProgram {
    TestProgram();
    TempDir dir;
    AppPaths paths;
    std::string mailPage() const { return paths.workDir + "mail.htm"; }
};

}  // namespace lumbrook
