#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace keymap {

// Where synthesised keystrokes go: one press or release of a Windows virtual key (0..255)
// at a time, queued into the system's keyboard input in the order given.
class KeyEmitter {
public:
    virtual ~KeyEmitter() = default;
    virtual void key(std::uint8_t vk, bool pressed) = 0;
    // `lost` is called once, with the reason, when the emitter can deliver nothing any more
    // (its X server went away); the emitter then drops every keystroke. Most never are.
    virtual void whenLost(std::function<void(const std::string& why)> lost) { (void)lost; }
};

// Drops every keystroke: the choice when no backend can deliver them.
class NullEmitter final : public KeyEmitter {
public:
    void key(std::uint8_t, bool) override {}
};

}  // namespace keymap
