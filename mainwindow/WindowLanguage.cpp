#include "mainwindow/WindowLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace lumbrook {

namespace {

struct InstalledTranslations {
    std::unique_ptr<QTranslator> program;
    std::unique_ptr<QTranslator> qt;  // buttons and file dialogs of Qt's own
};

InstalledTranslations& installed() {
    static InstalledTranslations translations;
    return translations;
}

void remove(std::unique_ptr<QTranslator>& translator) {
    if (!translator) return;
    QCoreApplication::removeTranslator(translator.get());
    translator.reset();
}

}  // namespace

bool installWindowLanguage(const QLocale& locale) {
    InstalledTranslations& current = installed();
    remove(current.program);
    remove(current.qt);
    if (locale.language() == QLocale::C) return false;

    auto program = std::make_unique<QTranslator>();
    if (!program->load(locale, QStringLiteral("lumbrook"), QStringLiteral("_"),
                       QStringLiteral(":/i18n")))
        return false;
    QCoreApplication::installTranslator(program.get());
    current.program = std::move(program);

    // Qt's own texts where the system has them (Debian: qt6-translations-l10n).
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        current.qt = std::move(qt);
    }
    return true;
}

}  // namespace lumbrook
