#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "device/device_event_hook.hpp"
#include "keymap/clock.hpp"
#include "keymap/key_emitter.hpp"
#include "keymap/key_table_view.hpp"
#include "keymap/system_settings.hpp"

namespace keymap {

inline constexpr std::uint8_t VkShift = 0x10;
inline constexpr std::uint8_t VkControl = 0x11;
inline constexpr std::uint8_t VkMenu = 0x12;
inline constexpr std::uint8_t VkEscape = 0x1B;

// Writes the code's decimal text into the wheel-code edit that has the focus, if any.
void CaptureCode(KeyTableView& table, std::int32_t code);

// Reads a row's wheel code: an empty or unreadable text counts as 0.
std::int32_t entryCode(const KeyTableView& table, int row);

// What one row types: the ticked modifiers and the key. An empty key text means no key; an
// unreadable one means Escape; only the low eight bits of the number are the virtual key.
struct Keystroke {
    bool shift = false, ctrl = false, alt = false;
    std::optional<std::uint8_t> vk;
};
Keystroke entryKeystroke(const KeyTableView& table, int row);

// Sends a keystroke: ticked modifiers down, the key tapped, modifiers up.
void sendKeystroke(const Keystroke& k, KeyEmitter& emitter);

// Turns wheel-button reports into keystrokes: counts the reports of a press, lets the
// first one and the auto-repeats fire, captures the code into a focused code field and,
// unless the main window is active, types every matching table entry.
class KeyMapper final : public device::ButtonCodeSink {
public:
    KeyMapper(KeyTableView& table, KeyEmitter& emitter, const Clock& clock);

    // One wheel-button report.
    void JoyCode(const std::int32_t& code) override;

    // The 500 ms tick: a silence of more than a second means the button was released.
    void Timer2Timer();

    // Loaded from the settings file at start-up; the defaults until then.
    SystemSettings& systemSettings() { return settings_; }
    const SystemSettings& systemSettings() const { return settings_; }

    // True while the main window is the active window: no keystrokes then.
    void setWindowActive(bool active) { windowActive_ = active; }
    bool WindowActive() const { return windowActive_; }

    // Told of every keystroke sent, after it was sent: the report's code, the row, what it typed.
    using KeystrokeObserver = std::function<void(std::int32_t code, int row, const Keystroke&)>;
    void setKeystrokeObserver(KeystrokeObserver observer) { observer_ = std::move(observer); }

    std::int32_t ReportCount() const { return reportCount_; }
    std::int64_t LastReportTime() const { return lastReportTime_; }

    static constexpr int Timer2IntervalMs = 500;
    static constexpr std::int64_t ReleaseSilenceMs = 1000;

private:
    bool countReport();

    KeyTableView& table_;
    KeyEmitter& emitter_;
    const Clock& clock_;
    SystemSettings settings_;
    KeystrokeObserver observer_;
    bool windowActive_ = false;
    std::int32_t reportCount_ = 0;
    std::int64_t lastReportTime_ = 0;
};

}  // namespace keymap
