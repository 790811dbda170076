#pragma once

// The batch commands of the window (printing, print to PDF, saving, export), the
// printer setup and the messages dragged out of the list as .eml files: the walk
// is BatchRun's, the work for one message output/'s and the printing
// MessagePrinter's; here they are joined to the save/export dialog, the selection
// and the status bar. A batch runs on the window's thread;
// saving and export let window messages run before each message (Cancel, painting),
// printing while it waits for its page.

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "page/Page.h"
#include "platform/AppPaths.h"
#include "platform/TempFiles.h"
#include "store/MailStore.h"

class QMimeData;
class QTemporaryDir;
class QWidget;

namespace lumbrook {

class BatchRun;
class MainWindowWidgets;
class SaveExportDialog;
struct BatchCommand;
struct ListedMessages;

class BatchCommands : public QObject {
    Q_OBJECT

  public:
    // What the batches ask of the window.
    struct Window {
        std::function<int()> firstSelectedRow;
        // The design the options strip asks for.
        std::function<Design()> design;
        // A row's text, listed or found by the scan of the listed folder.
        std::function<MessageText(const MessageInfo&, const std::string&)> readMessage;
        std::function<bool()> searchRunning;
        std::function<SaveExportDialog*()> saveExportDialog;
    };

    BatchCommands(QWidget& window, MainWindowWidgets& ui, const MailStore& store,
                  const AppPaths& paths, const ListedMessages& listed, TempFiles& tempFiles,
                  Window hooks);
    ~BatchCommands() override;

    // From a batch command's set-up to its end.
    bool running() const { return batch.active; }
    // Cancel (or closing): the walk stops before its next message.
    void cancel();

    void print();
    void printToPdf();
    void printerSetup();
    void save();
    void exportSelected();
    // The messages of these records written as .eml files for a drag out of the list.
    QMimeData* dragData(const std::vector<int>& recordIndexes);

  private:
    // The selected records in the list's order (and their folder files into files).
    MessageList selectedRecords(std::vector<std::string>* files = nullptr) const;
    // The frame of every batch command: guard, set-up, the walk over the selection,
    // progress, completion box; the window is idle again however it ends.
    void run(const BatchCommand& command);
    BatchCommand printCommand();
    bool printOne(const MessageInfo& record);
    MessageText readMessage(const MessageInfo& record);
    void setProgress(std::int32_t percent);
    SaveExportDialog* saveDialog() const { return hooks.saveExportDialog(); }

    QWidget& window;
    MainWindowWidgets& ui;
    const MailStore& store;
    const AppPaths& paths;
    const ListedMessages& listed;
    TempFiles& tempFiles;
    Window hooks;
    std::unique_ptr<QTemporaryDir> dragDir;  // files dragged out of the list
    // The running batch: what it found damaged, for its completion box, and the
    // folder readers its messages are read through, one per folder file.
    struct Batch {
        bool active = false;
        BatchRun* run = nullptr;       // the walk, once it has begun
        bool cancelRequested = false;  // Cancel (or closing) before the walk began
        std::vector<std::string> damaged;
        std::map<std::string, FolderReader> readers;
        std::string file;  // of the message the batch is on
    } batch;
};

}  // namespace lumbrook
