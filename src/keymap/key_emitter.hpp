#pragma once

#include <cstdint>
#include <vector>

namespace keymap {

// Where synthesised keystrokes go: one press or release of a Windows virtual key (0..255)
// at a time, queued into the system's keyboard input in the order given.
class KeyEmitter {
public:
    virtual ~KeyEmitter() = default;
    virtual void key(std::uint8_t vk, bool pressed) = 0;
};

// Drops every keystroke: the choice when no backend can deliver them.
class NullEmitter final : public KeyEmitter {
public:
    void key(std::uint8_t, bool) override {}
};

// Keeps every keystroke, for tests and measurements.
class RecordingEmitter final : public KeyEmitter {
public:
    struct Event {
        std::uint8_t vk;
        bool pressed;
        bool operator==(const Event&) const = default;
    };

    void key(std::uint8_t vk, bool pressed) override { events.push_back({vk, pressed}); }

    std::vector<Event> events;
};

}  // namespace keymap
