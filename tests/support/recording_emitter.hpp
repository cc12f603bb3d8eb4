#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "keymap/key_emitter.hpp"

namespace testing_support {

// Keeps every keystroke, in the order sent.
class RecordingEmitter final : public keymap::KeyEmitter {
public:
    struct Event {
        std::uint8_t vk;
        bool pressed;
        bool operator==(const Event&) const = default;
    };

    void key(std::uint8_t vk, bool pressed) override { events.push_back({vk, pressed}); }

    std::vector<Event> events;
};

// Every key that went down came up again, in complete taps: nothing is left held.
inline bool nothingHeld(const std::vector<RecordingEmitter::Event>& events) {
    std::array<int, 256> down{};
    for (const auto& e : events) down[e.vk] += e.pressed ? 1 : -1;
    for (int d : down)
        if (d != 0) return false;
    return true;
}

}  // namespace testing_support
