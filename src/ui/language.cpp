#include "ui/language.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

namespace ui {
namespace {

const QString Own = QStringLiteral("ru");
const QString Fallback = QStringLiteral("en");
const QString Prefix = QStringLiteral("drevonix_");

// "en-GB", "en_GB.UTF-8", "EN" -> "en"; "C" and "POSIX" -> "C".
QString languageOf(const QString& name) {
    QString language = name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    language = language.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0);
    if (language == QLatin1String("C") || language == QLatin1String("POSIX"))
        return QStringLiteral("C");
    return language.toLower();
}

// One translator for the program's life; a new choice replaces what it holds.
QTranslator& translator() {
    static QTranslator instance;
    return instance;
}

}  // namespace

QStringList availableLanguages() {
    QStringList languages{Own};
    const QDir dir(QStringLiteral(":/i18n"));
    for (const QString& file : dir.entryList({Prefix + QStringLiteral("*.qm")}, QDir::Files))
        languages << file.mid(Prefix.size(), file.size() - Prefix.size() - 3);
    return languages;
}

QString chooseLanguage(const QStringList& uiLanguages, const QString& override,
                       const QStringList& available) {
    if (const QString forced = languageOf(override); available.contains(forced)) return forced;
    for (const QString& name : uiLanguages) {
        const QString language = languageOf(name);
        if (language == QLatin1String("C")) return Own;
        if (available.contains(language)) return language;
    }
    // A German desktop reads English more easily than Russian.
    return uiLanguages.isEmpty() ? Own : Fallback;
}

bool useLanguage(const QString& language) {
    QCoreApplication::removeTranslator(&translator());
    if (language == Own) return true;
    if (!translator().load(Prefix + language, QStringLiteral(":/i18n"))) return false;
    return QCoreApplication::installTranslator(&translator());
}

QString useDesktopLanguage() {
    const QString override = qEnvironmentVariable("DREVONIX_LANG");
    const QStringList available = availableLanguages();
    if (!override.isEmpty() && !available.contains(languageOf(override)))
        qWarning("%s: DREVONIX_LANG=%s is none of %s; the desktop's language is used",
                 qPrintable(QCoreApplication::applicationName()), qPrintable(override),
                 qPrintable(available.join(QStringLiteral(", "))));
    const QString language = chooseLanguage(QLocale::system().uiLanguages(), override, available);
    return useLanguage(language) ? language : Own;
}

}  // namespace ui
