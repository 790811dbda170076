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

QString PrintPdfDirectory() {
    return qEnvironmentVariable("LUMBROOK_PRINT_PDF_DIR");
}

QString CurrentPrinterName() {
    QString name = QPrinterInfo::defaultPrinterName();
    if (name.isEmpty()) {
        const QStringList names = QPrinterInfo::availablePrinterNames();
        if (!names.isEmpty()) name = names.front();
    }
    return name;
}

TPrinterSetup::TTarget TPrinterSetup::Target() const {
    if (!PrintPdfDirectory().isEmpty()) return TTarget::PdfDirectory;
    if (!CurrentPrinterName().isEmpty()) return TTarget::Printer;
    return TTarget::None;
}

QPageLayout TPrinterSetup::PageLayout() const {
    if (Chosen) return *Chosen;
    if (Target() == TTarget::Printer) {
        if (const auto printer = MakePrinter()) return printer->pageLayout();
    }
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

std::unique_ptr<QPrinter> TPrinterSetup::MakePrinter() const {
    const QString name = CurrentPrinterName();
    if (name.isEmpty()) return nullptr;
    auto printer =
        std::make_unique<QPrinter>(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
    printer->setResolution(PrintResolution);
    if (Chosen) printer->setPageLayout(*Chosen);
    return printer;
}

namespace {

const QPageSize::PageSizeId PaperSizes[] = {
    QPageSize::A4,    QPageSize::A5,        QPageSize::A3, QPageSize::Letter,
    QPageSize::Legal, QPageSize::Executive, QPageSize::B5, QPageSize::Tabloid};

QDoubleSpinBox* MarginBox(double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, 50);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

}  // namespace

TPageLayoutDialog::TPageLayoutDialog(const QPageLayout& Layout, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Page setup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    PaperBox = new QComboBox(this);
    for (const QPageSize::PageSizeId id : PaperSizes) {
        PaperBox->addItem(QPageSize::name(id), static_cast<int>(id));
    }
    const int current = PaperBox->findData(static_cast<int>(Layout.pageSize().id()));
    PaperBox->setCurrentIndex(current >= 0 ? current : 0);

    auto* orientation = new QGroupBox(QStringLiteral("Orientation"), this);
    PortraitBtn = new QRadioButton(QStringLiteral("&Portrait"), orientation);
    LandscapeBtn = new QRadioButton(QStringLiteral("&Landscape"), orientation);
    (Layout.orientation() == QPageLayout::Landscape ? LandscapeBtn : PortraitBtn)->setChecked(true);
    auto* orientationRow = new QHBoxLayout(orientation);
    orientationRow->addWidget(PortraitBtn);
    orientationRow->addWidget(LandscapeBtn);

    const QMarginsF margins = Layout.margins(QPageLayout::Millimeter);
    auto* marginBox = new QGroupBox(QStringLiteral("Margins"), this);
    LeftMargin = MarginBox(margins.left(), marginBox);
    TopMargin = MarginBox(margins.top(), marginBox);
    RightMargin = MarginBox(margins.right(), marginBox);
    BottomMargin = MarginBox(margins.bottom(), marginBox);
    auto* marginForm = new QFormLayout(marginBox);
    marginForm->addRow(QStringLiteral("Left:"), LeftMargin);
    marginForm->addRow(QStringLiteral("Top:"), TopMargin);
    marginForm->addRow(QStringLiteral("Right:"), RightMargin);
    marginForm->addRow(QStringLiteral("Bottom:"), BottomMargin);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* paperForm = new QFormLayout;
    paperForm->addRow(QStringLiteral("Paper &size:"), PaperBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(paperForm);
    layout->addWidget(orientation);
    layout->addWidget(marginBox);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

QPageLayout TPageLayoutDialog::Layout() const {
    const auto id = static_cast<QPageSize::PageSizeId>(PaperBox->currentData().toInt());
    const QMarginsF margins(LeftMargin->value(), TopMargin->value(), RightMargin->value(),
                            BottomMargin->value());
    QPageLayout layout(QPageSize(id),
                       LandscapeBtn->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait,
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
