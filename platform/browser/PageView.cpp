#include "platform/browser/PageView.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QMenu>
#include <QPageLayout>
#include <QPrinter>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "base/Errors.h"
#include "platform/CodePage.h"

namespace lumbrook {

// The directories file: loads may come from. Written on the window's thread, read
// on the engine's IO thread.
struct FileScope {
    QMutex mutex;
    QString pageDir;         // the directory of the page navigate() asked for last
    QStringList extraDirs;  // allowFilesIn

    bool allows(const QUrl& url) {
        QMutexLocker lock(&mutex);
        QStringList dirs = extraDirs;
        if (!pageDir.isEmpty()) dirs.push_back(pageDir);
        return PageView::isInsideDirectories(url, dirs);
    }
};

namespace {

const QUrl BlankUrl(QStringLiteral("about:blank"));

// The engine hands addresses back percent-encoded; compare what they name.
bool sameDocument(const QUrl& a, const QUrl& b) {
    if (a.isLocalFile() || b.isLocalFile())
        return a.isLocalFile() && b.isLocalFile() && a.toLocalFile() == b.toLocalFile();
    return a.adjusted(QUrl::RemoveFragment) == b.adjusted(QUrl::RemoveFragment);
}

// Runs on the engine's IO thread: a pure test of the address, nothing shared.
class LocalOnlyInterceptor : public QWebEngineUrlRequestInterceptor {
  public:
    LocalOnlyInterceptor(std::shared_ptr<FileScope> scope, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), scope(std::move(scope)) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        if (!PageView::isLocalUrl(url) || (url.isLocalFile() && !scope->allows(url)))
            info.block(true);
    }

  private:
    std::shared_ptr<FileScope> scope;
};

void openExternally(const QUrl& url) {
    if (PageView::isExternalLink(url)) QDesktopServices::openUrl(url);
}

// Stands in for the new window a link with a target asks for: it takes the link's
// address, hands it to the desktop and goes away without loading anything.
class LinkCatcherPage : public QWebEnginePage {
  public:
    using QWebEnginePage::QWebEnginePage;

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        openExternally(url);
        deleteLater();
        return false;
    }
};

}  // namespace

class ViewerPage : public QWebEnginePage {
  public:
    using QWebEnginePage::QWebEnginePage;
    QUrl expected;  // the address Navigate asked for last

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (type == NavigationTypeLinkClicked) {
            openExternally(url);
            return false;
        }
        // The page itself may change only to what the program asked for (or be
        // reloaded); no redirects, forms or history steps. Frames inside it may
        // show local content only.
        if (!isMainFrame) return PageView::isLocalUrl(url);
        if (type == NavigationTypeReload) return sameDocument(url, this->url());
        return type != NavigationTypeFormSubmitted && type != NavigationTypeBackForward &&
               type != NavigationTypeRedirect && sameDocument(url, expected);
    }

    QWebEnginePage* createWindow(WebWindowType) override {
        return new LinkCatcherPage(profile(), this);
    }
};

namespace {

// Copy and select-all only: no reload, save, source view or inspector.
class ViewerView : public QWebEngineView {
  public:
    using QWebEngineView::QWebEngineView;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu menu(this);
        menu.addAction(page()->action(QWebEnginePage::Copy));
        menu.addAction(page()->action(QWebEnginePage::SelectAll));
        menu.exec(event->globalPos());
    }
};

void lockDown(QWebEngineSettings* s, const std::string& textEncoding) {
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    s->setAttribute(QWebEngineSettings::Accelerated2dCanvasEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    // Pages that name no character set are read in the store's code page, as the
    // mail client's own viewer read them, rather than left to the engine's guess.
    s->setDefaultTextEncoding(QString::fromStdString(textEncoding));
}

}  // namespace

void PageView::setTextEncoding(const std::string& textEncoding) {
    const QString label = QString::fromStdString(textEncoding);
    profile->settings()->setDefaultTextEncoding(label);
    viewerPage->settings()->setDefaultTextEncoding(label);
}

