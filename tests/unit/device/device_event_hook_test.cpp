#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "device/device_event_hook.hpp"
#include "emulator/simulated_library.hpp"
#include "support/device_views.hpp"
#include "support/event_loop.hpp"
#include "support/fake_hid_library.hpp"

using namespace device;
using namespace emulator;
using testing_support::runFor;
using testing_support::waitUntil;

namespace {

using Panels = testing_support::FakeStatusPanels;
using testing_support::FakeHidLibrary;

struct HookOverFake {
    HookOverFake() {
        fake.devices[1] = {ControllerVendorId, ControllerProductId, "Controller"};
        fake.devices[2] = {ControllerVendorId, 64, "Same vendor"};
        fake.devices[3] = {0x046D, ControllerProductId, "Same product"};
        fake.devices[4] = {0x046D, 0xC52B, "USB Receiver"};
        hook.setParameterDisplay(&display);
        hook.setButtonCodeSink(&codes);
        showInitialStatus(panels);
    }
    FakeHidLibrary fake;
    Report in{};
    Measurements latest;
    Panels panels;
    testing_support::ShownParameters display;
    testing_support::RecordedCodes codes;
    DeviceEventHook hook{fake, in, latest, panels};
};

std::array<QString, 4> panelsOf(const Panels& p) {
    return {p.texts[0], p.texts[1], p.texts[2], p.texts[3]};
}

const std::array<QString, 4> kNeverConnected{QStringLiteral("Устройство не подключалось"),
                                             QString(), QStringLiteral("VID"),
                                             QStringLiteral("PID")};
const std::array<QString, 4> kConnected{QStringLiteral("Устройство подключено"),
                                        QStringLiteral("Controller"), QStringLiteral("VID 0x04D8"),
                                        QStringLiteral("PID 0x003F")};
const std::array<QString, 4> kDisconnected{QStringLiteral("Устройство отключено"), QString(),
                                           QStringLiteral("VID"), QStringLiteral("PID")};

TEST(DeviceEventHook, StatusPanelsFollowOnlyTheController) {
    struct Step {
        int event;
        HidLibrary::Handle h;
        std::array<QString, 4> after;
    };
    const std::vector<Step> steps = {
        {NotifyPlugged, 2, kNeverConnected},  // vendor matches, product does not
        {NotifyPlugged, 3, kNeverConnected},  // product matches, vendor does not
        {NotifyPlugged, 4, kNeverConnected},
        {NotifyUnplugged, 1, kDisconnected},  // an unplug before any plug still counts
        {NotifyPlugged, 1, kConnected},
        {NotifyUnplugged, 2, kConnected},
        {NotifyChanged, 0, kConnected},
        {0, 1, kConnected},
        {99, 1, kConnected},
        {NotifyUnplugged, 1, kDisconnected},
        {NotifyPlugged, 4, kDisconnected},
        {NotifyPlugged, 1, kConnected},
    };
    HookOverFake t;
    EXPECT_EQ(panelsOf(t.panels), kNeverConnected);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        t.hook.handle(steps[i].event, steps[i].h);
        EXPECT_EQ(panelsOf(t.panels), steps[i].after);
    }
    for (int p : t.panels.writes) EXPECT_NE(p, 4) << "panel 4 written";
    EXPECT_TRUE(t.panels.texts[4].isEmpty());
}

TEST(DeviceEventHook, ProductNameStopsAtTheFirstZeroOrTheBufferEnd) {
    HookOverFake t;
    const std::string longName(300, 'n');
    t.fake.devices[1].name = QByteArray::fromStdString(longName);
    t.hook.handle(NotifyPlugged, 1);
    EXPECT_EQ(t.panels.texts[1], QString(256, QLatin1Char('n')));
}

TEST(DeviceEventHook, ChangedEnablesReadsOnWhateverGetHandleReturns) {
    const HidLibrary::Handle handles[] = {0, 1, 0xDEADBEEF};
    for (auto h : handles) {
        HookOverFake t;
        t.fake.handle = h;
        t.hook.handle(NotifyChanged, 4);  // the event's own handle plays no part
        EXPECT_EQ(t.fake.readNotifyCalls,
                  (std::vector<std::pair<HidLibrary::Handle, bool>>{{h, true}}));
    }
}

