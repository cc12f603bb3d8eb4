#pragma once

#include <QSocketNotifier>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "keymap/key_emitter.hpp"

struct _XDisplay;

namespace keymap {

// Types through the X server's XTest extension into the window with the keyboard focus.
// The virtual key goes through its keysym to a keycode of the current keymap; a keysym
// that the keymap lacks is bound to a spare keycode, which is given back at the end.
class XTestEmitter final : public KeyEmitter {
public:
    // Null, with the reason, when the display cannot be opened or lacks XTest.
    // An empty name means $DISPLAY.
    static std::unique_ptr<XTestEmitter> open(const QString& displayName, QString* error);

    ~XTestEmitter() override;
    XTestEmitter(const XTestEmitter&) = delete;
    XTestEmitter& operator=(const XTestEmitter&) = delete;

    void key(std::uint8_t vk, bool pressed) override;
    // Watches the connection from the event loop: a server that goes is noticed at once,
    // not at the next press (Xlib would end the whole process then).
    void whenLost(std::function<void(const std::string& why)> lost) override;

private:
    explicit XTestEmitter(_XDisplay* display) : display_(display) {}
    void readConnection();
    unsigned borrowKeycode(std::uint32_t keysym);
    int spareKeycode() const;
    void note(std::uint8_t vk, const char* why);

    _XDisplay* display_;  // null once the server has gone: never touched again
    std::map<std::uint32_t, unsigned> borrowed_;  // keysym -> spare keycode bound to it
    std::set<int> reported_;
    std::unique_ptr<QSocketNotifier> watch_;
    std::function<void(const std::string&)> lost_;
};

}  // namespace keymap
