// The controller pulled out at the worst moments: while a wheel button is held, while a
// parameter read waits for its answer, and around a parameter write.
#include <gtest/gtest.h>

#include <functional>

#include "device/commands.hpp"
#include "emulator/simulated_library.hpp"
#include "keymap/clock.hpp"
#include "keymap/key_mapper.hpp"
#include "support/device_views.hpp"
#include "support/event_loop.hpp"
#include "support/fake_key_table.hpp"
#include "support/recording_emitter.hpp"

using testing_support::FakeKeyTable;

using namespace device;
using namespace emulator;
using testing_support::runFor;
using testing_support::waitUntil;

namespace {

// The program's device side over the emulator, as the main window wires it.
struct Rig {
    ControllerEmulator emulator;
    SimulatedLibrary hid{emulator};
    Report inReport{}, outReport{};
    Measurements latest;
    testing_support::FakeStatusPanels panels;
    FakeKeyTable table = FakeKeyTable::defaults();
    testing_support::RecordingEmitter emitter;
    keymap::SteadyClock clock;
    keymap::KeyMapper mapper{table, emitter, clock};
    testing_support::RecordedCodes seen;  // every code the hook routed, beside the mapper
    testing_support::FakeParameterForm view;
    testing_support::CountingMessage message;
    params::ParameterForm form{hid, outReport, view, message, QLatin1Char('.')};
    DeviceEventHook hook{hid, inReport, latest, panels};

    struct Fanout : ButtonCodeSink {
        std::vector<ButtonCodeSink*> sinks;
        void JoyCode(const std::int32_t& code) override {
            for (ButtonCodeSink* s : sinks) s->JoyCode(code);
        }
    } both;

    Rig() {
        view.fillDefaults();
        both.sinks = {&mapper, &seen};
        hook.setParameterDisplay(&form);
        hook.setButtonCodeSink(&both);
        hook.attach();
        showInitialStatus(panels);
        hid.Connect();
        EXPECT_TRUE(connected());
    }

