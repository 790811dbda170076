// The view's printing, as the printer path uses it, on a QPrinter that writes a
// PDF file (no printer driver is needed for that).

#include <gtest/gtest.h>

#include <QPrinter>
#include <QSignalSpy>
#include <memory>

#include "base/Errors.h"
#include "platform/browser/Printing.h"
#include "platform/browser/PageView.h"
#include "tests/gui/GuiTestStore.h"

namespace lumbrook {
namespace {

std::unique_ptr<QPrinter> pdfPrinter(const std::string& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setResolution(PrintResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(file));
    return printer;
}

TEST(BrowserPrinting, PrintsThePageOnShowOnceAtATime) {
    TempDir dir;
    writeFile(dir.path() + "page.htm", "<html><body><p>PRINT ME</p></body></html>");
    PageView browser;
    QSignalSpy loaded(&browser, &PageView::downloadComplete);
    browser.navigate(QString::fromStdString(dir.path() + "page.htm"));
    ASSERT_TRUE(loaded.wait(15000));
    ASSERT_TRUE(browser.loadOk());

    QSignalSpy finished(&browser, &PageView::printFinished);
    browser.print(pdfPrinter(dir.path() + "printed.pdf"));
    EXPECT_TRUE(browser.busy());
    // The engine would drop a second job without a word; the view refuses it.
    EXPECT_THROW(
        browser.printToPdf(QString::fromStdString(dir.path() + "second.pdf"), QPageLayout()),
        LumbrookError);
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_FALSE(browser.busy());
    EXPECT_EQ(readFile(dir.path() + "printed.pdf").rfind("%PDF", 0), 0u);
    EXPECT_FALSE(exists(dir.path() + "second.pdf"));

    // A printer that cannot be opened reports the failure.
    finished.clear();
    browser.print(pdfPrinter(dir.path() + "missing/printed.pdf"));
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_FALSE(finished.front().front().toBool());
    EXPECT_FALSE(browser.busy());

    // A page that is not there does not count as loaded.
    browser.navigate(QString::fromStdString(dir.path() + "gone.htm"));
    ASSERT_TRUE(loaded.wait(15000));
    EXPECT_FALSE(browser.loadOk());
}

}  // namespace
}  // namespace lumbrook
