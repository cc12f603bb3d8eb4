#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "emulator/simulated_library.hpp"
#include "support/event_loop.hpp"

using namespace device;
using namespace emulator;
using testing_support::runFor;
using testing_support::waitUntil;

namespace {

using Event = std::pair<int, HidLibrary::Handle>;

struct EventLog {
    explicit EventLog(HidLibrary& hid) {
        QObject::connect(&hid, &HidLibrary::DeviceNotifyMessage, &hid,
                         [this](int e, HidLibrary::Handle h) { events.emplace_back(e, h); });
    }
    std::vector<Event> take() { return std::exchange(events, {}); }
    std::vector<Event> events;
};

Report command(std::uint8_t cmd) {
    Report r{};
    r[1] = cmd;
    return r;
}

std::string productName(HidLibrary& hid, HidLibrary::Handle h, int size = 256) {
    std::vector<char> buffer(static_cast<std::size_t>(size), 'x');
    hid.GetProductName(h, buffer.data(), size);
    return std::string(buffer.data());
}

TEST(SimulatedLibrary, ConnectAnnouncesAttachedDevicesFromTheEventLoop) {
    testing_support::app();
    ControllerEmulator e;
    e.plugOther();
    SimulatedLibrary hid(e);
    EventLog log(hid);
    runFor(10);
    EXPECT_TRUE(log.events.empty()) << "events before Connect";

    EXPECT_TRUE(hid.Connect());
    EXPECT_TRUE(log.events.empty()) << "events inside Connect";
    runFor(10);
    const auto c = hid.GetHandle(ControllerVendorId, ControllerProductId);
    const auto o =
        hid.GetHandle(ControllerEmulator::OtherVendorId, ControllerEmulator::OtherProductId);
    ASSERT_NE(c, 0u);
    ASSERT_NE(o, 0u);
    EXPECT_NE(c, o);
    EXPECT_EQ(log.take(),
              (std::vector<Event>{
                  {NotifyPlugged, c}, {NotifyChanged, c}, {NotifyPlugged, o}, {NotifyChanged, o}}));
    hid.Connect();
    runFor(10);
    EXPECT_TRUE(log.events.empty()) << "a second Connect announces again";
}

TEST(SimulatedLibrary, PlugAndUnplugRaiseEventsInOrderAndKeepRemovedHandles) {
    ControllerEmulator e;
    e.unplug();
    SimulatedLibrary hid(e);
    EventLog log(hid);
    hid.Connect();
    runFor(10);
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(hid.GetHandle(ControllerVendorId, ControllerProductId), 0u);

    e.plug();
    EXPECT_TRUE(log.events.empty()) << "delivered inside plug()";
    runFor(10);
    const auto c1 = hid.GetHandle(ControllerVendorId, ControllerProductId);
    ASSERT_NE(c1, 0u);
    e.plugOther();
    const auto o =
        hid.GetHandle(ControllerEmulator::OtherVendorId, ControllerEmulator::OtherProductId);
    e.unplug();
    e.unplugOther();
    e.plug();
    const auto c2 = hid.GetHandle(ControllerVendorId, ControllerProductId);
    runFor(10);
    EXPECT_NE(c2, c1) << "a re-plugged device is a new handle";
    EXPECT_EQ(log.take(), (std::vector<Event>{{NotifyPlugged, c1},
                                              {NotifyChanged, c1},
                                              {NotifyPlugged, o},
                                              {NotifyChanged, o},
                                              {NotifyUnplugged, c1},
                                              {NotifyChanged, c1},
                                              {NotifyUnplugged, o},
                                              {NotifyChanged, o},
                                              {NotifyPlugged, c2},
                                              {NotifyChanged, c2}}));

    struct {
        HidLibrary::Handle h;
        int vendor, product;
        std::string name;
    } handles[] = {
        {c1, ControllerVendorId, ControllerProductId, ControllerEmulator::productName()},
        {c2, ControllerVendorId, ControllerProductId, ControllerEmulator::productName()},
        {o, 0x046D, 0xC52B, "USB Receiver"},
        {0, 0, 0, ""},
        {9999, 0, 0, ""},
    };
    for (const auto& c : handles) {
        SCOPED_TRACE(c.h);
        EXPECT_EQ(hid.GetVendorID(c.h), c.vendor);
        EXPECT_EQ(hid.GetProductID(c.h), c.product);
        EXPECT_EQ(productName(hid, c.h), c.name);
    }
    EXPECT_EQ(productName(hid, c1, 5), "Powe");
    EXPECT_EQ(productName(hid, c1, 1), "");
}

TEST(SimulatedLibrary, WritesReachOnlyTheAttachedController) {
    ControllerEmulator e;
    e.plugOther();
    SimulatedLibrary hid(e);
    hid.Connect();
    runFor(10);
    const auto c = hid.GetHandle(ControllerVendorId, ControllerProductId);
    const auto o =
        hid.GetHandle(ControllerEmulator::OtherVendorId, ControllerEmulator::OtherProductId);
    hid.SetReadNotify(c, true);
    Report write{};
    write[1] = CmdWriteParameters;  // all zero: a block the emulator would notice
    const auto factory = e.blockBytes();

    EXPECT_FALSE(hid.Write(0, write));
    EXPECT_FALSE(hid.Write(o, write));
    EXPECT_FALSE(hid.Write(12345, write));
    EXPECT_EQ(e.blockBytes(), factory);

    e.unplug();
    e.plug();
    runFor(10);
    EXPECT_FALSE(hid.Write(c, write)) << "a removed handle";
    EXPECT_EQ(e.blockBytes(), factory);
    const auto c2 = hid.GetHandle(ControllerVendorId, ControllerProductId);
    EXPECT_TRUE(hid.Write(c2, write));
    EXPECT_NE(e.blockBytes(), factory);
}

TEST(SimulatedLibrary, EachReportRaisesOneReadAndReadsComeInOrder) {
    ControllerEmulator e;
    e.setTelemetry({1, 2, 3});
    SimulatedLibrary hid(e);
    hid.Connect();
    runFor(10);
    const auto c = hid.GetHandle(ControllerVendorId, ControllerProductId);
    EventLog log(hid);

    // Nobody asked to hear of reports yet: they are not kept.
    EXPECT_TRUE(hid.Write(c, command(CmdReadParameters)));
    runFor(20);
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(hid.queuedReports(), 0u);

    EXPECT_TRUE(hid.SetReadNotify(c, true));
    EXPECT_FALSE(hid.SetReadNotify(0, true));
    hid.Write(c, command(CmdReadParameters));
    hid.Write(c, command(CmdRequestTelemetry));
    hid.Write(c, command(CmdReadParameters));
    ASSERT_TRUE(waitUntil([&] { return log.events.size() >= 3; }, 500));
    runFor(10);
    EXPECT_EQ(log.take(), (std::vector<Event>(3, {NotifyRead, c})));
    Report r{};
    const std::uint8_t types[] = {ReportParameters, ReportTelemetry, ReportParameters};
    for (auto type : types) {
        ASSERT_TRUE(hid.Read(c, r));
        EXPECT_EQ(r[1], type);
    }
    r[1] = 0x5A;
    EXPECT_FALSE(hid.Read(c, r)) << "nothing waiting";
    EXPECT_EQ(r[1], 0x5A) << "a failed Read changed the buffer";
}

TEST(SimulatedLibrary, QueueIsBoundedWhenNobodyReads) {
    ControllerEmulator e;
    e.setRate(ControllerEmulator::MaxRate);
    SimulatedLibrary hid(e);
    hid.Connect();
    runFor(10);
    const auto c = hid.GetHandle(ControllerVendorId, ControllerProductId);
    hid.SetReadNotify(c, true);
    const int count = static_cast<int>(SimulatedLibrary::MaxQueuedReports) + 100;
    bool done = false;
    QObject::connect(&e, &ControllerEmulator::burstFinished, &e, [&] { done = true; });
    e.burst(1, count);
    ASSERT_TRUE(waitUntil([&] { return done; }, 5000));
    EXPECT_EQ(hid.queuedReports(), SimulatedLibrary::MaxQueuedReports);
    EXPECT_EQ(hid.droppedReports(), 100u);
}

TEST(SimulatedLibrary, ReportsWaitingAtUnplugAreGone) {
    ControllerEmulator e;
    SimulatedLibrary hid(e);
    hid.Connect();
    runFor(10);
    const auto c = hid.GetHandle(ControllerVendorId, ControllerProductId);
    hid.SetReadNotify(c, true);
    EventLog log(hid);
    e.burst(700, 5);
    ASSERT_TRUE(waitUntil([&] { return hid.queuedReports() == 5; }, 1000));
    e.unplug();
    runFor(10);
    Report r{};
    EXPECT_FALSE(hid.Read(c, r));
    EXPECT_EQ(r, Report{});
    // The NotifyReads of the five are still delivered; an unplug and a change follow.
    const auto events = log.take();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], (Event{NotifyUnplugged, c}));
}

}  // namespace
