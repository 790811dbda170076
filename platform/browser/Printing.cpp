#include "platform/browser/Printing.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace lumbrook {

QString printPdfDirectory() {
    return qEnvironmentVariable("LUMBROOK_PRINT_PDF_DIR");
}

QString currentPrinterName() {
    QString name = QPrinterInfo::defaultPrinterName();
    if (name.isEmpty()) {
        const QStringList names = QPrinterInfo::availablePrinterNames();
        if (!names.isEmpty()) name = names.front();
    }
    return name;
}

PrinterSetup::Target PrinterSetup::target() const {
    if (!printPdfDirectory().isEmpty()) return Target::PdfDirectory;
    if (!currentPrinterName().isEmpty()) return Target::Printer;
    return Target::None;
}

QPageLayout PrinterSetup::pageLayout() const {
    if (chosen) return *chosen;
    if (target() == Target::Printer) {
        if (const auto printer = makePrinter()) return printer->pageLayout();
    }
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

std::unique_ptr<QPrinter> PrinterSetup::makePrinter() const {
    const QString name = currentPrinterName();
    if (name.isEmpty()) return nullptr;
    auto printer =
        std::make_unique<QPrinter>(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
    printer->setResolution(PrintResolution);
    if (chosen) printer->setPageLayout(*chosen);
    return printer;
}

namespace {

const QPageSize::PageSizeId PaperSizes[] = {
    QPageSize::A4,    QPageSize::A5,        QPageSize::A3, QPageSize::Letter,
    QPageSize::Legal, QPageSize::Executive, QPageSize::B5, QPageSize::Tabloid};

QDoubleSpinBox* marginSpinBox(double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, 50);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

}  // namespace

PageLayoutDialog::PageLayoutDialog(const QPageLayout& initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Page setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    paperBox = new QComboBox(this);
    for (const QPageSize::PageSizeId id : PaperSizes) {
        paperBox->addItem(QPageSize::name(id), static_cast<int>(id));
    }
    const int current = paperBox->findData(static_cast<int>(initial.pageSize().id()));
    paperBox->setCurrentIndex(current >= 0 ? current : 0);

    auto* orientation = new QGroupBox(tr("Orientation"), this);
    portraitBtn = new QRadioButton(tr("&Portrait"), orientation);
    landscapeBtn = new QRadioButton(tr("&Landscape"), orientation);
    (initial.orientation() == QPageLayout::Landscape ? landscapeBtn : portraitBtn)->setChecked(true);
    auto* orientationRow = new QHBoxLayout(orientation);
    orientationRow->addWidget(portraitBtn);
    orientationRow->addWidget(landscapeBtn);

    const QMarginsF margins = initial.margins(QPageLayout::Millimeter);
    auto* marginGroup = new QGroupBox(tr("Margins"), this);
    leftMargin = marginSpinBox(margins.left(), marginGroup);
    topMargin = marginSpinBox(margins.top(), marginGroup);
    rightMargin = marginSpinBox(margins.right(), marginGroup);
    bottomMargin = marginSpinBox(margins.bottom(), marginGroup);
    auto* marginForm = new QFormLayout(marginGroup);
    marginForm->addRow(tr("Left:"), leftMargin);
    marginForm->addRow(tr("Top:"), topMargin);
    marginForm->addRow(tr("Right:"), rightMargin);
    marginForm->addRow(tr("Bottom:"), bottomMargin);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* paperForm = new QFormLayout;
    paperForm->addRow(tr("Paper &size:"), paperBox);
    auto* column = new QVBoxLayout(this);
    column->addLayout(paperForm);
    column->addWidget(orientation);
    column->addWidget(marginGroup);
    column->addWidget(buttons);
    setFixedSize(sizeHint());
}

QPageLayout PageLayoutDialog::layout() const {
    const auto id = static_cast<QPageSize::PageSizeId>(paperBox->currentData().toInt());
    const QMarginsF margins(leftMargin->value(), topMargin->value(), rightMargin->value(),
                            bottomMargin->value());
    QPageLayout layout(QPageSize(id),
                       landscapeBtn->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(), QPageLayout::Millimeter);
    // Margins wider than the paper allows are cut down to what fits.
    if (!layout.setMargins(margins)) {
        const QMarginsF most = layout.maximumMargins();
        layout.setMargins(QMarginsF(
            std::min(margins.left(), most.left()), std::min(margins.top(), most.top()),
            std::min(margins.right(), most.right()), std::min(margins.bottom(), most.bottom())));
    }
    return layout;
}

}  // namespace lumbrook
