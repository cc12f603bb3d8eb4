#pragma once

#include <cstdint>

#include "keymap/clock.hpp"

namespace testing_support {

// A clock that moves only when told to: virtual time for tests and benchmarks.
class ManualClock final : public keymap::Clock {
public:
    std::int64_t nowMs() const override { return now_; }
    void advance(std::int64_t ms) { now_ += ms; }
    void set(std::int64_t ms) { now_ = ms; }

private:
    std::int64_t now_ = 0;
};

}  // namespace testing_support
