#include "keymap/emitters/keybd_event_emitter.hpp"

#include <windows.h>

namespace keymap {

void KeybdEventEmitter::key(std::uint8_t vk, bool pressed) {
    keybd_event(vk, 0, pressed ? 0 : KEYEVENTF_KEYUP, 0);
}

}  // namespace keymap
