#pragma once

// pageView: the HTML view of the preview, of printing and of the message window,
// a thin adapter over QWebEngineView with the operations the windows use.
//
// A mail viewer shows pages made from mail that anyone may have sent, so the view
// is locked down: no scripts, plugins or local storage; an off-the-record profile
// of its own (no cookies, cache or history on disk); every request other than
// file:, data: and about:blank refused, and file: ones too outside the directory
// of the page on show and the directories allowed with allowFilesIn (a mail must
// not show the user's other files); and no navigation away from the page the
// program loaded. A link the user clicks opens in the desktop's browser (http,
// https and mailto only), never inside the view.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/CodePage.h"

class QPageLayout;
class QPrinter;
class QWebEngineProfile;
class QWebEngineView;
class QWebEnginePage;

namespace lumbrook {

class ViewerPage;
struct FileScope;

class PageView : public QWidget {
    Q_OBJECT

  public:
    // Pages that name no character set are read in the code page textEncoding
    // names (a web label such as "windows-1252"); by default the setting's.
    explicit PageView(QWidget* parent = nullptr,
                      const std::string& textEncoding = CodePage::fromEnvironment().label());
    ~PageView() override;
    // The code page for pages that name none, from the next page on (another store,
    // or another choice of its text encoding).
    void setTextEncoding(const std::string& textEncoding);

    // Returns at once; the view loads on its own and signals downloadComplete. A
    // plain file path (relative references resolving beside the file) or a file:
    // URL loads that file; the empty address shows a blank page.
    void navigate(const QString& address);

    // The document on show, as text Navigate accepts again: the file's path, or
    // empty for the blank page.
    QString locationUrl() const;

    // Whether the last load that finished showed its document (a missing file does not).
    bool loadOk() const { return lastLoadOk; }

    // Prints the page on show without a dialog, on Printer with its page setup,
    // and keeps the printer until the job is handed over. Returns at once;
    // printFinished tells the outcome. The engine drops a second print while one
    // runs without a word, so a print asked for while Busy() throws instead.
    void print(std::unique_ptr<QPrinter> printer);
    // The same into a PDF file on pages of Layout: vector pages whose text can be
    // searched and copied. printFinished tells the outcome.
    void printToPdf(const QString& file, const QPageLayout& layout);

    // True while a page loads or a print is being handed over.
    bool busy() const { return loading || printing; }

    QWebEnginePage* page() const;

    // Lets pages load files inside dir (the preview's working directory) besides
    // those of their own directory.
    void allowFilesIn(const QString& dir);

    // Schemes a page may load anything from: "file", "data" and "about" (blank only).
    static bool isLocalUrl(const QUrl& url);
    // Links that may be handed to the desktop: http, https and mailto.
    static bool isExternalLink(const QUrl& url);
    // Whether a file: URL names a file inside one of the directories (absolute
    // paths), judged on the path with "." and ".." resolved.
    static bool isInsideDirectories(const QUrl& url, const QStringList& dirs);

  signals:
    // Raised each time a document finished loading (or failed to), whoever started it.
    void downloadComplete();
    // A print started by Print or printToPdf has been handed over (Ok) or failed.
    void printFinished(bool ok);

  private:
    void endPrint(bool ok);

    std::shared_ptr<FileScope> fileScope;  // shared with the request interceptor
    QWebEngineProfile* profile = nullptr;
    QWebEngineView* view = nullptr;
    ViewerPage* viewerPage = nullptr;
    bool loading = false;
    bool lastLoadOk = false;
    bool printing = false;
    std::uint64_t loadCount = 0;  // numbers each load's address
    std::unique_ptr<QPrinter> printer;  // the job's printer, until it is handed over
};

}  // namespace lumbrook