    // Waits for the plug announcement and the change that switches reads on.
    bool connected() {
        if (!waitUntil([&] { return panels.texts[0] == status_text::connected(); })) return false;
        runFor(30);
        return true;
    }
    bool disconnected() {
        return waitUntil([&] { return panels.texts[0] == status_text::disconnected(); });
    }
    std::size_t taps() const { return emitter.events.size() / 2; }
};

// The emulator's block as it comes from the factory, and after the write below: eN1 = 31.
const ParameterBlockBytes kFactoryBlock{0x03, 0x1f, 0x02, 0x14, 0x1e, 0x28, 0x3c, 0x14, 0x05,
                                        0x03, 0xe8, 0x01, 0xf4, 0x03, 0xe8, 0x01, 0xf4, 0x03,
                                        0xe8, 0x01, 0xf4, 0x01, 0xf4, 0x02, 0x01, 0x00};
const ParameterBlockBytes kWrittenBlock{0x03, 0x1f, 0x02, 0x14, 0x1f, 0x28, 0x3c, 0x14, 0x05,
                                        0x03, 0xe8, 0x01, 0xf4, 0x03, 0xe8, 0x01, 0xf4, 0x03,
                                        0xe8, 0x01, 0xf4, 0x01, 0xf4, 0x02, 0x01, 0x00};

bool zero(const Measurements& m) {
    return m.AccVolts == 0 && m.AtxVolts == 0 && m.TemperatureC == 0;
}

TEST(Unplug, InTheMiddleOfAHeldButton) {
    Rig r;
    r.table.rows[0].jcode = QStringLiteral("300");  // only the first entry matches
    RequestADC(r.hid, r.outReport);
    ASSERT_TRUE(waitUntil([&] { return !zero(r.latest); }));

    r.emulator.hold(300);
    ASSERT_TRUE(waitUntil([&] { return r.seen.codes.size() >= 450; }, 5000));
    r.emulator.unplug();
    const std::size_t codesAtUnplug = r.seen.codes.size();
    const std::size_t tapsAtUnplug = r.taps();
    EXPECT_GE(tapsAtUnplug, 3u) << "the first report and the repeats at 201 and 301";

    ASSERT_TRUE(r.disconnected());
    runFor(1100);  // longer than the release silence
    r.mapper.Timer2Timer();
    EXPECT_EQ(r.seen.codes.size(), codesAtUnplug) << "reports waiting at the unplug are gone";
    EXPECT_EQ(r.taps(), tapsAtUnplug);
    EXPECT_TRUE(testing_support::nothingHeld(r.emitter.events)) << "a key stuck down";
    EXPECT_EQ(r.mapper.ReportCount(), 0) << "the silence ended the press";
    EXPECT_TRUE(zero(r.latest));
    EXPECT_EQ(r.panels.texts[1], QString());
    for (const auto& e : r.emitter.events) EXPECT_EQ(e.vk, 0x41);

    // Plugged in again and pressed: a new press, whose first report types at once.
    r.emulator.plug();
    ASSERT_TRUE(r.connected());
    r.emulator.hold(300);
    ASSERT_TRUE(waitUntil([&] { return r.seen.codes.size() > codesAtUnplug; }));
    r.emulator.release();
    EXPECT_EQ(r.taps(), tapsAtUnplug + 1);
    EXPECT_TRUE(testing_support::nothingHeld(r.emitter.events));
}

TEST(Unplug, DuringAParameterRead) {
    struct Case {
        const char* what;
        bool beforeTheClick;  // else right after it, before the answer
    };
    for (const Case c :
         {Case{"unplugged before the read", true}, Case{"unplugged before the answer", false}}) {
        SCOPED_TRACE(c.what);
        Rig r;
        if (c.beforeTheClick) {
            r.emulator.unplug();
            ASSERT_TRUE(r.disconnected());
        }
        r.form.Button_ReadDataClick();
        if (!c.beforeTheClick) r.emulator.unplug();
        ASSERT_TRUE(r.disconnected());
        runFor(200);
        EXPECT_TRUE(r.view.empty()) << "an answer from nowhere";
        EXPECT_FALSE(r.view.tick);

        // The next read after a replug fills the form with the controller's block.
        r.emulator.plug();
        ASSERT_TRUE(r.connected());
        r.form.Button_ReadDataClick();
        ASSERT_TRUE(waitUntil([&] { return !r.view.empty(); }));
        const std::array<QString, params::ParameterFieldCount> factory{
            "12.00", "0",    "30",  "40",   "60",  "20",  "5", "1000",
            "500",   "1000", "500", "1000", "500", "500", "2", "1"};
        EXPECT_EQ(r.view.texts, factory);
    }
}

TEST(Unplug, AroundAParameterWrite) {
    enum class When { Before, WhileTheMessageIsOpen, RightAfter };
    struct Case {
        const char* what;
        When when;
        bool stored;  // else the controller keeps its old block
    };
    const Case cases[] = {
        {"unplugged before the write", When::Before, false},
        {"unplugged while the correction message is open", When::WhileTheMessageIsOpen, false},
        {"unplugged right after the write", When::RightAfter, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        ASSERT_EQ(r.emulator.blockBytes(), kFactoryBlock);
        r.view.texts[2] = QStringLiteral("31");     // eN1
        r.view.texts[7] = QStringLiteral("99999");  // eMB_SW_P: out of range, corrected
        if (c.when == When::Before) {
            r.emulator.unplug();
            ASSERT_TRUE(r.disconnected());
        }
        if (c.when == When::WhileTheMessageIsOpen) {
            r.message.whileOpen = [&] {
                r.emulator.unplug();
                runFor(50);  // a modal box keeps the loop running
            };
        }
        r.form.Button_WriteDataClick();
        if (c.when == When::RightAfter) r.emulator.unplug();
        EXPECT_EQ(r.message.shown.size(), 1u);
        EXPECT_EQ(r.view.texts[7], QStringLiteral("1000"));

        // Whole or not at all: never a mix of the old block and the new one.
        EXPECT_EQ(blockBytesOf(r.outReport), kWrittenBlock);
        EXPECT_EQ(r.emulator.blockBytes(), c.stored ? kWrittenBlock : kFactoryBlock);

        // Telemetry requests into the void are harmless too.
        RequestADC(r.hid, r.outReport);
        ASSERT_TRUE(r.disconnected());
        runFor(100);
        EXPECT_TRUE(zero(r.latest));

        // After the replug a read shows what the controller really holds.
        r.emulator.plug();
        ASSERT_TRUE(r.connected());
        r.form.Button_ReadDataClick();
        ASSERT_TRUE(waitUntil([&] { return !r.view.empty(); }));
        EXPECT_EQ(r.view.texts[2], c.stored ? QStringLiteral("31") : QStringLiteral("30"));
    }
}

}  // namespace