// A controller we may not open: "connected" stays, the product panel says why not.
TEST(DeviceEventHook, ProductPanelSaysAccessIsRefusedWhileItIs) {
    const QString refused = QStringLiteral("Нет доступа к hidraw1");
    const QString connected = QStringLiteral("Устройство подключено");
    struct Step {
        int event;
        int openError;  // set before the event
        QString panel0;
        QString panel1;
    } steps[] = {
        {NotifyPlugged, EACCES, connected, QStringLiteral("Controller")},
        {NotifyChanged, EACCES, connected, refused},
        {NotifyChanged, EACCES, connected, refused},
        {NotifyChanged, 0, connected, QStringLiteral("Controller")},  // a retry got through
        {NotifyChanged, EPERM, connected, refused},
        {NotifyRead, 0, connected, QStringLiteral("Controller")},  // reports flow: it is open
        {NotifyChanged, EACCES, connected, refused},
        {NotifyUnplugged, EACCES, QStringLiteral("Устройство отключено"), QString()},
        {NotifyPlugged, 0, connected, QStringLiteral("Controller")},
        {NotifyChanged, 0, connected, QStringLiteral("Controller")},
    };
    HookOverFake t;
    t.fake.handle = 1;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        t.fake.openErrors[1] = steps[i].openError;
        t.hook.handle(steps[i].event, 1);
        EXPECT_EQ(t.panels.texts[0], steps[i].panel0);
        EXPECT_EQ(t.panels.texts[1], steps[i].panel1);
    }
}

