#include "keymap/emitters/xtest_emitter.hpp"

#include <QCoreApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <sys/socket.h>
#include <cerrno>

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
    watch_.reset();
    // A connection that is gone is left alone: any Xlib call on it ends the process.
    if (!display_) return;
    // Give the borrowed keycodes back, so the user's keymap is left as it was.
    for (const auto& [keysym, keycode] : borrowed_) {
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display_, static_cast<int>(keycode), 1, &none, 1);
    }
    XSync(display_, False);
    XCloseDisplay(display_);
}

void XTestEmitter::whenLost(std::function<void(const std::string&)> lost) {
    lost_ = std::move(lost);
    if (watch_ || !display_) return;
    watch_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(watch_.get(), &QSocketNotifier::activated, watch_.get(),
                     [this] { readConnection(); });
}

void XTestEmitter::readConnection() {
    // The end of the stream, or an error, is the server gone; anything else is events
    // (keymap changes), read now so that the socket does not stay readable.
    char byte = 0;
    const ssize_t n = ::recv(ConnectionNumber(display_), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
        }
        return;
    }
    watch_->setEnabled(false);
    display_ = nullptr;  // Xlib's connection is left as it is: closing it would call Xlib
    if (lost_) lost_("the X display has gone");
}

void XTestEmitter::note(std::uint8_t vk, const char* why) {
    if (reported_.insert(vk).second)
        qWarning("%s: virtual key %d %s; not sent", qPrintable(QCoreApplication::applicationName()),
                 vk, why);
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

// The binding stays until the end: a client translates a key event with the keymap it
// fetches when it sees the mapping change, which may be after a quick unbinding.
unsigned XTestEmitter::borrowKeycode(std::uint32_t keysym) {
    int spare = spareKeycode();
    if (spare == 0 && !borrowed_.empty()) {
        // All spare keycodes taken: an earlier binding makes room.
        spare = static_cast<int>(borrowed_.begin()->second);
        borrowed_.erase(borrowed_.begin());
    }
    if (spare == 0) return 0;
    KeySym sym = keysym;
    XChangeKeyboardMapping(display_, spare, 1, &sym, 1);
    XSync(display_, False);
    borrowed_[keysym] = static_cast<unsigned>(spare);
    return static_cast<unsigned>(spare);
}

void XTestEmitter::key(std::uint8_t vk, bool pressed) {
    if (!display_) return;
    const std::uint32_t keysym = vk::keysymFromVk(vk);
    if (keysym == 0) {
        note(vk, "has no X keysym");
        return;
    }
    // Xlib answers keysym lookups from its own copy of the keymap: bring it up to date
    // when the keymap changed (a new layout, our own bindings).
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
    }
    const auto borrowed = borrowed_.find(keysym);
    unsigned keycode =
        borrowed != borrowed_.end() ? borrowed->second : XKeysymToKeycode(display_, keysym);
    if (keycode == 0 && pressed) keycode = borrowKeycode(keysym);
    if (keycode == 0) {
        note(vk, "has no keycode in the X keymap and no spare keycode is free");
        return;
    }
    XTestFakeKeyEvent(display_, keycode, pressed ? True : False, CurrentTime);
    XFlush(display_);
}

}  // namespace keymap
