#pragma once

#include <QString>
#include <memory>

#include "keymap/key_emitter.hpp"

namespace keymap {

struct EmitterChoice {
    std::unique_ptr<KeyEmitter> emitter;  // never null: a NullEmitter when nothing works
    QString backend;                      // "uinput", "XTest", "keybd_event" or "none"
    QString message;                      // the line said on standard error
};

// Picks the keystroke backend once at start-up: uinput when the node is writable, else
// XTest when the X display opens, else none. Says on standard error which one is used,
// or why keystrokes cannot be delivered. Empty arguments mean /dev/uinput and $DISPLAY.
// On Windows it is always keybd_event, and the arguments are not looked at.
EmitterChoice chooseEmitter(const QString& uinputPath = QString(),
                            const QString& displayName = QString());

}  // namespace keymap
