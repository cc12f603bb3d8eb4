#include "keymap/vk_table.hpp"

#include <QtCore/qnamespace.h>

#include <iterator>

namespace keymap::vk {

namespace {

constexpr KeyRow kRows[] = {
    // Editing and navigation
    {0x08, 14, 0xFF08, Direction::Both},        // Backspace
    {0x09, 15, 0xFF09, Direction::Both},        // Tab
    {0x0C, 355, 0xFF0B, Direction::Both},       // Clear
    {0x0D, 28, 0xFF0D, Direction::Both},        // Enter
    {0x13, 119, 0xFF13, Direction::Both},       // Pause
    {0x14, 58, 0xFFE5, Direction::Both},        // Caps Lock
    {0x1B, 1, 0xFF1B, Direction::Both},         // Escape
    {0x20, 57, 0x20, Direction::Both},          // Space
    {0x21, 104, 0xFF55, Direction::Both},       // Page Up
    {0x22, 109, 0xFF56, Direction::Both},       // Page Down
    {0x23, 107, 0xFF57, Direction::Both},       // End
    {0x24, 102, 0xFF50, Direction::Both},       // Home
    {0x25, 105, 0xFF51, Direction::Both},       // Left
    {0x26, 103, 0xFF52, Direction::Both},       // Up
    {0x27, 106, 0xFF53, Direction::Both},       // Right
    {0x28, 108, 0xFF54, Direction::Both},       // Down
    {0x29, 353, 0xFF60, Direction::Both},       // Select
    {0x2C, 99, 0xFF61, Direction::Both},        // Print Screen
    {0x2D, 110, 0xFF63, Direction::Both},       // Insert
    {0x2E, 111, 0xFFFF, Direction::Both},       // Delete
    {0x2F, 138, 0xFF6A, Direction::Both},       // Help
    {0x90, 69, 0xFF7F, Direction::Both},        // Num Lock
    {0x91, 70, 0xFF14, Direction::Both},        // Scroll Lock
    {0x0D, 96, 0xFF8D, Direction::FromNative},  // keypad Enter: Windows says Enter
    // Digits 0..9 of the top row
    {0x30, 11, 0x30, Direction::Both},
    {0x31, 2, 0x31, Direction::Both},
    {0x32, 3, 0x32, Direction::Both},
    {0x33, 4, 0x33, Direction::Both},
    {0x34, 5, 0x34, Direction::Both},
    {0x35, 6, 0x35, Direction::Both},
    {0x36, 7, 0x36, Direction::Both},
    {0x37, 8, 0x37, Direction::Both},
    {0x38, 9, 0x38, Direction::Both},
    {0x39, 10, 0x39, Direction::Both},
    // Letters, as unshifted keysyms
    {0x41, 30, 0x61, Direction::Both},
    {0x42, 48, 0x62, Direction::Both},
    {0x43, 46, 0x63, Direction::Both},
    {0x44, 32, 0x64, Direction::Both},
    {0x45, 18, 0x65, Direction::Both},
    {0x46, 33, 0x66, Direction::Both},
    {0x47, 34, 0x67, Direction::Both},
    {0x48, 35, 0x68, Direction::Both},
    {0x49, 23, 0x69, Direction::Both},
    {0x4A, 36, 0x6A, Direction::Both},
    {0x4B, 37, 0x6B, Direction::Both},
    {0x4C, 38, 0x6C, Direction::Both},
    {0x4D, 50, 0x6D, Direction::Both},
    {0x4E, 49, 0x6E, Direction::Both},
    {0x4F, 24, 0x6F, Direction::Both},
    {0x50, 25, 0x70, Direction::Both},
    {0x51, 16, 0x71, Direction::Both},
    {0x52, 19, 0x72, Direction::Both},
    {0x53, 31, 0x73, Direction::Both},
    {0x54, 20, 0x74, Direction::Both},
    {0x55, 22, 0x75, Direction::Both},
    {0x56, 47, 0x76, Direction::Both},
    {0x57, 17, 0x77, Direction::Both},
    {0x58, 45, 0x78, Direction::Both},
    {0x59, 21, 0x79, Direction::Both},
    {0x5A, 44, 0x7A, Direction::Both},
    // Windows and menu keys
    {0x5B, 125, 0xFFEB, Direction::Both},      // left Windows
    {0x5C, 126, 0xFFEC, Direction::Both},      // right Windows
    {0x5D, 127, 0xFF67, Direction::Both},      // menu
    {0x5F, 142, 0x1008FF2F, Direction::Both},  // Sleep
    // Numeric keypad
    {0x60, 82, 0xFFB0, Direction::Both},
    {0x61, 79, 0xFFB1, Direction::Both},
    {0x62, 80, 0xFFB2, Direction::Both},
    {0x63, 81, 0xFFB3, Direction::Both},
    {0x64, 75, 0xFFB4, Direction::Both},
    {0x65, 76, 0xFFB5, Direction::Both},
    {0x66, 77, 0xFFB6, Direction::Both},
    {0x67, 71, 0xFFB7, Direction::Both},
    {0x68, 72, 0xFFB8, Direction::Both},
    {0x69, 73, 0xFFB9, Direction::Both},
    {0x6A, 55, 0xFFAA, Direction::Both},   // *
    {0x6B, 78, 0xFFAB, Direction::Both},   // +
    {0x6C, 121, 0xFFAC, Direction::Both},  // separator
    {0x6D, 74, 0xFFAD, Direction::Both},   // -
    {0x6E, 83, 0xFFAE, Direction::Both},   // .
    {0x6F, 98, 0xFFAF, Direction::Both},   // /
    // F1..F24
    {0x70, 59, 0xFFBE, Direction::Both},
    {0x71, 60, 0xFFBF, Direction::Both},
    {0x72, 61, 0xFFC0, Direction::Both},
    {0x73, 62, 0xFFC1, Direction::Both},
    {0x74, 63, 0xFFC2, Direction::Both},
    {0x75, 64, 0xFFC3, Direction::Both},
    {0x76, 65, 0xFFC4, Direction::Both},
    {0x77, 66, 0xFFC5, Direction::Both},
    {0x78, 67, 0xFFC6, Direction::Both},
    {0x79, 68, 0xFFC7, Direction::Both},
    {0x7A, 87, 0xFFC8, Direction::Both},
    {0x7B, 88, 0xFFC9, Direction::Both},
    {0x7C, 183, 0xFFCA, Direction::Both},
    {0x7D, 184, 0xFFCB, Direction::Both},
    {0x7E, 185, 0xFFCC, Direction::Both},
    {0x7F, 186, 0xFFCD, Direction::Both},
    {0x80, 187, 0xFFCE, Direction::Both},
    {0x81, 188, 0xFFCF, Direction::Both},
    {0x82, 189, 0xFFD0, Direction::Both},
    {0x83, 190, 0xFFD1, Direction::Both},
    {0x84, 191, 0xFFD2, Direction::Both},
    {0x85, 192, 0xFFD3, Direction::Both},
    {0x86, 193, 0xFFD4, Direction::Both},
    {0x87, 194, 0xFFD5, Direction::Both},
    // Shift, Ctrl, Alt: generic, then left and right. A released modifier reads as the
    // generic key, as on Windows.
    {0x10, 42, 0xFFE1, Direction::Both},
    {0x11, 29, 0xFFE3, Direction::Both},
    {0x12, 56, 0xFFE9, Direction::Both},
    {0x10, 54, 0xFFE2, Direction::FromNative},   // right Shift
    {0x11, 97, 0xFFE4, Direction::FromNative},   // right Ctrl
    {0x12, 100, 0xFFEA, Direction::FromNative},  // right Alt
    {0xA0, 42, 0xFFE1, Direction::ToNative},
    {0xA1, 54, 0xFFE2, Direction::ToNative},
    {0xA2, 29, 0xFFE3, Direction::ToNative},
    {0xA3, 97, 0xFFE4, Direction::ToNative},
    {0xA4, 56, 0xFFE9, Direction::ToNative},
    {0xA5, 100, 0xFFEA, Direction::ToNative},
    // Browser keys
    {0xA6, 158, 0x1008FF26, Direction::Both},  // Back
    {0xA7, 159, 0x1008FF27, Direction::Both},  // Forward
    {0xA8, 173, 0x1008FF29, Direction::Both},  // Refresh
    {0xA9, 128, 0x1008FF28, Direction::Both},  // Stop
    {0xAA, 217, 0x1008FF1B, Direction::Both},  // Search
    {0xAB, 156, 0x1008FF30, Direction::Both},  // Favorites
    {0xAC, 172, 0x1008FF18, Direction::Both},  // Home page
    // Media and launch keys
    {0xAD, 113, 0x1008FF12, Direction::Both},  // Mute
    {0xAE, 114, 0x1008FF11, Direction::Both},  // Volume down
    {0xAF, 115, 0x1008FF13, Direction::Both},  // Volume up
    {0xB0, 163, 0x1008FF17, Direction::Both},  // Next track
    {0xB1, 165, 0x1008FF16, Direction::Both},  // Previous track
    {0xB2, 166, 0x1008FF15, Direction::Both},  // Stop
    {0xB3, 164, 0x1008FF14, Direction::Both},  // Play/Pause
    {0xB4, 155, 0x1008FF19, Direction::Both},  // Mail
    {0xB5, 226, 0x1008FF32, Direction::Both},  // Media player
    {0xB6, 157, 0x1008FF33, Direction::Both},  // My Computer
    {0xB7, 140, 0x1008FF1D, Direction::Both},  // Calculator
    // Punctuation at its US position
    {0xBA, 39, 0x3B, Direction::Both},  // ; :
    {0xBB, 13, 0x3D, Direction::Both},  // = +
    {0xBC, 51, 0x2C, Direction::Both},  // , <
    {0xBD, 12, 0x2D, Direction::Both},  // - _
    {0xBE, 52, 0x2E, Direction::Both},  // . >
    {0xBF, 53, 0x2F, Direction::Both},  // / ?
    {0xC0, 41, 0x60, Direction::Both},  // ` ~
    {0xDB, 26, 0x5B, Direction::Both},  // [ {
    {0xDC, 43, 0x5C, Direction::Both},  // \\ |
    {0xDD, 27, 0x5D, Direction::Both},  // ] }
    {0xDE, 40, 0x27, Direction::Both},  // ' "
    {0xE2, 86, 0x3C, Direction::Both},  // the extra key of 102-key boards
};

struct QtKeyRow {
    int qtKey;
    int vk;
};

// Shifted symbols map to the key that types them on a US board.
constexpr QtKeyRow kQtKeys[] = {
    {Qt::Key_Backspace, 0x08},
    {Qt::Key_Tab, 0x09},
    {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},
    {Qt::Key_Return, 0x0D},
    {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},
    {Qt::Key_Control, 0x11},
    {Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, 0x13},
    {Qt::Key_CapsLock, 0x14},
    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},
    {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},
    {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},
    {Qt::Key_Select, 0x29},
    {Qt::Key_Print, 0x2C},
    {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},
    {Qt::Key_Help, 0x2F},
    {Qt::Key_ParenRight, 0x30},
    {Qt::Key_Exclam, 0x31},
    {Qt::Key_At, 0x32},
    {Qt::Key_NumberSign, 0x33},
    {Qt::Key_Dollar, 0x34},
    {Qt::Key_Percent, 0x35},
    {Qt::Key_AsciiCircum, 0x36},
    {Qt::Key_Ampersand, 0x37},
    {Qt::Key_Asterisk, 0x38},
    {Qt::Key_ParenLeft, 0x39},
    {Qt::Key_Meta, 0x5B},
    {Qt::Key_Super_L, 0x5B},
    {Qt::Key_Super_R, 0x5C},
    {Qt::Key_Menu, 0x5D},
    {Qt::Key_Sleep, 0x5F},
    {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91},
    {Qt::Key_Back, 0xA6},
    {Qt::Key_Forward, 0xA7},
    {Qt::Key_Refresh, 0xA8},
    {Qt::Key_Stop, 0xA9},
    {Qt::Key_Search, 0xAA},
    {Qt::Key_Favorites, 0xAB},
    {Qt::Key_HomePage, 0xAC},
    {Qt::Key_VolumeMute, 0xAD},
    {Qt::Key_VolumeDown, 0xAE},
    {Qt::Key_VolumeUp, 0xAF},
    {Qt::Key_MediaNext, 0xB0},
    {Qt::Key_MediaPrevious, 0xB1},
    {Qt::Key_MediaStop, 0xB2},
    {Qt::Key_MediaPlay, 0xB3},
    {Qt::Key_MediaTogglePlayPause, 0xB3},
    {Qt::Key_MediaPause, 0xB3},
    {Qt::Key_LaunchMail, 0xB4},
    {Qt::Key_LaunchMedia, 0xB5},
    {Qt::Key_Launch0, 0xB6},
    {Qt::Key_Calculator, 0xB7},
    {Qt::Key_Launch1, 0xB7},
    {Qt::Key_Semicolon, 0xBA},
    {Qt::Key_Colon, 0xBA},
    {Qt::Key_Equal, 0xBB},
    {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},
    {Qt::Key_Less, 0xBC},
    {Qt::Key_Minus, 0xBD},
    {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Period, 0xBE},
    {Qt::Key_Greater, 0xBE},
    {Qt::Key_Slash, 0xBF},
    {Qt::Key_Question, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},
    {Qt::Key_AsciiTilde, 0xC0},
    {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC},
    {Qt::Key_Bar, 0xDC},
    {Qt::Key_BracketRight, 0xDD},
    {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE},
    {Qt::Key_QuoteDbl, 0xDE},
};

bool toNative(const KeyRow& r) {
    return r.direction != Direction::FromNative;
}
bool fromNative(const KeyRow& r) {
    return r.direction != Direction::ToNative;
}

}  // namespace

