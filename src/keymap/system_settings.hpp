#pragma once

#include <cstdint>

namespace keymap {

// The three code-matching and repeat numbers. Loaded once at start-up, written back
// unchanged at every save, never range-checked.
struct SystemSettings {
    std::int32_t Differ = 5;      // match tolerance, strict
    std::int32_t ValFirst = 200;  // first delay, in reports
    std::int32_t ValNext = 100;   // repeat interval, in reports
};

}  // namespace keymap
