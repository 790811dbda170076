#include "mainwindow/PreviewOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <filesystem>

#include "mainwindow/MainWindowWidgets.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace lumbrook {

namespace {
constexpr int TemplateNameRole = Qt::UserRole;
}  // namespace

PreviewOptions::PreviewOptions(MainWindowWidgets& ui, const AppPaths& paths)
    : ui(ui), paths(paths) {}

void PreviewOptions::listTemplates(const CodePage& codePage) {
    ui.designBox->clear();
    for (const std::string& name : listDesignTemplates(paths)) {
        ui.designBox->addItem(QString::fromStdString(codePage.asUtf8(name)),
                              QByteArray::fromStdString(name));
    }
    ui.designBox->setCurrentIndex(ui.designBox->count() - 1);
}

Options PreviewOptions::current() const {
    Options options;
    options.designIndex = ui.designBox->currentIndex();
    options.previewWithDesign = ui.previewWithDesign->isChecked();
    options.fromField = ui.showFromField->isChecked();
    options.toField = ui.showToField->isChecked();
    options.subjectField = ui.showSubjectField->isChecked();
    options.dateField = ui.showDateField->isChecked();
    return options;
}

void PreviewOptions::open() {
    Options options = current();
    if (!openOptions(paths.optionsFile, options)) return;
    const bool inList = options.designIndex >= 0 && options.designIndex < ui.designBox->count();
    ui.designBox->setCurrentIndex(inList ? options.designIndex : -1);
    ui.previewWithDesign->setChecked(options.previewWithDesign);
    ui.showFromField->setChecked(options.fromField);
    ui.showToField->setChecked(options.toField);
    ui.showSubjectField->setChecked(options.subjectField);
    ui.showDateField->setChecked(options.dateField);
}

void PreviewOptions::save() const {
    const Options options = current();
    // An installed copy keeps its options in a configuration directory that may
    // not exist yet.
    forceDirectories(std::filesystem::path(paths.optionsFile).parent_path().string());
    saveOptions(paths.optionsFile, options);
}

Design PreviewOptions::design(const CodePage& codePage) const {
    Design design;
    design.apply = ui.previewWithDesign->isChecked();
    design.fields.from = ui.showFromField->isChecked();
    design.fields.to = ui.showToField->isChecked();
    design.fields.date = ui.showDateField->isChecked();
    design.fields.subject = ui.showSubjectField->isChecked();
    // The template box's entry as the file name it stands for; none for no entry.
    const int index = ui.designBox->currentIndex();
    const std::string name =
        index < 0 ? std::string()
                  : ui.designBox->itemData(index, TemplateNameRole).toByteArray().toStdString();
    design.templatePath = designTemplatePath(paths, name);
    design.codePage = codePage;
    return design;
}

}  // namespace lumbrook
