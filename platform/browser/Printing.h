#pragma once

// Where printed pages go and on what pages: the system's printer (CUPS) with the
// page setup chosen in "Printer setup", or, for a machine without a printer (and
// for the tests), a directory of PDF files named by LUMBROOK_PRINT_PDF_DIR.

#include <QDialog>
#include <QPageLayout>
#include <QString>
#include <memory>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QRadioButton;
class QPrinter;

namespace lumbrook {

// The engine paints every page at the printer's resolution: at a printer's
// usual 1200 dpi a page takes seconds and most of a gigabyte, at 300 a tenth
// of a second and a few hundred megabytes, sharp enough for mail.
inline constexpr int PrintResolution = 300;

// LUMBROOK_PRINT_PDF_DIR, empty when unset.
QString printPdfDirectory();

// The printer pages are printed on: the system's default one, else the first
// one installed; empty when none is installed.
QString currentPrinterName();

class PrinterSetup {
  public:
    enum class Target { None, Printer, PdfDirectory };

    // Looked up at each use: a printer installed (or the variable set) while the
    // program runs counts from then on. The PDF directory wins over a printer.
    Target target() const;

    // The page setup: what was chosen last, else the printer's own default, else
    // A4 upright with 10 mm margins.
    QPageLayout pageLayout() const;
    void setPageLayout(const QPageLayout& layout) { chosen = layout; }

    // The current printer at PrintResolution with the page setup; nullptr when
    // no printer is installed.
    std::unique_ptr<QPrinter> makePrinter() const;

  private:
    std::optional<QPageLayout> chosen;
};

// The page setup without a printer driver behind it (the system's page-setup
// dialog refuses to work on anything but an installed printer): paper size,
// orientation and margins of the PDF pages.
class PageLayoutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit PageLayoutDialog(const QPageLayout& layout, QWidget* parent = nullptr);
    QPageLayout layout() const;

    QComboBox* paperBox = nullptr;
    QRadioButton* portraitBtn = nullptr;
    QRadioButton* landscapeBtn = nullptr;
    QDoubleSpinBox* leftMargin = nullptr;
    QDoubleSpinBox* topMargin = nullptr;
    QDoubleSpinBox* rightMargin = nullptr;
    QDoubleSpinBox* bottomMargin = nullptr;
};

}  // namespace lumbrook
