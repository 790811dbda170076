#pragma once

// MessagePrinter: the printer, its page setup and the steps of printing one
// message's page: loaded into a view of its own that is never shown (whatever the
// preview loads meanwhile, the page printed is the message's print page), handed
// to the printer or written as a PDF file, and the outcome waited for.

#include <string>

#include "platform/browser/Printing.h"
#include "store/DbxReader.h"

class QWidget;

namespace lumbrook {

class PageView;

class MessagePrinter {
  public:
    // The print view is made a hidden child of Parent.
    explicit MessagePrinter(QWidget* parent);

    const PrinterSetup& setup() const { return printerSettings; }

    // A print batch's set-up: where its pages go. False, after saying why, when
    // nothing can be printed. DateInName: PDF files are named as export names its files.
    bool prepare(QWidget* parent, bool dateInName);
    // The set-up of "Print to PDF...": the pages go into PDF files in Dir, named as
    // export names its files, or, with File given, the one page into File.
    void preparePdf(const std::string& dir, const std::string& file, bool dateInName);
    // Prints Page, the print page of Record; window messages run while it waits.
    // Throws when the page did not reach the printer, BatchAbandoned when the
    // program quits under it.
    void print(const std::string& page, const MessageInfo& record);

    // The "Printer setup" command.
    void changeSetup(QWidget* parent);

  private:
    PrinterSetup printerSettings;
    PageView* printView;
    bool pageLoaded = false;
    PrinterSetup::Target target = PrinterSetup::Target::None;
    std::string pdfDir;   // with PdfDirectory: ends with a separator
    std::string pdfFile;  // the one file chosen for a single message, else empty
    bool dateInName = true;
};

}  // namespace lumbrook