PageView::PageView(QWidget* parent, const std::string& textEncoding) : QWidget(parent) {
    // No storage name: off the record, nothing of it reaches the disk.
    profile = new QWebEngineProfile(this);
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setSpellCheckEnabled(false);
    fileScope = std::make_shared<FileScope>();
    profile->setUrlRequestInterceptor(new LocalOnlyInterceptor(fileScope, profile));
    lockDown(profile->settings(), textEncoding);

    view = new ViewerView(this);
    viewerPage = new ViewerPage(profile, view);
    lockDown(viewerPage->settings(), textEncoding);
    view->setPage(viewerPage);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    connect(viewerPage, &QWebEnginePage::loadStarted, this, [this] { loading = true; });
    connect(viewerPage, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        loading = false;
        lastLoadOk = ok;
        emit downloadComplete();
    });
    connect(view, &QWebEngineView::printFinished, this, [this](bool ok) { endPrint(ok); });
    connect(viewerPage, &QWebEnginePage::pdfPrintingFinished, this,
            [this](const QString&, bool ok) { endPrint(ok); });
}

PageView::~PageView() {
    // The page must go before the profile it was made with.
    delete view;
}

void PageView::navigate(const QString& address) {
    QUrl url;
    if (address.isEmpty()) {
        url = BlankUrl;
    } else if (address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) ||
               address.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0) {
        url = QUrl(address);
    } else {
        url = QUrl::fromLocalFile(address);
    }
    // The engine takes a load of the address on show for a reload and keeps the
    // scroll position; every page the program shows starts at its top, so each
    // load gets an address of its own (the query names no other file).
    if (url.isLocalFile()) url.setQuery(QStringLiteral("view=%1").arg(++loadCount));
    viewerPage->expected = url;
    {
        QMutexLocker lock(&fileScope->mutex);
        fileScope->pageDir =
            url.isLocalFile() ? QFileInfo(url.toLocalFile()).absolutePath() : QString();
    }
    view->load(url);
}

void PageView::print(std::unique_ptr<QPrinter> printer) {
    if (printing) throw LumbrookError(ErrorKind::PrinterBusy);
    printing = true;
    this->printer = std::move(printer);
    view->print(this->printer.get());
}

void PageView::printToPdf(const QString& file, const QPageLayout& layout) {
    if (printing) throw LumbrookError(ErrorKind::PrinterBusy);
    printing = true;
    viewerPage->printToPdf(file, layout);
}

void PageView::endPrint(bool ok) {
    // The engine has rendered every page into the printer: it may go now.
    printing = false;
    printer.reset();
    emit printFinished(ok);
}

QString PageView::locationUrl() const {
    const QUrl url = viewerPage->url();
    if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

QWebEnginePage* PageView::page() const {
    return viewerPage;
}

bool PageView::isLocalUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file") || scheme == QLatin1String("data")) return true;
    return scheme == QLatin1String("about") && url.path() == QLatin1String("blank");
}

void PageView::allowFilesIn(const QString& dir) {
    QMutexLocker lock(&fileScope->mutex);
    fileScope->extraDirs.push_back(QFileInfo(dir).absoluteFilePath());
}

bool PageView::isInsideDirectories(const QUrl& url, const QStringList& dirs) {
    if (!url.isLocalFile() || !url.host().isEmpty()) return false;
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (!QDir::isAbsolutePath(path)) return false;
    for (const QString& dir : dirs) {
        QString inside = QDir::cleanPath(dir);
        if (inside.isEmpty() || !QDir::isAbsolutePath(inside)) continue;
        if (!inside.endsWith(QLatin1Char('/'))) inside += QLatin1Char('/');
        if (path.startsWith(inside) || path + QLatin1Char('/') == inside) return true;
    }
    return false;
}

bool PageView::isExternalLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto");
}

}  // namespace lumbrook
