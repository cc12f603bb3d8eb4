#include "keymap/vk_table.hpp"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QtCore/qnamespace.h>
#include <map>
#include <set>

namespace {

namespace vk = keymap::vk;
using vk::Direction;

// The keys every platform must know, by their kernel and X names, so that a wrong number
// in the table shows up here.
struct Named {
    int vk;
    int evdev;
    unsigned keysym;
};

const Named kNamed[] = {
    {0x08, KEY_BACKSPACE, XK_BackSpace},
    {0x09, KEY_TAB, XK_Tab},
    {0x0D, KEY_ENTER, XK_Return},
    {0x13, KEY_PAUSE, XK_Pause},
    {0x14, KEY_CAPSLOCK, XK_Caps_Lock},
    {0x1B, KEY_ESC, XK_Escape},
    {0x20, KEY_SPACE, XK_space},
    {0x21, KEY_PAGEUP, XK_Prior},
    {0x22, KEY_PAGEDOWN, XK_Next},
    {0x23, KEY_END, XK_End},
    {0x24, KEY_HOME, XK_Home},
    {0x25, KEY_LEFT, XK_Left},
    {0x26, KEY_UP, XK_Up},
    {0x27, KEY_RIGHT, XK_Right},
    {0x28, KEY_DOWN, XK_Down},
    {0x2C, KEY_SYSRQ, XK_Print},
    {0x2D, KEY_INSERT, XK_Insert},
    {0x2E, KEY_DELETE, XK_Delete},
    {0x30, KEY_0, XK_0},
    {0x31, KEY_1, XK_1},
    {0x35, KEY_5, XK_5},
    {0x39, KEY_9, XK_9},
    {0x41, KEY_A, XK_a},
    {0x46, KEY_F, XK_f},
    {0x4D, KEY_M, XK_m},
    {0x51, KEY_Q, XK_q},
    {0x57, KEY_W, XK_w},
    {0x59, KEY_Y, XK_y},
    {0x5A, KEY_Z, XK_z},
    {0x5B, KEY_LEFTMETA, XK_Super_L},
    {0x5C, KEY_RIGHTMETA, XK_Super_R},
    {0x5D, KEY_COMPOSE, XK_Menu},
    {0x5F, KEY_SLEEP, XF86XK_Sleep},
    {0x60, KEY_KP0, XK_KP_0},
    {0x61, KEY_KP1, XK_KP_1},
    {0x65, KEY_KP5, XK_KP_5},
    {0x69, KEY_KP9, XK_KP_9},
    {0x6A, KEY_KPASTERISK, XK_KP_Multiply},
    {0x6B, KEY_KPPLUS, XK_KP_Add},
    {0x6D, KEY_KPMINUS, XK_KP_Subtract},
    {0x6E, KEY_KPDOT, XK_KP_Decimal},
    {0x6F, KEY_KPSLASH, XK_KP_Divide},
    {0x70, KEY_F1, XK_F1},
    {0x79, KEY_F10, XK_F10},
    {0x7A, KEY_F11, XK_F11},
    {0x7B, KEY_F12, XK_F12},
    {0x7C, KEY_F13, XK_F13},
    {0x87, KEY_F24, XK_F24},
    {0x90, KEY_NUMLOCK, XK_Num_Lock},
    {0x91, KEY_SCROLLLOCK, XK_Scroll_Lock},
    {0x10, KEY_LEFTSHIFT, XK_Shift_L},
    {0x11, KEY_LEFTCTRL, XK_Control_L},
    {0x12, KEY_LEFTALT, XK_Alt_L},
    {0xA0, KEY_LEFTSHIFT, XK_Shift_L},
    {0xA1, KEY_RIGHTSHIFT, XK_Shift_R},
    {0xA2, KEY_LEFTCTRL, XK_Control_L},
    {0xA3, KEY_RIGHTCTRL, XK_Control_R},
    {0xA4, KEY_LEFTALT, XK_Alt_L},
    {0xA5, KEY_RIGHTALT, XK_Alt_R},
    {0xA6, KEY_BACK, XF86XK_Back},
    {0xA7, KEY_FORWARD, XF86XK_Forward},
    {0xA8, KEY_REFRESH, XF86XK_Refresh},
    {0xA9, KEY_STOP, XF86XK_Stop},
    {0xAA, KEY_SEARCH, XF86XK_Search},
    {0xAB, KEY_BOOKMARKS, XF86XK_Favorites},
    {0xAC, KEY_HOMEPAGE, XF86XK_HomePage},
    {0xAD, KEY_MUTE, XF86XK_AudioMute},
    {0xAE, KEY_VOLUMEDOWN, XF86XK_AudioLowerVolume},
    {0xAF, KEY_VOLUMEUP, XF86XK_AudioRaiseVolume},
    {0xB0, KEY_NEXTSONG, XF86XK_AudioNext},
    {0xB1, KEY_PREVIOUSSONG, XF86XK_AudioPrev},
    {0xB2, KEY_STOPCD, XF86XK_AudioStop},
    {0xB3, KEY_PLAYPAUSE, XF86XK_AudioPlay},
    {0xB4, KEY_MAIL, XF86XK_Mail},
    {0xB5, KEY_MEDIA, XF86XK_AudioMedia},
    {0xB6, KEY_COMPUTER, XF86XK_MyComputer},
    {0xB7, KEY_CALC, XF86XK_Calculator},
    {0xBA, KEY_SEMICOLON, XK_semicolon},
    {0xBB, KEY_EQUAL, XK_equal},
    {0xBC, KEY_COMMA, XK_comma},
    {0xBD, KEY_MINUS, XK_minus},
    {0xBE, KEY_DOT, XK_period},
    {0xBF, KEY_SLASH, XK_slash},
    {0xC0, KEY_GRAVE, XK_grave},
    {0xDB, KEY_LEFTBRACE, XK_bracketleft},
    {0xDC, KEY_BACKSLASH, XK_backslash},
    {0xDD, KEY_RIGHTBRACE, XK_bracketright},
    {0xDE, KEY_APOSTROPHE, XK_apostrophe},
    {0xE2, KEY_102ND, XK_less},
};

TEST(VkTable, KnownKeysBothWays) {
    for (const Named& n : kNamed) {
        EXPECT_EQ(vk::evdevFromVk(n.vk), n.evdev) << "vk " << n.vk;
        EXPECT_EQ(vk::keysymFromVk(n.vk), n.keysym) << "vk " << n.vk;
    }
}

TEST(VkTable, EveryLetterDigitAndFunctionKeyIsThere) {
    std::vector<int> required;
    auto range = [&](int from, int to) {
        for (int v = from; v <= to; ++v) required.push_back(v);
    };
    range(0x30, 0x39);
    range(0x41, 0x5A);
    range(0x60, 0x6F);
    range(0x70, 0x87);
    range(0x10, 0x12);
    range(0xA0, 0xB7);
    range(0x21, 0x28);
    range(0xBA, 0xC0);
    range(0xDB, 0xDE);
    range(0x5B, 0x5D);
    required.insert(required.end(), {0x08, 0x09, 0x0D, 0x1B, 0x20, 0x2D, 0x2E, 0x5F});
    for (int v : required) {
        EXPECT_NE(vk::evdevFromVk(v), 0) << "vk " << v;
        EXPECT_NE(vk::keysymFromVk(v), 0u) << "vk " << v;
    }
    // Letters: a physical key's evdev code gives back its VK, A..Z in any layout.
    for (int v = 0x41; v <= 0x5A; ++v)
        EXPECT_EQ(vk::keysymFromVk(v), static_cast<unsigned>(XK_a + (v - 0x41)));
}

TEST(VkTable, NoAmbiguity) {
    std::map<int, int> vkSeen, evdevSeen;
    std::map<std::uint32_t, int> keysymSeen;
    for (const vk::KeyRow& r : vk::rows()) {
        EXPECT_NE(r.evdev, 0);
        EXPECT_NE(r.keysym, 0u);
        if (r.direction != Direction::FromNative) {
            EXPECT_TRUE(vkSeen.emplace(r.vk, r.evdev).second) << "vk twice: " << r.vk;
        }
        if (r.direction != Direction::ToNative) {
            EXPECT_TRUE(evdevSeen.emplace(r.evdev, r.vk).second) << "evdev twice: " << r.evdev;
            EXPECT_TRUE(keysymSeen.emplace(r.keysym, r.vk).second) << "keysym twice: " << r.keysym;
        }
    }
}

TEST(VkTable, RoundTrips) {
    // Side-specific modifiers come back as the generic key, as Windows reports them.
    const std::map<int, int> generic = {{0xA0, 0x10}, {0xA1, 0x10}, {0xA2, 0x11},
                                        {0xA3, 0x11}, {0xA4, 0x12}, {0xA5, 0x12}};
    for (const vk::KeyRow& r : vk::rows()) {
        if (r.direction == Direction::FromNative) continue;
        const auto g = generic.find(r.vk);
        const int expected = g == generic.end() ? r.vk : g->second;
        EXPECT_EQ(vk::vkFromEvdev(vk::evdevFromVk(r.vk)), expected) << "vk " << r.vk;
        EXPECT_EQ(vk::vkFromKeysym(vk::keysymFromVk(r.vk)), expected) << "vk " << r.vk;
    }
    // Second physical keys of one Windows key.
    const struct {
        int evdev, vk;
    } extra[] = {{KEY_RIGHTSHIFT, 0x10},
                 {KEY_RIGHTCTRL, 0x11},
                 {KEY_RIGHTALT, 0x12},
                 {KEY_KPENTER, 0x0D},
                 {0, 0},
                 {-8, 0},
                 {KEY_MAX, 0}};
    for (const auto& e : extra) EXPECT_EQ(vk::vkFromEvdev(e.evdev), e.vk) << e.evdev;
}

TEST(VkTable, QtKeys) {
    const struct {
        int key, vk;
    } cases[] = {
        {Qt::Key_A, 65},
        {Qt::Key_Z, 90},
        {Qt::Key_0, 48},
        {Qt::Key_5, 53},
        {Qt::Key_F1, 112},
        {Qt::Key_F24, 0x87},
        {Qt::Key_F25, 0},
        {Qt::Key_Shift, 16},
        {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},
        {Qt::Key_VolumeMute, 173},
        {Qt::Key_MediaNext, 176},
        {Qt::Key_MediaTogglePlayPause, 179},
        {Qt::Key_Escape, 27},
        {Qt::Key_Exclam, 49},
        {Qt::Key_Question, 0xBF},
        {Qt::Key_Sleep, 0x5F},
        {Qt::Key_unknown, 0},
        {0x0410, 0},
        {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(vk::vkFromQtKey(c.key), c.vk) << std::hex << c.key;
}

}  // namespace
