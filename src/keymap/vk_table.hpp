#pragma once

#include <cstdint>
#include <span>

namespace keymap::vk {

// Stored keys are Windows virtual-key codes on every platform, so a settings file moves
// between systems unchanged. This table maps them to Linux evdev key codes (uinput, and
// X keycodes minus 8) and to X keysyms.
enum class Direction : std::uint8_t {
    Both,        // the key's own row, used both ways
    ToNative,    // only VK -> native: the side-specific modifiers, which come back generic
    FromNative,  // only native -> VK: a second physical key that Windows reports as this VK
};

struct KeyRow {
    std::uint16_t vk;
    std::uint16_t evdev;
    std::uint32_t keysym;
    Direction direction;
};

std::span<const KeyRow> rows();

// 0 when the table has no such key.
std::uint16_t evdevFromVk(int vk);
std::uint32_t keysymFromVk(int vk);
int vkFromEvdev(int evdevCode);
int vkFromKeysym(std::uint32_t keysym);

// A keypad key that X or Wayland reports as a navigation keysym (NumLock off, or Shift
// held): the VK Windows gives it, e.g. End (0x23) for keypad 1; 0 for any other keysym.
int vkFromKeypadKeysym(std::uint32_t keysym);

// For platforms that give no native key code (offscreen, some test drivers): Qt::Key
// values (plain ints) to VK; 0 when unknown.
int vkFromQtKey(int qtKey);

}  // namespace keymap::vk
