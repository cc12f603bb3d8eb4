#include "keymap/emitters/emitter_choice.hpp"

#include <QCoreApplication>

#include "keymap/emitters/keybd_event_emitter.hpp"

namespace keymap {

// keybd_event reaches whatever window has the focus and needs no rights: nothing to
// choose between, and nothing that can fail to open.
EmitterChoice chooseEmitter(const QString&, const QString&) {
    EmitterChoice c{std::make_unique<KeybdEventEmitter>(), QStringLiteral("keybd_event"),
                    QStringLiteral("keystrokes through keybd_event")};
    qWarning("%s: %s", qPrintable(QCoreApplication::applicationName()), qPrintable(c.message));
    return c;
}

}  // namespace keymap
