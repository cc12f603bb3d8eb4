#pragma once

#include <QElapsedTimer>
#include <cstdint>

namespace keymap {

// Milliseconds on a clock that never goes back; only differences matter.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
};

// The monotonic clock, counting from the moment it was made.
class SteadyClock final : public Clock {
public:
    SteadyClock() { timer_.start(); }
    std::int64_t nowMs() const override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

}  // namespace keymap