std::span<const KeyRow> rows() {
    return kRows;
}

std::uint16_t evdevFromVk(int vk) {
    for (const KeyRow& r : kRows)
        if (toNative(r) && r.vk == vk) return r.evdev;
    return 0;
}

std::uint32_t keysymFromVk(int vk) {
    for (const KeyRow& r : kRows)
        if (toNative(r) && r.vk == vk) return r.keysym;
    return 0;
}

int vkFromEvdev(int evdevCode) {
    if (evdevCode <= 0) return 0;
    for (const KeyRow& r : kRows)
        if (fromNative(r) && r.evdev == evdevCode) return r.vk;
    return 0;
}

int vkFromKeysym(std::uint32_t keysym) {
    if (keysym == 0) return 0;
    for (const KeyRow& r : kRows)
        if (fromNative(r) && r.keysym == keysym) return r.vk;
    return 0;
}

int vkFromKeypadKeysym(std::uint32_t keysym) {
    // KP_Home .. KP_Delete, in keysym order.
    constexpr std::uint8_t kVks[] = {0x24, 0x25, 0x26, 0x27, 0x28, 0x21,
                                     0x22, 0x23, 0x0C, 0x2D, 0x2E};
    constexpr std::uint32_t kFirst = 0xFF95;
    if (keysym < kFirst || keysym >= kFirst + std::size(kVks)) return 0;
    return kVks[keysym - kFirst];
}

int vkFromQtKey(int qtKey) {
    // Letters and digits share their codes with Qt's.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
    for (const QtKeyRow& r : kQtKeys)
        if (r.qtKey == qtKey) return r.vk;
    return 0;
}

}  // namespace keymap::vk
