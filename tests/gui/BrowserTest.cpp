// The preview's HTML view: local pages load, nothing remote is fetched, no script runs.

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QDir>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "platform/browser/PageView.h"
#include "tests/gui/GuiTestStore.h"

namespace lumbrook {
namespace {

class BrowserTest : public ::testing::Test {
  protected:
    void load(const QString& address) {
        QSignalSpy done(&browser, &PageView::downloadComplete);
        browser.navigate(address);
        ASSERT_TRUE(done.wait(15000));
    }

    TempDir dir;
    PageView browser;
};

TEST_F(BrowserTest, NavigatesToFilesAndBackToBlank) {
    const std::string path = dir.path() + "a page.htm";
    writeFile(path, "<html><head><title>T1</title></head><body>x</body></html>");
    load(QString::fromStdString(path));
    EXPECT_EQ(browser.locationUrl().toStdString(), path);
    EXPECT_EQ(browser.page()->title(), QStringLiteral("T1"));
    EXPECT_FALSE(browser.busy());

    // What locationUrl gives, Navigate takes again, and from the page's top: a new
    // message in the same file does not keep the scroll position of the one before.
    writeFile(path, "<html><head><title>T2</title></head><body><div style='height:9000px'>x"
                    "</div></body></html>");
    load(browser.locationUrl());
    EXPECT_EQ(browser.page()->title(), QStringLiteral("T2"));
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
    QSignalSpy scrolled(browser.page(), &QWebEnginePage::scrollPositionChanged);
    QWidget* surface = browser.findChild<QWebEngineView*>()->focusProxy();
    ASSERT_NE(surface, nullptr);
    QTest::keyClick(surface, Qt::Key_End);
    ASSERT_TRUE(scrolled.wait(15000));
    ASSERT_GT(browser.page()->scrollPosition().y(), 0);
    load(browser.locationUrl());
    QTest::qWait(200);  // a position the engine restores comes after the load
    EXPECT_EQ(browser.page()->scrollPosition().y(), 0);

    load(QString());
    EXPECT_TRUE(browser.locationUrl().isEmpty());
}

TEST_F(BrowserTest, RefusesRemoteLoadsScriptsAndRedirects) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        ++connections;
        delete server.nextPendingConnection();
    });
    const std::string remote = "http://127.0.0.1:" + std::to_string(server.serverPort());
    const std::string path = dir.path() + "mail.htm";
    writeFile(path,
              "<html><head><title>before</title>"
              "<link rel=\"stylesheet\" href=\"" +
                  remote +
                  "/a.css\">"
                  "<meta http-equiv=\"refresh\" content=\"0; url=" +
                  remote +
                  "/away\">"
                  "<script>document.title = 'script ran';</script></head><body>"
                  "<img src=\"" +
                  remote + "/b.png\"><iframe src=\"" + remote +
                  "/c\"></iframe>"
                  "<img src=\"//127.0.0.1:" +
                  std::to_string(server.serverPort()) +
                  "/d.png\">"
                  "</body></html>");
    load(QString::fromStdString(path));
    QTest::qWait(500);
    EXPECT_EQ(connections, 0);
    EXPECT_EQ(browser.page()->title(), QStringLiteral("before"));
    EXPECT_EQ(browser.locationUrl().toStdString(), path);
}

