#include "ui/key_table_page.hpp"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QToolTip>
#include <QWidget>
#include <algorithm>

#include "common/cp1251.hpp"
#include "keymap/vk_table.hpp"

namespace ui {

using keymap::KeyField;
using keymap::KeyTick;

QString keyCodesInfoCaption() {
    return QCoreApplication::translate("KeyCodesInfo", "Коды мультимедийных клавиш");
}

QString keyCodesInfoText() {
    // One text per line: a translator sees the table as the box shows it.
    const char* const lines[] = {
        QT_TRANSLATE_NOOP("KeyCodesInfo", "Вы можете вручную изменить параметр"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "Valume (Val) в файле Control.ini"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "Val описание"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "173 приглушение"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "174 громкость -"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "175 громкость +"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "176 следующий трек"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "177 предыдущий трек"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "178 стоп"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "179 плей/пауза"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", "181 открыть плеер"),
        QT_TRANSLATE_NOOP("KeyCodesInfo", " 95 спящий режим"),
    };
    QStringList shown;
    for (const char* line : lines) shown << QCoreApplication::translate("KeyCodesInfo", line);
    return shown.join(QLatin1Char('\r'));
}

QString unknownKeyText() {
    return QCoreApplication::translate(
        "KeyCodesInfo",
        "Клавиша не распознана. Её код можно вписать вручную в параметр Value файла Control.ini.");
}

namespace {

template <typename W>
W* find(QWidget* page, const char* prefix, int row) {
    const QString name =
        QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(row, 2, 10, QLatin1Char('0'));
    return page->findChild<W*>(name);
}

}  // namespace

KeyTablePage::KeyTablePage(QWidget* page, QObject* parent) : QObject(parent) {
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        Row& r = rows_[row - 1];
        r.jcode = find<QLineEdit>(page, "jcode", row);
        r.shift = find<QCheckBox>(page, "shift", row);
        r.ctrl = find<QCheckBox>(page, "ctrl", row);
        r.alt = find<QCheckBox>(page, "alt", row);
        r.smb = find<QLineEdit>(page, "smb", row);
        r.val = find<QLineEdit>(page, "val", row);
        r.desc = find<QLineEdit>(page, "desc", row);
        if (r.smb) r.smb->installEventFilter(this);
    }
}

QLineEdit* KeyTablePage::edit(int row, KeyField field) const {
    if (row < 1 || row > keymap::KeyTableRows) return nullptr;
    const Row& r = rows_[row - 1];
    switch (field) {
        case KeyField::JCode:
            return r.jcode;
        case KeyField::Symbol:
            return r.smb;
        case KeyField::Value:
            return r.val;
        case KeyField::Descript:
            return r.desc;
    }
    return nullptr;
}

QCheckBox* KeyTablePage::box(int row, KeyTick tick) const {
    if (row < 1 || row > keymap::KeyTableRows) return nullptr;
    const Row& r = rows_[row - 1];
    switch (tick) {
        case KeyTick::Shift:
            return r.shift;
        case KeyTick::Ctrl:
            return r.ctrl;
        case KeyTick::Alt:
            return r.alt;
    }
    return nullptr;
}

QString KeyTablePage::text(int row, KeyField field) const {
    const QLineEdit* e = edit(row, field);
    return e ? e->text() : QString();
}

void KeyTablePage::setText(int row, KeyField field, const QString& text) {
    if (QLineEdit* e = edit(row, field)) e->setText(text);
}

bool KeyTablePage::tick(int row, KeyTick tick) const {
    const QCheckBox* b = box(row, tick);
    return b && b->isChecked();
}

void KeyTablePage::setTick(int row, KeyTick tick, bool ticked) {
    if (QCheckBox* b = box(row, tick)) b->setChecked(ticked);
}

int KeyTablePage::focusedCodeRow() const {
    for (int row = 1; row <= keymap::KeyTableRows; ++row)
        if (rows_[row - 1].jcode && rows_[row - 1].jcode->hasFocus()) return row;
    return 0;
}

void KeyTablePage::smbKeyUp(int row, int vk) {
    setText(row, KeyField::Symbol,
            QString(common::cp1251Char(static_cast<unsigned char>(vk & 0xFF))));
    setText(row, KeyField::Value, QString::number(vk & 0xFFFF));
}

int KeyTablePage::virtualKeyOf(const QKeyEvent& event) {
    int vk = 0;
#ifdef Q_OS_WIN
    vk = static_cast<int>(event.nativeVirtualKey());
#else
    const QString platform = QGuiApplication::platformName();
    const bool xkbKeycodes =
        platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    // With NumLock off (or Shift held) a keypad digit is a navigation key, and Windows
    // names it so (keypad 1 is End); only the keysym tells which one it was.
    if (xkbKeycodes) vk = keymap::vk::vkFromKeypadKeysym(event.nativeVirtualKey());
    // X and Wayland key codes are the kernel's evdev codes plus 8.
    if (vk == 0 && xkbKeycodes && event.nativeScanCode() > 8)
        vk = keymap::vk::vkFromEvdev(static_cast<int>(event.nativeScanCode()) - 8);
#endif
    if (vk == 0) vk = keymap::vk::vkFromQtKey(event.key());
    return vk;
}

bool KeyTablePage::eventFilter(QObject* watched, QEvent* event) {
    const auto row = std::find_if(rows_.begin(), rows_.end(),
                                  [watched](const Row& r) { return r.smb == watched; });
    if (row == rows_.end()) return QObject::eventFilter(watched, event);
    // The Menu key is a key to learn like any other, not a request for the edit's menu.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard)
        return true;
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // X repeats a held key as release/press pairs; Windows sends one release at the end.
        if (!key->isAutoRepeat()) {
            if (const int vk = virtualKeyOf(*key))
                smbKeyUp(static_cast<int>(row - rows_.begin()) + 1, vk);
            else
                QToolTip::showText(row->smb->mapToGlobal(QPoint(0, row->smb->height())),
                                   unknownKeyText(), row->smb);
        }
    }
    return QObject::eventFilter(watched, event);
}

void KeyTablePage::infoClick(QWidget* window) {
    QMessageBox box(QMessageBox::NoIcon, keyCodesInfoCaption(), keyCodesInfoText(), QMessageBox::Ok,
                    window);
    // An application-modal box would block the tray icon's window too.
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

WindowActivationHook::WindowActivationHook(QWidget* window, keymap::KeyMapper& mapper)
    : window_(window), mapper_(mapper) {
    window_->installEventFilter(this);
}

bool WindowActivationHook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::ActivationChange)
        WMNCActivate(window_->isActiveWindow());
    return QObject::eventFilter(watched, event);
}

}  // namespace ui
