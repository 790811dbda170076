#pragma once

// WebBrowser1: the HTML view of the preview (and later of printing and the message
// window), a thin adapter over QWebEngineView with the operations the windows use.
//
// A mail viewer shows pages made from mail that anyone may have sent, so the view
// is locked down: no scripts, plugins or local storage; an off-the-record profile
// of its own (no cookies, cache or history on disk); every request other than
// file:, data: and about:blank refused; and no navigation away from the page the
// program loaded. A link the user clicks opens in the desktop's browser (http,
// https and mailto only), never inside the view.

#include <QString>
#include <QUrl>
#include <QWidget>

class QWebEngineProfile;
class QWebEngineView;
class QWebEnginePage;

namespace lumbrook {

class TViewerPage;

class TWebBrowser : public QWidget {
    Q_OBJECT

  public:
    explicit TWebBrowser(QWidget* parent = nullptr);
    ~TWebBrowser() override;

    // Returns at once; the view loads on its own and signals DownloadComplete. A
    // plain file path (relative references resolving beside the file) or a file:
    // URL loads that file; the empty address shows a blank page.
    void Navigate(const QString& Address);

    // The document on show, as text Navigate accepts again: the file's path, or
    // empty for the blank page.
    QString LocationURL() const;

    // True while a page loads. Printing (to a QPrinter at a sane resolution, with
    // its own busy flag, since the engine ignores a second print while one runs)
    // and the page-setup dialog attach here and extend it.
    bool Busy() const { return Loading || Printing; }

    QWebEnginePage* Page() const;

    // Schemes a page may load anything from: "file", "data" and "about" (blank only).
    static bool IsLocalUrl(const QUrl& url);
    // Links that may be handed to the desktop: http, https and mailto.
    static bool IsExternalLink(const QUrl& url);

  signals:
    // Raised each time a document finished loading (or failed to), whoever started it.
    void DownloadComplete();

  private:
    QWebEngineProfile* Profile = nullptr;
    QWebEngineView* View = nullptr;
    TViewerPage* ViewerPage = nullptr;
    bool Loading = false;
    bool Printing = false;
};

}  // namespace lumbrook