// A mail may show pictures of its own directory, never other files of the user's.
TEST_F(BrowserTest, FilesOutsideThePagesDirectoryAreRefused) {
    const std::string png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==")
                                .toStdString();
    QDir(QString::fromStdString(dir.path())).mkpath("page");
    QDir(QString::fromStdString(dir.path())).mkpath("work");
    writeFile(dir.path() + "page/inside.png", png);
    writeFile(dir.path() + "work/allowed.png", png);
    writeFile(dir.path() + "secret.png", png);
    const std::string path = dir.path() + "page/mail.htm";
    writeFile(path, "<img src=\"inside.png\"><img src=\"file://" + dir.path() +
                        "secret.png\"><img src=\"../secret.png\"><img src=\"../work/allowed.png\">");
    browser.allowFilesIn(QString::fromStdString(dir.path() + "work"));
    load(QString::fromStdString(path));
    // Page scripts are off; the program's own world still runs.
    QString widths;
    bool answered = false;
    browser.page()->runJavaScript(
        "Array.from(document.images).map(i => i.naturalWidth).join()",
        QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
            widths = v.toString();
            answered = true;
        });
    QElapsedTimer waited;
    waited.start();
    while (!answered && waited.elapsed() < 10000) QTest::qWait(20);
    EXPECT_EQ(widths, QStringLiteral("1,0,0,1"));

    const QStringList dirs{QStringLiteral("/home/u/work")};
    EXPECT_TRUE(PageView::isInsideDirectories(QUrl("file:///home/u/work/a.png"), dirs));
    EXPECT_TRUE(PageView::isInsideDirectories(QUrl("file:///home/u/work/sub/../b.png"), dirs));
    EXPECT_FALSE(PageView::isInsideDirectories(QUrl("file:///home/u/work/../x.png"), dirs));
    EXPECT_FALSE(PageView::isInsideDirectories(QUrl("file:///home/u/workshop/x.png"), dirs));
    EXPECT_FALSE(PageView::isInsideDirectories(QUrl("file:///home/u/work%2F..%2Fx.png"), dirs));
    EXPECT_FALSE(PageView::isInsideDirectories(QUrl("file://server/home/u/work/a.png"), dirs));
    EXPECT_FALSE(PageView::isInsideDirectories(QUrl("file:///etc/passwd"), dirs));
}

// Receives what the view hands to the desktop instead of starting a browser.
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(BrowserTest, ClickedLinksGoToTheDesktopNotIntoTheView) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    const std::string path = dir.path() + "mail.htm";
    writeFile(path,
              "<html><body style=\"margin:0\"><a href=\"https://example.org/x\" "
              "style=\"display:block;width:100%;height:300px\">link</a></body></html>");
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
    load(QString::fromStdString(path));
    auto* view = browser.findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    QWidget* surface = view->focusProxy();
    ASSERT_NE(surface, nullptr);
    QTest::qWait(200);  // the first frame must be painted before it takes clicks
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(50, 50));
    QElapsedTimer waited;
    waited.start();
    while (catcher.urls.isEmpty() && waited.elapsed() < 5000) QTest::qWait(20);
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls.front(), QUrl("https://example.org/x"));
    QTest::qWait(200);
    EXPECT_EQ(browser.locationUrl().toStdString(), path);
}

TEST(BrowserUrls, OnlyLocalContentAndOnlyWebAndMailLinksLeave) {
    EXPECT_TRUE(PageView::isLocalUrl(QUrl("file:///tmp/x.htm")));
    EXPECT_TRUE(PageView::isLocalUrl(QUrl("data:image/gif;base64,R0lG")));
    EXPECT_TRUE(PageView::isLocalUrl(QUrl("about:blank")));
    EXPECT_FALSE(PageView::isLocalUrl(QUrl("about:srcdoc2")));
    EXPECT_FALSE(PageView::isLocalUrl(QUrl("http://example.org/")));
    EXPECT_FALSE(PageView::isLocalUrl(QUrl("ftp://example.org/")));
    EXPECT_FALSE(PageView::isLocalUrl(QUrl("blob:file:///x")));
    EXPECT_TRUE(PageView::isExternalLink(QUrl("https://example.org/")));
    EXPECT_TRUE(PageView::isExternalLink(QUrl("HTTP://example.org/")));
    EXPECT_TRUE(PageView::isExternalLink(QUrl("mailto:a@example.org")));
    EXPECT_FALSE(PageView::isExternalLink(QUrl("file:///etc/passwd")));
    EXPECT_FALSE(PageView::isExternalLink(QUrl("javascript:alert(1)")));
}

}  // namespace
}  // namespace lumbrook

#include "BrowserTest.moc"
