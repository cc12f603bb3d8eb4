#pragma once

#include <QString>
#include <QStringList>

namespace ui {

// The languages the window speaks: its own Russian, "ru", first, then each translation
// built into the program (":/i18n/drevonix_XX.qm").
QStringList availableLanguages();

// The language for a desktop whose UI languages are `uiLanguages` (best first, as
// QLocale::uiLanguages() gives them) and whose DREVONIX_LANG is `override`: the override
// when it names one of `available`; else the first desktop language in `available`;
// Russian for C/POSIX (no language set); English for any other.
QString chooseLanguage(const QStringList& uiLanguages, const QString& override,
                       const QStringList& available);

// Installs the translation of `language` into the application, in place of an earlier
// one; "ru" installs none. False when there is no such translation (the texts stay Russian).
// Only the texts change: numbers keep following the locale.
bool useLanguage(const QString& language);

// The choice for this desktop and DREVONIX_LANG, installed. Returns the language in use.
QString useDesktopLanguage();

}  // namespace ui
