// The view's printing, as the printer path uses it, on a QPrinter that writes a
// PDF file (no printer driver is needed for that).

#include <gtest/gtest.h>

#include <QPrinter>
#include <QSignalSpy>
#include <memory>

#include "base/Errors.h"
#include "platform/browser/Printing.h"
#include "platform/browser/WebBrowser.h"
#include "tests/gui/GuiTestStore.h"

namespace lumbrook {
namespace {

std::unique_ptr<QPrinter> PdfPrinter(const std::string& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setResolution(PrintResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file));
    return printer;
}

TEST(BrowserPrinting, PrintsThePageOnShowOnceAtATime) {
    TTempDir dir;
    WriteFile(dir.Path() + "page.htm", "<html><body><p>PRINT ME</p></body></html>");
    TWebBrowser browser;
    QSignalSpy loaded(&browser, &TWebBrowser::DownloadComplete);
    browser.Navigate(QString::fromStdString(dir.Path() + "page.htm"));
    ASSERT_TRUE(loaded.wait(15000));
    ASSERT_TRUE(browser.LoadOk());

    QSignalSpy finished(&browser, &TWebBrowser::PrintFinished);
    browser.Print(PdfPrinter(dir.Path() + "printed.pdf"));
    EXPECT_TRUE(browser.Busy());
    // The engine would drop a second job without a word; the view refuses it.
    EXPECT_THROW(
        browser.PrintToPdf(QString::fromStdString(dir.Path() + "second.pdf"), QPageLayout()),
        ELumbrookError);
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_FALSE(browser.Busy());
    EXPECT_EQ(ReadFile(dir.Path() + "printed.pdf").rfind("%PDF", 0), 0u);
    EXPECT_FALSE(Exists(dir.Path() + "second.pdf"));

    // A printer that cannot be opened reports the failure.
    finished.clear();
    browser.Print(PdfPrinter(dir.Path() + "missing/printed.pdf"));
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_FALSE(finished.front().front().toBool());
    EXPECT_FALSE(browser.Busy());

    // A page that is not there does not count as loaded.
    browser.Navigate(QString::fromStdString(dir.Path() + "gone.htm"));
    ASSERT_TRUE(loaded.wait(15000));
    EXPECT_FALSE(browser.LoadOk());
}

}  // namespace
}  // namespace lumbrook
