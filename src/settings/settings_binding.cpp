#include "settings/settings_binding.hpp"

#include <QCoreApplication>
#include <array>

namespace settings {
namespace {

using keymap::KeyField;
using keymap::KeyTick;

const QString kJCode = QStringLiteral("J.Code");
const QString kShift = QStringLiteral("Shift");
const QString kCtrl = QStringLiteral("Ctrl");
const QString kAlt = QStringLiteral("Alt");
const QString kSymbol = QStringLiteral("Symbol");
const QString kValue = QStringLiteral("Value");
const QString kDescript = QStringLiteral("Descript");
const QString kPosition = QStringLiteral("Position");
const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");
const QString kSystem = QStringLiteral("System");
const QString kDiffer = QStringLiteral("Differ");
const QString kValFirst = QStringLiteral("Val.First");
const QString kValNext = QStringLiteral("Val.Next");

// Media-player actions the twelve rows come with, in the window's language: they are
// the user's own texts once saved, so an English window saves them in English.
const std::array<const char*, keymap::KeyTableRows> kDescriptions = {
    QT_TRANSLATE_NOOP("settings", "Старт"),
    QT_TRANSLATE_NOOP("settings", "Стоп"),
    QT_TRANSLATE_NOOP("settings", "Следущая песня"),
    QT_TRANSLATE_NOOP("settings", "Предыдущая песня"),
    QT_TRANSLATE_NOOP("settings", "Вперед на 5 секунд"),
    QT_TRANSLATE_NOOP("settings", "Назад на 5 секунд"),
    QT_TRANSLATE_NOOP("settings", "Громче"),
    QT_TRANSLATE_NOOP("settings", "Тише"),
    QT_TRANSLATE_NOOP("settings", "На 10 песен вперед"),
    QT_TRANSLATE_NOOP("settings", "На 10 песен назад"),
    QT_TRANSLATE_NOOP("settings", "Пауза/Продолжить"),
    QT_TRANSLATE_NOOP("settings", "Закрыть"),
};

}  // namespace

QString rowSection(int row) {
    return QStringLiteral("Key %1").arg(row, 2, 10, QLatin1Char('0'));
}

RowDefaults rowDefaults(int row) {
    // Letters A..L, and as value the virtual-key code of the letter (65..76).
    const char letter = static_cast<char>('A' + row - 1);
    return {
        QString(QLatin1Char(letter)), QString::number(int{letter}),
        QCoreApplication::translate("settings", kDescriptions[static_cast<std::size_t>(row - 1)])};
}

void loadKeyTable(const IniFile& ini, keymap::KeyTableView& keys) {
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        const QString section = rowSection(row);
        const RowDefaults defaults = rowDefaults(row);
        keys.setText(row, KeyField::JCode,
                     ini.readString(section, kJCode, QString::fromLatin1(DefaultJCode)));
        keys.setTick(row, KeyTick::Shift, ini.readBool(section, kShift, false));
        keys.setTick(row, KeyTick::Ctrl, ini.readBool(section, kCtrl, false));
        keys.setTick(row, KeyTick::Alt, ini.readBool(section, kAlt, false));
        keys.setText(row, KeyField::Symbol, ini.readString(section, kSymbol, defaults.symbol));
        keys.setText(row, KeyField::Value, ini.readString(section, kValue, defaults.value));
        keys.setText(row, KeyField::Descript,
                     ini.readString(section, kDescript, defaults.descript));
    }
}

void loadSystemSettings(const IniFile& ini, keymap::SystemSettings& system) {
    const keymap::SystemSettings defaults;
    system.Differ = ini.readInteger(kSystem, kDiffer, defaults.Differ);
    system.ValFirst = ini.readInteger(kSystem, kValFirst, defaults.ValFirst);
    system.ValNext = ini.readInteger(kSystem, kValNext, defaults.ValNext);
}

void load(const IniFile& ini, keymap::KeyTableView& keys, WindowPositionView& window,
          keymap::SystemSettings& system) {
    loadKeyTable(ini, keys);
    window.setLeft(ini.readInteger(kPosition, kLeft, DefaultLeft));
    window.setTop(ini.readInteger(kPosition, kTop, DefaultTop));
    loadSystemSettings(ini, system);
}

void Save_all(IniFile& ini, const keymap::KeyTableView& keys, const WindowPositionView& window,
              const keymap::SystemSettings& system) {
    ini.reload();
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        const QString section = rowSection(row);
        ini.writeString(section, kJCode, keys.text(row, KeyField::JCode));
        ini.writeBool(section, kShift, keys.tick(row, KeyTick::Shift));
        ini.writeBool(section, kCtrl, keys.tick(row, KeyTick::Ctrl));
        ini.writeBool(section, kAlt, keys.tick(row, KeyTick::Alt));
        ini.writeString(section, kSymbol, keys.text(row, KeyField::Symbol));
        ini.writeString(section, kValue, keys.text(row, KeyField::Value));
        ini.writeString(section, kDescript, keys.text(row, KeyField::Descript));
    }
    ini.writeInteger(kPosition, kLeft, window.left());
    ini.writeInteger(kPosition, kTop, window.top());
    ini.writeInteger(kSystem, kDiffer, system.Differ);
    ini.writeInteger(kSystem, kValFirst, system.ValFirst);
    ini.writeInteger(kSystem, kValNext, system.ValNext);
    ini.save();
}

}  // namespace settings
