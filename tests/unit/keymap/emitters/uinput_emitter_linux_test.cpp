#include "keymap/emitters/uinput_emitter.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "keymap/emitters/emitter_choice.hpp"
#include "keymap/vk_table.hpp"

namespace {

using keymap::UinputEmitter;

struct Control {
    unsigned long request, arg;
    bool operator==(const Control&) const = default;
};

// A pipe in place of /dev/uinput: writes go into the pipe, ioctls into a list.
class PipeIo final : public keymap::FdUinputIo {
public:
    PipeIo(int fd, std::shared_ptr<std::vector<Control>> log, int failAt)
        : FdUinputIo(fd), log_(std::move(log)), failAt_(failAt) {}
    int control(unsigned long request, unsigned long arg) override {
        if (static_cast<int>(log_->size()) == failAt_) {
            errno = ENOTTY;
            return -1;
        }
        log_->push_back({request, arg});
        return 0;
    }

private:
    std::shared_ptr<std::vector<Control>> log_;
    int failAt_;
};

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe2(fds, O_NONBLOCK), 0); }
    ~Pipe() {
        if (fds[0] >= 0) ::close(fds[0]);
    }
    std::vector<unsigned char> drain() {
        std::vector<unsigned char> all;
        unsigned char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            all.insert(all.end(), buf, buf + n);
        }
        return all;
    }
};

std::uint16_t u16(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
std::int32_t s32(const std::vector<unsigned char>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | b.at(at + i);
    return static_cast<std::int32_t>(v);
}

TEST(UinputEmitter, SetupAndOneTapBytes) {
    Pipe pipe;
    auto log = std::make_shared<std::vector<Control>>();
    QString error;
    auto emitter = UinputEmitter::create(std::make_unique<PipeIo>(pipe.fds[1], log, -1), &error);
    ASSERT_TRUE(emitter) << error.toStdString();

    // Keys first, the device record, then creation.
    std::set<unsigned long> tableKeys;
    for (const auto& r : keymap::vk::rows()) tableKeys.insert(r.evdev);
    std::vector<Control> expected = {{UI_SET_EVBIT, EV_KEY}};
    for (unsigned long k : tableKeys) expected.push_back({UI_SET_KEYBIT, k});
    expected.push_back({UI_DEV_CREATE, 0});
    EXPECT_EQ(*log, expected);
    EXPECT_TRUE(tableKeys.count(KEY_A) && tableKeys.count(KEY_MUTE) && tableKeys.count(KEY_SLEEP));

    // struct uinput_user_dev: name[80], id {bustype, vendor, product, version},
    // ff_effects_max, then four arrays of 64 ints, all zero.
    const std::vector<unsigned char> setup = pipe.drain();
    ASSERT_EQ(setup.size(), 80u + 8u + 4u + 4u * 64u * 4u);
    const char name[] = "Drevonix virtual keyboard";
    for (std::size_t i = 0; i < 80; ++i)
        EXPECT_EQ(setup[i], i < sizeof name - 1 ? static_cast<unsigned char>(name[i]) : 0) << i;
    EXPECT_EQ(u16(setup, 80), BUS_VIRTUAL);
    EXPECT_EQ(u16(setup, 82), 0);
    EXPECT_EQ(u16(setup, 84), 0);
    EXPECT_EQ(u16(setup, 86), 1);
    for (std::size_t i = 88; i < setup.size(); ++i) EXPECT_EQ(setup[i], 0) << i;

    // One tap of A: press, report, release, report; 24-byte events with a zero time
    // stamp (the kernel stamps them), type, code and value.
    emitter->key(0x41, true);
    emitter->key(0x41, false);
    const std::vector<unsigned char> tap = pipe.drain();
    ASSERT_EQ(sizeof(input_event), 24u);
    ASSERT_EQ(tap.size(), 4u * 24u);
    const struct {
        int type, code, value;
    } events[] = {
        {EV_KEY, KEY_A, 1}, {EV_SYN, SYN_REPORT, 0}, {EV_KEY, KEY_A, 0}, {EV_SYN, SYN_REPORT, 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t at = i * 24;
        for (std::size_t t = 0; t < 16; ++t) EXPECT_EQ(tap[at + t], 0) << i;
        EXPECT_EQ(u16(tap, at + 16), events[i].type) << i;
        EXPECT_EQ(u16(tap, at + 18), events[i].code) << i;
        EXPECT_EQ(s32(tap, at + 20), events[i].value) << i;
    }

    // A key the table lacks writes nothing; the generic modifiers go as the left keys.
    emitter->key(0x07, true);
    EXPECT_TRUE(pipe.drain().empty());
    emitter->key(0x10, true);
    const auto shift = pipe.drain();
    ASSERT_EQ(shift.size(), 48u);
    EXPECT_EQ(u16(shift, 18), KEY_LEFTSHIFT);

    emitter.reset();
    EXPECT_EQ(log->back(), (Control{UI_DEV_DESTROY, 0}));
}

TEST(UinputEmitter, FailedSetupIsReported) {
    std::set<int> keys;
    for (const auto& r : keymap::vk::rows()) keys.insert(r.evdev);
    const int create = 1 + static_cast<int>(keys.size());
    // Failing at the event bit, at a key bit, and at the creation.
    for (int failAt : {0, 5, create}) {
        Pipe pipe;
        auto log = std::make_shared<std::vector<Control>>();
        QString error;
        auto e = UinputEmitter::create(std::make_unique<PipeIo>(pipe.fds[1], log, failAt), &error);
        EXPECT_FALSE(e) << failAt;
        EXPECT_TRUE(error.startsWith(QStringLiteral("uinput "))) << error.toStdString();
    }
}

TEST(EmitterChoice, SaysWhyNothingCanBeDelivered) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A display number nobody serves.
    int display = 0;
    for (int n = 90; n < 200 && display == 0; ++n)
        if (::access(QStringLiteral("/tmp/.X11-unix/X%1").arg(n).toLocal8Bit().constData(), F_OK) !=
            0)
            display = n;
    ASSERT_NE(display, 0);
    const QString noDisplay = QStringLiteral(":%1").arg(display);

    // No node at all.
    {
        const auto c = keymap::chooseEmitter(dir.filePath(QStringLiteral("uinput")), noDisplay);
        EXPECT_EQ(c.backend, "none");
        ASSERT_TRUE(c.emitter);
        c.emitter->key(65, true);  // dropped without harm
        EXPECT_TRUE(c.message.contains(dir.filePath(QStringLiteral("uinput does not exist"))))
            << c.message.toStdString();
        EXPECT_TRUE(c.message.contains(QStringLiteral("cannot open X display")))
            << c.message.toStdString();
    }
    // Writable, but not a uinput device: the failure is said, not taken for success.
    {
        const QString fake = dir.filePath(QStringLiteral("plain-file"));
        const int fd = ::open(fake.toLocal8Bit().constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
        const auto c = keymap::chooseEmitter(fake, noDisplay);
        EXPECT_EQ(c.backend, "none");
        EXPECT_TRUE(c.message.contains(QStringLiteral("uinput UI_SET_EVBIT")))
            << c.message.toStdString();
    }
}

}  // namespace
