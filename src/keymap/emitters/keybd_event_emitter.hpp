#pragma once

#include "keymap/key_emitter.hpp"

namespace keymap {

// Windows: keybd_event with scan code 0, flags 0 or KEYEVENTF_KEYUP, no extra information.
class KeybdEventEmitter final : public KeyEmitter {
public:
    void key(std::uint8_t vk, bool pressed) override;
};

}  // namespace keymap