TEST(DeviceEventHook, ReadsRouteByTypeAndIgnoreTheRest) {
    auto report = [](std::uint8_t type, std::uint8_t b2, std::uint8_t b3) {
        Report r{};
        r[1] = type;
        r[2] = b2;
        r[3] = b3;
        for (std::size_t i = 28; i < r.size(); ++i) r[i] = 0xEE;  // never looked at
        return r;
    };
    struct Case {
        const char* what;
        HidLibrary::Handle h;
        std::optional<Report> read;
        bool readCalled;
        std::size_t shown;
        std::vector<std::int32_t> codes;
        bool telemetry;
    } cases[] = {
        {"block", 1, report(ReportParameters, 0x03, 0x1F), true, 1, {}, false},
        {"telemetry", 1, report(ReportTelemetry, 0x10, 0x03), true, 0, {}, true},
        {"button", 1, report(ReportButtonCode, 0x34, 0x12), true, 0, {4660}, false},
        {"type 2", 1, report(2, 0x34, 0x12), true, 0, {}, false},
        {"type 0", 1, report(0, 0x34, 0x12), true, 0, {}, false},
        {"type 255", 1, report(255, 0xFF, 0xFF), true, 0, {}, false},
        {"failed read", 1, std::nullopt, true, 0, {}, false},
        {"vendor only", 2, report(ReportButtonCode, 1, 0), false, 0, {}, false},
        {"other device", 4, report(ReportButtonCode, 1, 0), false, 0, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HookOverFake t;
        t.latest = {1, 2, 3};
        // A stale button report in the buffer: a failed Read must not replay it.
        t.in = report(ReportButtonCode, 0x01, 0x00);
        t.fake.reads.push_back(c.read);
        t.hook.handle(NotifyRead, c.h);
        EXPECT_EQ(!t.fake.readCalls.empty(), c.readCalled);
        EXPECT_EQ(t.display.shown.size(), c.shown);
        EXPECT_EQ(t.codes.codes, c.codes);
        if (c.telemetry) {
            EXPECT_NEAR(static_cast<double>(t.latest.AccVolts), 11.81, 0.005);  // raw 784
            EXPECT_EQ(t.latest.AtxVolts, 0.38L);
        } else {
            EXPECT_EQ(t.latest.AccVolts, 1);
            EXPECT_EQ(t.latest.TemperatureC, 3);
        }
        if (c.shown) {
            EXPECT_NEAR(static_cast<double>(t.display.shown[0].u1Volts), 11.997, 0.0005);
        }
        EXPECT_EQ(panelsOf(t.panels), kNeverConnected);
    }
}

// The hook over the emulator, as the program runs it.
struct HookOverEmulator {
    explicit HookOverEmulator(bool plugged = true) {
        testing_support::app();
        if (!plugged) emulator.unplug();
        hook.setParameterDisplay(&display);
        hook.setButtonCodeSink(&codes);
        showInitialStatus(panels);
        hook.attach();
        hid.Connect();
    }
    HidLibrary::Handle controller() {
        return hid.GetHandle(ControllerVendorId, ControllerProductId);
    }
    void send(Command c) {
        Report out{};
        out[1] = c;
        hid.Write(controller(), out);
    }
    ControllerEmulator emulator;
    SimulatedLibrary hid{emulator};
    Report in{};
    Measurements latest;
    Panels panels;
    testing_support::ShownParameters display;
    testing_support::RecordedCodes codes;
    DeviceEventHook hook{hid, in, latest, panels};
};

TEST(DeviceEventHookOverEmulator, BlockTelemetryAndButtonsArriveAndUnplugZeroes) {
    HookOverEmulator t;
    ASSERT_TRUE(waitUntil([&] { return t.panels.texts[0] == kConnected[0]; }, 500));
    EXPECT_EQ(t.panels.texts[1], QString::fromLatin1(ControllerEmulator::productName()));
    runFor(10);  // the NotifyChanged that enables reads

    t.send(CmdReadParameters);
    ASSERT_TRUE(waitUntil([&] { return !t.display.shown.empty(); }, 500));
    const ParameterValues v = t.display.shown.front();
    EXPECT_NEAR(static_cast<double>(v.u1Volts), 11.997, 0.0005);
    EXPECT_EQ(v.plain,
              (std::array<int, 14>{30, 40, 60, 20, 5, 1000, 500, 1000, 500, 1000, 500, 500, 2, 1}));
    EXPECT_FALSE(v.ignoreT);

    t.emulator.setTelemetry({784, 0, 512});
    t.send(CmdRequestTelemetry);
    ASSERT_TRUE(waitUntil([&] { return t.latest.AccVolts != 0; }, 500));
    EXPECT_NEAR(static_cast<double>(t.latest.AccVolts), 11.81, 0.005);
    EXPECT_EQ(t.latest.AtxVolts, 0.38L);
    EXPECT_NEAR(static_cast<double>(t.latest.TemperatureC), -10, 1e-9);

    t.emulator.burst(700, 3);
    ASSERT_TRUE(waitUntil([&] { return t.codes.codes.size() == 3; }, 1000));
    EXPECT_EQ(t.codes.codes, (std::vector<std::int32_t>{700, 700, 700}));

    t.emulator.unplug();
    ASSERT_TRUE(waitUntil([&] { return t.panels.texts[0] == kDisconnected[0]; }, 500));
    EXPECT_EQ(panelsOf(t.panels), kDisconnected);
    EXPECT_EQ(t.latest.AccVolts, 0);
    EXPECT_EQ(t.latest.AtxVolts, 0);
    EXPECT_EQ(t.latest.TemperatureC, 0);

    t.emulator.plug();
    ASSERT_TRUE(waitUntil([&] { return t.panels.texts[0] == kConnected[0]; }, 500));
    runFor(10);
    t.send(CmdReadParameters);
    EXPECT_TRUE(waitUntil([&] { return t.display.shown.size() == 2; }, 500))
        << "reads after re-plug";
    for (int p : t.panels.writes) EXPECT_NE(p, 4);
}

TEST(DeviceEventHookOverEmulator, OtherDeviceLeavesTheStatusAlone) {
    HookOverEmulator t(false);
    runFor(20);
    EXPECT_EQ(panelsOf(t.panels), kNeverConnected);
    t.emulator.plugOther();
    runFor(20);
    t.emulator.unplugOther();
    runFor(20);
    EXPECT_EQ(panelsOf(t.panels), kNeverConnected);
}

TEST(DeviceEventHookOverEmulator, FaultsAndReportsAfterUnplugChangeNothing) {
    HookOverEmulator t;
    runFor(20);
    const auto before = panelsOf(t.panels);
    t.latest = {1, 2, 3};
    int faults = 0;
    QObject::connect(&t.emulator, &ControllerEmulator::inputReport, &t.emulator,
                     [&](const Report& r) { faults += r[1] != ReportButtonCode; });
    bool burstDone = false;
    QObject::connect(&t.emulator, &ControllerEmulator::burstFinished, &t.emulator,
                     [&] { burstDone = true; });
    t.emulator.setFaultMode(true);
    t.emulator.burst(5, 20);
    // Until the burst is over, faults came among its reports, and the hook has read all.
    ASSERT_TRUE(
        waitUntil([&] { return burstDone && faults >= 20 && t.hid.queuedReports() == 0; }, 5000));
    t.emulator.setFaultMode(false);
    EXPECT_TRUE(t.display.shown.empty());
    EXPECT_EQ(t.latest.AccVolts, 1);
    EXPECT_EQ(t.latest.TemperatureC, 3);
    EXPECT_EQ(panelsOf(t.panels), before);
    EXPECT_EQ(t.codes.codes.size(), 20u);

    t.codes.codes.clear();
    t.emulator.hold(9);
    runFor(5);
    t.emulator.unplug();
    const auto delivered = t.codes.codes.size();
    runFor(50);
    EXPECT_EQ(t.codes.codes.size(), delivered) << "codes routed after the unplug";
    EXPECT_EQ(t.latest.AccVolts, 0);
}

}  // namespace
