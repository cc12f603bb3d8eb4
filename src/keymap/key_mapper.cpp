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

void sendEntryKeystroke(const KeyTableView& table, int row, KeyEmitter& emitter) {
    const bool shift = table.tick(row, KeyTick::Shift);
    const bool ctrl = table.tick(row, KeyTick::Ctrl);
    const bool alt = table.tick(row, KeyTick::Alt);
    const QString value = table.text(row, KeyField::Value);

    if (shift) emitter.key(VkShift, true);
    if (ctrl) emitter.key(VkControl, true);
    if (alt) emitter.key(VkMenu, true);
    if (!value.isEmpty()) {
        const std::int32_t k = parseWholeNumber(value).value_or(VkEscape);
        const auto vk = static_cast<std::uint8_t>(static_cast<std::uint32_t>(k) & 0xFFu);
        emitter.key(vk, true);
        emitter.key(vk, false);
    }
    if (alt) emitter.key(VkMenu, false);
    if (ctrl) emitter.key(VkControl, false);
    if (shift) emitter.key(VkShift, false);
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
        if (distance < differ) sendEntryKeystroke(table_, row, emitter_);
    }
}

void KeyMapper::Timer2Timer() {
    if (clock_.nowMs() - lastReportTime_ > ReleaseSilenceMs) reportCount_ = 0;
}

}  // namespace keymap
