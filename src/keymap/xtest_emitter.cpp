#include "keymap/xtest_emitter.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>

#include "keymap/vk_table.hpp"

namespace keymap {

std::unique_ptr<XTestEmitter> XTestEmitter::open(const QString& displayName, QString* error) {
    const QByteArray name = displayName.toLocal8Bit();
    Display* d = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
    if (!d) {
        if (error)
            *error = QStringLiteral("cannot open X display \"%1\"")
                         .arg(name.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName);
        return nullptr;
    }
    int event = 0, err = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &event, &err, &major, &minor)) {
        if (error) *error = QStringLiteral("the X display has no XTest extension");
        XCloseDisplay(d);
        return nullptr;
    }
    return std::unique_ptr<XTestEmitter>(new XTestEmitter(d));
}

XTestEmitter::~XTestEmitter() {
    // Give back any keycode still borrowed, so the user's keymap is left as it was.
    for (const auto& [vk, keycode] : bound_) {
        XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display_, static_cast<int>(keycode), 1, &none, 1);
    }
    XSync(display_, False);
    XCloseDisplay(display_);
}

void XTestEmitter::note(std::uint8_t vk, const char* why) {
    if (reported_.insert(vk).second)
        std::fprintf(stderr, "drevonix: virtual key %d %s; not sent\n", vk, why);
}

int XTestEmitter::spareKeycode() const {
    int minKey = 0, maxKey = 0;
    XDisplayKeycodes(display_, &minKey, &maxKey);
    int perKeycode = 0;
    KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(minKey), maxKey - minKey + 1,
                                      &perKeycode);
    if (!map) return 0;
    int spare = 0;
    // From the top, as the low keycodes are the physical keys.
    for (int kc = maxKey; kc >= minKey && spare == 0; --kc) {
        bool empty = true;
        for (int i = 0; i < perKeycode; ++i)
            if (map[(kc - minKey) * perKeycode + i] != NoSymbol) empty = false;
        if (empty) spare = kc;
    }
    XFree(map);
    return spare;
}

unsigned XTestEmitter::keycodeFor(std::uint8_t vk, std::uint32_t keysym) {
    const KeyCode kc = XKeysymToKeycode(display_, keysym);
    if (kc != 0) return kc;
    const int spare = spareKeycode();
    if (spare == 0) return 0;
    KeySym sym = keysym;
    XChangeKeyboardMapping(display_, spare, 1, &sym, 1);
    XSync(display_, False);
    bound_[vk] = static_cast<unsigned>(spare);
    return static_cast<unsigned>(spare);
}

void XTestEmitter::key(std::uint8_t vk, bool pressed) {
    const std::uint32_t keysym = vk::keysymFromVk(vk);
    if (keysym == 0) {
        note(vk, "has no X keysym");
        return;
    }
    unsigned keycode = 0;
    const auto held = bound_.find(vk);
    if (held != bound_.end()) {
        keycode = held->second;
    } else if (pressed) {
        keycode = keycodeFor(vk, keysym);
    } else {
        keycode = XKeysymToKeycode(display_, keysym);
    }
    if (keycode == 0) {
        note(vk, "has no keycode in the X keymap and no spare keycode is free");
        return;
    }
    XTestFakeKeyEvent(display_, keycode, pressed ? True : False, CurrentTime);
    if (!pressed && held != bound_.end()) {
        XSync(display_, False);
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display_, static_cast<int>(keycode), 1, &none, 1);
        bound_.erase(held);
    }
    XFlush(display_);
}

}  // namespace keymap
