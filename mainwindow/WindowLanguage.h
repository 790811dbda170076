#pragma once

// The language the window speaks: the translations of its own texts (built from
// translations/*.ts into the program) and of Qt's dialogs, for a locale. The
// source texts are the window's texts as they always were; the C and POSIX
// locales load no translation, so with them the window shows exactly those.

#include <QLocale>

namespace lumbrook {

// Replaces the translations installed before with those for locale's languages
// (its uiLanguages, most wanted first; English for a language the program does not
// speak); false when none is installed. Call before the windows are built: they
// take their texts when they are made.
bool installWindowLanguage(const QLocale& locale);

}  // namespace lumbrook
