// The key tables both ways: every VK that reaches a native key comes back as itself (or,
// for the side-specific modifiers, as the generic one), every native key that reads as a
// VK is sent as a key that reads as that VK again, and a captured key's stored texts read
// back as its code.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <cstdint>

#include "common/cp1251.hpp"
#include "fuzz_check.hpp"
#include "keymap/vk_table.hpp"
#include "keymap/whole_number.hpp"

using namespace keymap::vk;

namespace {

// The side-specific modifiers go out as a physical key that reads as the generic VK.
int generic(int vk) {
    switch (vk) {
        case 0xA0:
        case 0xA1:
            return 0x10;
        case 0xA2:
        case 0xA3:
            return 0x11;
        case 0xA4:
        case 0xA5:
            return 0x12;
        default:
            return vk;
    }
}

void checkVk(int vk) {
    const std::uint16_t evdev = evdevFromVk(vk);
    const std::uint32_t keysym = keysymFromVk(vk);
    FUZZ_CHECK((evdev == 0) == (keysym == 0));  // both backends can send it, or neither
    if (evdev == 0) return;
    FUZZ_CHECK(vk > 0 && vk <= 0xFE);
    FUZZ_CHECK(vkFromEvdev(evdev) == generic(vk));
    FUZZ_CHECK(vkFromKeysym(keysym) == generic(vk));
}

void checkEvdev(int code) {
    const int vk = vkFromEvdev(code);
    if (vk == 0) return;
    const std::uint16_t back = evdevFromVk(vk);
    FUZZ_CHECK(back != 0);
    FUZZ_CHECK(vkFromEvdev(back) == vk);
}

void checkKeysym(std::uint32_t keysym) {
    const int vk = vkFromKeysym(keysym);
    if (vk == 0) return;
    const std::uint32_t back = keysymFromVk(vk);
    FUZZ_CHECK(back != 0);
    FUZZ_CHECK(vkFromKeysym(back) == vk);
    // The evdev path of the same VK agrees with the keysym path.
    FUZZ_CHECK(vkFromEvdev(evdevFromVk(vk)) == vk);
}

// Capture stores the low byte's character and the code in decimal; both must survive.
void checkCapture(std::uint16_t vk) {
    const QString val = QString::number(vk);
    FUZZ_CHECK(keymap::parseWholeNumber(val) == static_cast<std::int32_t>(vk));
    const QString symbol(common::cp1251Char(static_cast<unsigned char>(vk & 0xFF)));
    FUZZ_CHECK(symbol.size() == 1);
    const int byte = common::cp1251Byte(symbol[0]);
    FUZZ_CHECK(byte == (vk & 0xFF) || ((vk & 0xFF) == 0x98 && byte == -1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int vk =
        in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 0x1FF) : in.ConsumeIntegral<int>();
    checkVk(vk);
    checkEvdev(in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 0x2FF) : in.ConsumeIntegral<int>());
    const std::uint32_t keysym = in.ConsumeIntegral<std::uint32_t>();
    checkKeysym(keysym);
    // Keysyms cluster around 0xFFxx and 0x1008FFxx; reach them often.
    checkKeysym(0xFF00u | (keysym & 0xFF));
    checkKeysym(0x1008FF00u | (keysym & 0xFF));
    checkCapture(in.ConsumeIntegral<std::uint16_t>());
    // Qt's key values: Latin-1 codes, and 0x01000000 upward for the special keys.
    const int low = in.ConsumeIntegral<std::uint16_t>();
    const int qtVk = vkFromQtKey(in.ConsumeBool() ? 0x01000000 | low : low & 0xFF);
    if (qtVk != 0) FUZZ_CHECK(evdevFromVk(qtVk) != 0);  // a captured key can be sent
    return 0;
}
