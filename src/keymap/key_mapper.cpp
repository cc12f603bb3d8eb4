#include "keymap/key_mapper.hpp"

#include <cstdlib>

#include "keymap/whole_number.hpp"

namespace keymap {

void CaptureCode(KeyTableView& table, std::int32_t code) {
    const int row = table.focusedCodeRow();
    if (row < 1 || row > KeyTableRows) return;
    table.setText(row, KeyField::JCode, QString::number(code));
}

std::int32_t entryCode(const KeyTableView& table, int row) {
    return parseWholeNumber(table.text(row, KeyField::JCode)).value_or(0);
}

Keystroke entryKeystroke(const KeyTableView& table, int row) {
    Keystroke k;
    k.shift = table.tick(row, KeyTick::Shift);
    k.ctrl = table.tick(row, KeyTick::Ctrl);
    k.alt = table.tick(row, KeyTick::Alt);
    const QString value = table.text(row, KeyField::Value);
    if (!value.isEmpty()) {
        const std::int32_t n = parseWholeNumber(value).value_or(VkEscape);
        k.vk = static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) & 0xFFu);
    }
    return k;
}

void sendKeystroke(const Keystroke& k, KeyEmitter& emitter) {
    if (k.shift) emitter.key(VkShift, true);
    if (k.ctrl) emitter.key(VkControl, true);
    if (k.alt) emitter.key(VkMenu, true);
    if (k.vk) {
        emitter.key(*k.vk, true);
        emitter.key(*k.vk, false);
    }
    if (k.alt) emitter.key(VkMenu, false);
    if (k.ctrl) emitter.key(VkControl, false);
    if (k.shift) emitter.key(VkShift, false);
}

KeyMapper::KeyMapper(KeyTableView& table, KeyEmitter& emitter, const Clock& clock)
    : table_(table), emitter_(emitter), clock_(clock) {}

// The three tests run once each, in this order, on the count from before the report.
// The sum and the increment are done as the 32-bit arithmetic they stand for, without
// the undefined behaviour of a signed overflow (a count left growing with Val.Next 0, or
// settings near the range's ends).
bool KeyMapper::countReport() {
    const std::int64_t first = settings_.ValFirst;
    const std::int64_t next = settings_.ValNext;
    bool fires = false;
    if (reportCount_ == 0) fires = true;
    if (reportCount_ == first) fires = true;
    if (reportCount_ == first + next) {
        fires = true;
        reportCount_ = settings_.ValFirst;
    }
    reportCount_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(reportCount_) + 1u);
    return fires;
}

void KeyMapper::JoyCode(const std::int32_t& code) {
    const bool fires = countReport();
    lastReportTime_ = clock_.nowMs();
    if (!fires) return;

    CaptureCode(table_, code);
    if (windowActive_) return;

    // The difference is taken in 64 bits: any code text in the 32-bit range compares
    // by its true distance, never by a wrapped one.
    const std::int64_t differ = settings_.Differ;
    for (int row = 1; row <= KeyTableRows; ++row) {
        const std::int64_t distance = std::llabs(static_cast<std::int64_t>(code) -
                                                 static_cast<std::int64_t>(entryCode(table_, row)));
        if (distance >= differ) continue;
        const Keystroke k = entryKeystroke(table_, row);
        sendKeystroke(k, emitter_);
        if (observer_) observer_(code, row, k);
    }
}

void KeyMapper::Timer2Timer() {
    if (clock_.nowMs() - lastReportTime_ > ReleaseSilenceMs) reportCount_ = 0;
}

}  // namespace keymap
