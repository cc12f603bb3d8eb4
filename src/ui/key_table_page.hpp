#pragma once

#include <QObject>
#include <QString>
#include <array>

#include "keymap/key_mapper.hpp"
#include "keymap/key_table_view.hpp"

class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QWidget;

namespace ui {

// The heading and lines of the multimedia key-code box, lines joined by a lone CR.
QString keyCodesInfoCaption();
QString keyCodesInfoText();

// Shown under a symbol edit when the released key has no virtual-key code we know.
QString unknownKeyText();

// The key table over the controls of the "Кнопки" page (jcodeNN, shiftNN, ctrlNN, altNN,
// smbNN, valNN, descNN, found by name under the given widget), and the key capture of
// the symbol edits: a key released in smbNN writes its character and its virtual-key code.
class KeyTablePage final : public QObject, public keymap::KeyTableView {
    Q_OBJECT
public:
    explicit KeyTablePage(QWidget* page, QObject* parent = nullptr);

    QString text(int row, keymap::KeyField field) const override;
    void setText(int row, keymap::KeyField field, const QString& text) override;
    bool tick(int row, keymap::KeyTick box) const override;
    void setTick(int row, keymap::KeyTick box, bool ticked) override;
    int focusedCodeRow() const override;

    // smb01KeyUp..smb12KeyUp: the released key's virtual-key code into row NN.
    void smbKeyUp(int row, int vk);

    // The virtual key of a key event: Windows gives it; on X11 and Wayland the physical
    // key's evdev code leads to it, so any layout yields the Windows code; without a
    // native code, the Qt key.
    static int virtualKeyOf(const QKeyEvent& event);

    // The box of multimedia key codes: OK only, no icon; modal to `window` (the main
    // window) alone, so that the tray icon works while it is open.
    static void infoClick(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        QLineEdit* jcode = nullptr;
        QCheckBox* shift = nullptr;
        QCheckBox* ctrl = nullptr;
        QCheckBox* alt = nullptr;
        QLineEdit* smb = nullptr;
        QLineEdit* val = nullptr;
        QLineEdit* desc = nullptr;
    };
    QLineEdit* edit(int row, keymap::KeyField field) const;
    QCheckBox* box(int row, keymap::KeyTick tick) const;

    std::array<Row, keymap::KeyTableRows> rows_{};
};

// WMNCActivate: keeps the key mapper's WindowActive in step with the main window's
// activation. Installs itself on the window; its owner keeps it no longer than the mapper.
class WindowActivationHook final : public QObject {
    Q_OBJECT
public:
    WindowActivationHook(QWidget* window, keymap::KeyMapper& mapper);

    void WMNCActivate(bool active) { mapper_.setWindowActive(active); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    keymap::KeyMapper& mapper_;
};

}  // namespace ui
