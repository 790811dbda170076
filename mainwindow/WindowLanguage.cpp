#include "mainwindow/WindowLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
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
    // The languages asked for messages (LC_MESSAGES, LANGUAGE) may differ from the
    // locale's own: those decide, and the C or POSIX locale asks for none.
    const QStringList languages = locale.uiLanguages();
    if (languages.isEmpty() || languages.front() == QLatin1String("C") ||
        languages.front() == QLatin1String("POSIX"))
        return false;

    // A language the program does not speak gets English, not the source texts' mix.
    auto program = std::make_unique<QTranslator>();
    const QString name = QStringLiteral("lumbrook");
    const QString dir = QStringLiteral(":/i18n");
    if (!program->load(locale, name, QStringLiteral("_"), dir) &&
        !program->load(name + QStringLiteral("_en"), dir))
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
