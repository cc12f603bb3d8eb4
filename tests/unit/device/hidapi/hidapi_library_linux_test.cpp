#include "device/hidapi/hidapi_library.hpp"
#include "device/hidapi/hidapi_monitor.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "support/event_loop.hpp"

using testing_support::runFor;
using testing_support::waitUntil;
#include "support/fake_hid.hpp"

namespace device::testing {
namespace {

using Handle = HidLibrary::Handle;
using Event = std::pair<int, Handle>;
using Events = std::vector<Event>;

constexpr int Vid = ControllerVendorId;
constexpr int Pid = ControllerProductId;

HidDeviceInfo controller(const std::string& path = "/dev/hidraw1") {
    return {path, Vid, Pid, QStringLiteral("Power controller")};
}
HidDeviceInfo keyboard(const std::string& path = "/dev/hidraw0") {
    return {path, 0x046d, 0xc31c, QStringLiteral("Keyboard")};
}

class HidapiLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { create({}); }

    void create(HidapiOptions options) {
        auto monitor = std::make_unique<FakeMonitor>();
        monitor_ = monitor.get();
        lib_ = std::make_unique<HidapiLibrary>(std::make_unique<FakeBackend>(system_),
                                               std::move(monitor), options);
        QObject::connect(lib_.get(), &HidLibrary::DeviceNotifyMessage, lib_.get(),
                         [this](int event, Handle h) {
                             events_.emplace_back(event, h);
                             if (QThread::currentThread() != qApp->thread()) offUiThread_ = true;
                         });
    }
    // Connects and lets the announcement of what is attached arrive.
    void connect() {
        ASSERT_TRUE(lib_->Connect());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !events_.empty(); }, 2000));
        QCoreApplication::processEvents();
    }
    void attach(const HidDeviceInfo& info) {
        system_->locked([&] { system_->attached.push_back(info); });
        monitor_->fire();
    }
    void remove(const std::string& path) {
        system_->locked([&] {
            std::erase_if(system_->attached, [&](const auto& d) { return d.path == path; });
        });
        monitor_->fire();
    }
    Events take() { return std::exchange(events_, {}); }
    int opens(const std::string& path) {
        return system_->locked([&] { return system_->opens[path]; });
    }
    int closes(const std::string& path) {
        return system_->locked([&] { return system_->closes[path]; });
    }

    std::shared_ptr<FakeSystem> system_ = std::make_shared<FakeSystem>();
    FakeMonitor* monitor_ = nullptr;
    std::unique_ptr<HidapiLibrary> lib_;
    Events events_;
    bool offUiThread_ = false;
};

TEST_F(HidapiLibraryTest, ConnectAnnouncesWhatIsAttachedFromTheEventLoop) {
    struct Case {
        std::vector<HidDeviceInfo> attached;
        Events expected;
    };
    const std::vector<Case> cases = {
        {{}, {{NotifyChanged, 0}}},
        {{controller()}, {{NotifyPlugged, 1}, {NotifyChanged, 1}}},
        {{keyboard(), controller(), controller("/dev/hidraw1")},  // listed twice: one device
         {{NotifyPlugged, 1}, {NotifyChanged, 1}, {NotifyPlugged, 2}, {NotifyChanged, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attached.size());
        system_->attached = c.attached;
        create({});
        events_.clear();
        ASSERT_TRUE(lib_->Connect());
        EXPECT_TRUE(events_.empty()) << "announced before Connect returned";
        EXPECT_EQ(lib_->GetHandle(Vid, Pid), c.attached.empty() ? 0u : c.expected.back().second);
        ASSERT_TRUE(QTest::qWaitFor([&] { return events_.size() >= c.expected.size(); }, 2000));
        QCoreApplication::processEvents();
        EXPECT_EQ(take(), c.expected);
        EXPECT_TRUE(lib_->Connect()) << "a second Connect announces nothing again";
        QCoreApplication::processEvents();
        EXPECT_TRUE(take().empty());
    }
    EXPECT_FALSE(offUiThread_);
}

TEST_F(HidapiLibraryTest, ChangesBeforeTheAnnouncementComeAfterIt) {
    system_->attached = {controller()};
    ASSERT_TRUE(lib_->Connect());
    remove("/dev/hidraw1");
    EXPECT_EQ(
        take(),
        (Events{{NotifyPlugged, 1}, {NotifyChanged, 1}, {NotifyUnplugged, 1}, {NotifyChanged, 1}}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(take().empty());
}

TEST_F(HidapiLibraryTest, PlugAndUnplugOfAnyDevice) {
    connect();
    take();
    struct Step {
        bool plug;
        HidDeviceInfo device;
        Events expected;
        Handle controllerHandle;  // GetHandle(Vid, Pid) afterwards
    };
    const std::vector<Step> steps = {
        {true, keyboard(), {{NotifyPlugged, 1}, {NotifyChanged, 1}}, 0},
        {true, controller(), {{NotifyPlugged, 2}, {NotifyChanged, 2}}, 2},
        {false, keyboard(), {{NotifyUnplugged, 1}, {NotifyChanged, 1}}, 2},
        {false, controller(), {{NotifyUnplugged, 2}, {NotifyChanged, 2}}, 0},
        // The same device again gets a new handle.
        {true, controller(), {{NotifyPlugged, 3}, {NotifyChanged, 3}}, 3},
        // A different device behind a reused path: the old one left, a new one came.
        {true,
         keyboard("/dev/hidraw1"),
         {{NotifyUnplugged, 3}, {NotifyChanged, 3}, {NotifyPlugged, 4}, {NotifyChanged, 4}},
         0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.device.productName.toStdString() + (s.plug ? " plugged" : " unplugged"));
        if (!s.plug) {
            remove(s.device.path);
        } else {
            system_->locked([&] {
                std::erase_if(system_->attached,
                              [&](const auto& d) { return d.path == s.device.path; });
            });
            attach(s.device);
        }
        EXPECT_EQ(take(), s.expected);
        EXPECT_EQ(lib_->GetHandle(Vid, Pid), s.controllerHandle);
    }
    monitor_->fire();  // nothing changed: nothing to say
    EXPECT_TRUE(take().empty());
}

TEST_F(HidapiLibraryTest, RemovedHandlesKeepTheirIdsAndNames) {
    system_->attached = {controller("/dev/hidraw1"), controller("/dev/hidraw2")};
    connect();
    EXPECT_EQ(lib_->GetHandle(Vid, Pid), 1u) << "the first attached match";
    EXPECT_EQ(lib_->GetHandle(Vid, 0x0040), 0u) << "the vendor alone does not match";
    remove("/dev/hidraw1");
    EXPECT_EQ(lib_->GetHandle(Vid, Pid), 2u);
    remove("/dev/hidraw2");
    EXPECT_EQ(lib_->GetHandle(Vid, Pid), 0u);

    struct Case {
        Handle handle;
        int vid, pid;
        const char* name;
    };
    for (const Case& c :
         {Case{1, Vid, Pid, "Power controller"}, Case{2, Vid, Pid, "Power controller"},
          Case{0, 0, 0, ""}, Case{77, 0, 0, ""}}) {
        SCOPED_TRACE(c.handle);
        EXPECT_EQ(lib_->GetVendorID(c.handle), c.vid);
        EXPECT_EQ(lib_->GetProductID(c.handle), c.pid);
        char name[256];
        std::fill(std::begin(name), std::end(name), 'x');
        lib_->GetProductName(c.handle, name, sizeof name);
        EXPECT_STREQ(name, c.name);
    }
}

TEST_F(HidapiLibraryTest, ProductNameIsCutToTheBufferAtCharacterBoundaries) {
    system_->attached = {{"/dev/hidraw1", Vid, Pid, QStringLiteral("Блок AB")}};  // Б, л: 2 bytes
    connect();
    struct Case {
        int size;
        std::string expected;
    };
    for (const Case& c : {Case{256, "Блок AB"}, Case{12, "Блок AB"}, Case{11, "Блок A"},
                          Case{4, "Б"}, Case{3, "Б"}, Case{2, ""}, Case{1, ""}}) {
        SCOPED_TRACE(c.size);
        std::array<char, 300> buffer;
        buffer.fill('x');
        lib_->GetProductName(1, buffer.data(), c.size);
        EXPECT_EQ(std::string(buffer.data()), c.expected);
        EXPECT_EQ(buffer[c.size], 'x') << "wrote past the size";
    }
    lib_->GetProductName(1, nullptr, 256);  // no crash
}

TEST_F(HidapiLibraryTest, OpensADeviceOnlyWhenAddressed) {
    system_->attached = {keyboard(), controller()};
    connect();
    const Handle h = lib_->GetHandle(Vid, Pid);
    lib_->GetVendorID(h);
    lib_->GetProductName(h, std::array<char, 256>{}.data(), 256);
    EXPECT_EQ(opens("/dev/hidraw1"), 0);

    EXPECT_TRUE(lib_->SetReadNotify(h, true));
    EXPECT_TRUE(lib_->SetReadNotify(h, true));
    EXPECT_TRUE(lib_->Write(h, Report{}));
    EXPECT_EQ(opens("/dev/hidraw1"), 1);
    EXPECT_EQ(opens("/dev/hidraw0"), 0) << "the other device stays closed";

    system_->failOpens = true;
    EXPECT_FALSE(lib_->Write(1, Report{}));
    EXPECT_FALSE(lib_->SetReadNotify(1, true));
}

TEST_F(HidapiLibraryTest, AFailedOpenKeepsWhyAndIsAnnouncedOncePerAttachment) {
    system_->attached = {controller()};
    system_->failOpens = true;
    connect();
    std::vector<Handle> failed;
    QObject::connect(lib_.get(), &HidLibrary::openFailed, lib_.get(),
                     [&](Handle h) { failed.push_back(h); });
    EXPECT_EQ(lib_->openError(1), 0) << "not tried yet";
    for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(lib_->Write(1, Report{}));
    EXPECT_FALSE(lib_->SetReadNotify(1, true));
    EXPECT_EQ(lib_->openError(1), EACCES);
    EXPECT_EQ(lib_->devicePath(1), QStringLiteral("/dev/hidraw1"));
    EXPECT_EQ(failed, std::vector<Handle>{1}) << "the program retries every second";

    // Plugged again, still closed to us: told again. Then the rule is fixed.
    remove("/dev/hidraw1");
    attach(controller());
    EXPECT_FALSE(lib_->Write(2, Report{}));
    EXPECT_EQ(failed, (std::vector<Handle>{1, 2}));
    system_->failOpens = false;
    EXPECT_TRUE(lib_->Write(2, Report{}));
    EXPECT_EQ(lib_->openError(2), 0);
}

TEST_F(HidapiLibraryTest, AccessThatComesLateIsTakenWithoutAReplug) {
    // Reads switched on at every change, as DeviceEventHook does.
    QObject::connect(lib_.get(), &HidLibrary::DeviceNotifyMessage, lib_.get(),
                     [this](int event, Handle h) {
                         if (event == NotifyChanged && h) lib_->SetReadNotify(h, true);
                     });
    auto watched = [&] { return system_->locked([&] { return system_->accessWatches.size(); }); };
    system_->attached = {controller()};
    connect();
    EXPECT_EQ(watched(), 0u) << "nothing refused, nothing watched";
    // Let in by the watch, or by a telemetry request that gets in first; then unplugged.
    for (const Handle h : {2, 3, 4}) {
        remove("/dev/hidraw1");
        system_->failOpens = true;
        attach(controller());
        ASSERT_EQ(watched(), 1u) << h;
        if (h == 4) continue;
        if (h == 2) system_->changeAccess("/dev/hidraw1", true);
        if (h == 3) system_->failOpens = false, lib_->Write(h, Report{});
        QCoreApplication::processEvents();
        EXPECT_EQ(watched(), 0u) << h;
        ASSERT_TRUE(system_->send("/dev/hidraw1", Bytes{0, 4}));
        EXPECT_TRUE(waitUntil([&] { return events_.back() == Event{NotifyRead, h}; })) << h;
    }
    remove("/dev/hidraw1");
    EXPECT_EQ(watched(), 0u) << "the watch goes with the device";
}

// The real watch sees an attribute change of its node (chmod here, an ACL from udev), not
// of its neighbours, and needs no read access to the node.
TEST(NodeAccessWatch, SeesModeChangesOfItsNode) {
    QTemporaryDir dir;
    const QString node = dir.filePath("hidraw0"), neighbour = dir.filePath("hidraw1");
    ASSERT_TRUE(QFile(node).open(QIODevice::WriteOnly) &&
                QFile(neighbour).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::setPermissions(node, {}));
    int changes = 0;
    const auto watch = watchNodeAccess(node.toStdString(), [&] { ++changes; });
    ASSERT_TRUE(watch && QFile::setPermissions(neighbour, QFile::ReadOwner));
    runFor(100);
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(QFile::setPermissions(node, QFile::ReadOwner));
    EXPECT_TRUE(waitUntil([&] { return changes == 1; }));
    // Amid a flood of other nodes' changes (udev at a login), more than one read long;
    // alternating, as inotify merges repeats of one event.
    const QString other = dir.filePath("hidraw2");
    ASSERT_TRUE(QFile(other).open(QIODevice::WriteOnly));
    for (int i = 0; i < 400; ++i)
        QFile::setPermissions(i == 200 ? node : i % 2 ? neighbour : other, {});
    EXPECT_TRUE(waitUntil([&] { return changes == 2; }));
    runFor(100);
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(watchNodeAccess(dir.filePath("absent/hidraw9").toStdString(), [] {}));
}

TEST_F(HidapiLibraryTest, WritesAreExactly65BytesWithReportNumberZero) {
    system_->attached = {controller()};
    connect();
    Report out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i + 7);
    Bytes expected(out.begin(), out.end());
    expected[0] = 0;

    struct Case {
        const char* what;
        Handle handle;
        int writeResult;
        bool ok;
        std::size_t writtenAfter;
    };
    const std::vector<Case> cases = {
        {"written", 1, -2, true, 1},         {"write failed", 1, -1, false, 2},
        {"short write", 1, 64, false, 3},    {"no handle", 0, -2, false, 3},
        {"unknown handle", 9, -2, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        system_->writeResult = c.writeResult;
        EXPECT_EQ(lib_->Write(c.handle, out), c.ok);
        const auto written = system_->locked([&] { return system_->written["/dev/hidraw1"]; });
        ASSERT_EQ(written.size(), c.writtenAfter);
        EXPECT_EQ(written.back(), expected);
    }
    remove("/dev/hidraw1");
    system_->writeResult = -2;
    EXPECT_FALSE(lib_->Write(1, out)) << "removed device";
}

// Reads every announced report at once, as DeviceEventHook does.
struct Reader {
    HidLibrary& lib;
    std::vector<Report> received;
    int failedReads = 0;
    std::function<void(Handle)> after;  // runs after each read

    explicit Reader(HidLibrary& library) : lib(library) {
        QObject::connect(&lib, &HidLibrary::DeviceNotifyMessage, &lib, [this](int event, Handle h) {
            if (event != NotifyRead) return;
            Report in{};
            if (lib.Read(h, in))
                received.push_back(in);
            else
                ++failedReads;
            if (after) after(h);
        });
    }
};

TEST_F(HidapiLibraryTest, ReportsArriveWholeAndInOrderOnTheUiThread) {
    system_->attached = {controller()};
    connect();
    Reader reader(*lib_);
    ASSERT_TRUE(lib_->SetReadNotify(1, true));
    constexpr int Count = 300;
    for (int i = 0; i < Count; ++i) {
        // Lengths 1..66: shorter reports come padded with zeros, longer ones are cut to 64.
        Bytes report(1 + i % 66, 0xEE);
        report[0] = static_cast<std::uint8_t>(i);
        ASSERT_TRUE(system_->send("/dev/hidraw1", report)) << i;
        // A real node keeps 64 reports; the program empties it long before.
        if (i % 32 == 31) {
            ASSERT_TRUE(waitUntil([&] { return reader.received.size() > std::size_t(i); }));
        }
    }
    ASSERT_TRUE(waitUntil([&] { return reader.received.size() >= Count; }));
    EXPECT_EQ(reader.failedReads, 0);
    EXPECT_FALSE(offUiThread_);
    for (int i = 0; i < Count; ++i) {
        const std::size_t length = std::min(1 + i % 66, 64);
        Report expected{};
        expected[1] = static_cast<std::uint8_t>(i);
        std::fill(expected.begin() + 2, expected.begin() + 1 + length, 0xEE);
        ASSERT_EQ(reader.received[i], expected) << "report " << i;
    }
    EXPECT_EQ(std::count(events_.begin(), events_.end(), Event{NotifyRead, 1}), Count);
    const auto readers = system_->locked([&] { return system_->readThreads; });
    EXPECT_EQ(readers, std::set<std::thread::id>{std::this_thread::get_id()})
        << "read on the UI thread only";
    Report in{};
    EXPECT_FALSE(lib_->Read(1, in)) << "nothing left";
}

TEST_F(HidapiLibraryTest, ReadWithoutAReportFails) {
    system_->attached = {controller(), keyboard()};
    connect();
    ASSERT_TRUE(lib_->SetReadNotify(1, true));
    Report in{};
    in.fill(0x55);
    for (Handle h : {0u, 1u, 2u /* not reading */, 99u}) {
        SCOPED_TRACE(h);
        EXPECT_FALSE(lib_->Read(h, in));
    }
    EXPECT_EQ(in[1], 0x55) << "a failed Read leaves the buffer alone";
}

TEST_F(HidapiLibraryTest, UnreadReportsAreBoundedWhileTheProgramLagsBehind) {
    create({.queueCapacity = 8});
    system_->attached = {controller()};
    connect();
    ASSERT_TRUE(lib_->SetReadNotify(1, true));
    take();
    // Nobody reads: the library keeps what it can and drops the rest, unannounced.
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(system_->send("/dev/hidraw1", Bytes{std::uint8_t(i)}));
    runFor(50);
    EXPECT_EQ(take(), Events(8, {NotifyRead, 1}));
    for (int i = 0; i < 8; ++i) {
        Report in{};
        ASSERT_TRUE(lib_->Read(1, in));
        EXPECT_EQ(in[1], i);
    }
    Report in{};
    EXPECT_FALSE(lib_->Read(1, in));
}

TEST_F(HidapiLibraryTest, ReadErrors) {
    struct Case {
        const char* what;
        bool hangUp;         // else one read fails with EPROTO, the node stays
        bool stillListed;    // the system still lists the device when the read fails
        Events atOnce;       // announced as the read fails
        Events afterAPause;  // announced a while later, the device unchanged
    };
    const std::vector<Case> cases = {
        // A passing fault: the program is told again, so that it switches its reads back on.
        {"read error", false, true, {}, {{NotifyChanged, 1}}},
        // Gone from the list before the node hung up: the unplug is announced at once.
        {"unplug", true, false, {{NotifyUnplugged, 1}, {NotifyChanged, 1}}, {}},
        // Hung up while still listed: the monitor will say when it leaves the list; no
        // pause, no retry.
        {"hang-up, still listed", true, true, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        system_ = std::make_shared<FakeSystem>();
        system_->attached = {controller()};
        create({.readRetryMs = 100});
        connect();
        Reader reader(*lib_);
        ASSERT_TRUE(lib_->SetReadNotify(1, true));
        ASSERT_TRUE(system_->send("/dev/hidraw1", Bytes{4, 1, 0}));
        ASSERT_TRUE(waitUntil([&] { return reader.received.size() == 1; }));
        take();
        if (!c.stillListed) system_->locked([&] { system_->attached.clear(); });
        if (c.hangUp)
            system_->hangUp("/dev/hidraw1");
        else
            ASSERT_TRUE(system_->failNextRead("/dev/hidraw1", EPROTO));
        ASSERT_TRUE(waitUntil([&] { return closes("/dev/hidraw1") == 1; }));
        EXPECT_EQ(take(), c.atOnce);
        if (c.afterAPause.empty())
            runFor(300);
        else
            ASSERT_TRUE(waitUntil([&] { return events_.size() >= c.afterAPause.size(); }));
        EXPECT_EQ(take(), c.afterAPause);
        EXPECT_EQ(reader.received.size(), 1u) << "nothing made up from the failed read";

        if (!c.stillListed) continue;
        if (c.hangUp) {
            system_->locked([&] { system_->attached.clear(); });
            monitor_->fire();
            EXPECT_EQ(take(), (Events{{NotifyUnplugged, 1}, {NotifyChanged, 1}}));
            continue;
        }
        // Switched back on, the device is opened afresh and read again.
        ASSERT_TRUE(lib_->SetReadNotify(1, true));
        EXPECT_EQ(opens("/dev/hidraw1"), 2);
        ASSERT_TRUE(system_->send("/dev/hidraw1", Bytes{4, 2, 0}));
        ASSERT_TRUE(waitUntil([&] { return reader.received.size() == 2; }));
        EXPECT_EQ(reader.received[1][2], 2);
    }
}

TEST_F(HidapiLibraryTest, StoppedReadsDropWhatIsUnreadAndAnnounceNothingMore) {
    struct Case {
        const char* what;
        bool unplug;  // else read notifications are switched off
    };
    for (const Case& c : {Case{"unplug", true}, Case{"notifications off", false}}) {
        SCOPED_TRACE(c.what);
        system_ = std::make_shared<FakeSystem>();
        system_->attached = {controller()};
        create({});
        connect();
        ASSERT_TRUE(lib_->SetReadNotify(1, true));
        ASSERT_TRUE(system_->send("/dev/hidraw1", Bytes{3, 1, 2}));
        ASSERT_TRUE(waitUntil([&] { return !events_.empty(); }));  // announced, not read
        take();
        if (c.unplug)
            remove("/dev/hidraw1");
        else
            EXPECT_TRUE(lib_->SetReadNotify(1, false));
        EXPECT_EQ(closes("/dev/hidraw1"), c.unplug ? 1 : 0);
        Report in{};
        EXPECT_FALSE(lib_->Read(1, in));
        // Still open while only the notifications are off, but nobody reads it.
        EXPECT_EQ(system_->send("/dev/hidraw1", Bytes{3, 1, 2}), !c.unplug);
        runFor(50);
        EXPECT_EQ(std::count(events_.begin(), events_.end(), Event{NotifyRead, 1}), 0);
    }
}

// Receivers may switch reads off, and on again, while a report is announced: nothing more
// is announced while they are off, and what the node still holds arrives once, in order.
TEST_F(HidapiLibraryTest, SwitchingReadsInsideAnAnnouncement) {
    for (const bool onAgain : {false, true}) {
        SCOPED_TRACE(onAgain ? "off and on" : "off");
        system_ = std::make_shared<FakeSystem>();
        system_->attached = {controller()};
        create({});
        connect();
        Reader reader(*lib_);
        bool switched = false;
        reader.after = [&](Handle h) {
            if (std::exchange(switched, true)) return;
            EXPECT_TRUE(lib_->SetReadNotify(h, false));
            if (onAgain) {
                EXPECT_TRUE(lib_->SetReadNotify(h, true));
            }
        };
        ASSERT_TRUE(lib_->SetReadNotify(1, true));
        for (std::uint8_t i = 1; i <= 5; ++i) ASSERT_TRUE(system_->send("/dev/hidraw1", {4, i}));
        ASSERT_TRUE(waitUntil([&] { return reader.received.size() >= 1; }));
        runFor(20);
        ASSERT_EQ(reader.received.size(), onAgain ? 5u : 1u);
        ASSERT_TRUE(lib_->SetReadNotify(1, true));
        ASSERT_TRUE(waitUntil([&] { return reader.received.size() == 5; }));
        for (std::uint8_t i = 1; i <= 5; ++i) EXPECT_EQ(reader.received[i - 1][2], i);
        EXPECT_EQ(reader.failedReads, 0);
        EXPECT_EQ(opens("/dev/hidraw1"), 1) << "the open device is kept";
    }
}

TEST(HidapiPollingMonitor, FindsChangesOnItsOwn) {
    auto system = std::make_shared<FakeSystem>();
    HidapiLibrary lib(std::make_unique<FakeBackend>(system), makePollingMonitor(10));
    Events events;
    QObject::connect(&lib, &HidLibrary::DeviceNotifyMessage, &lib,
                     [&](int event, Handle h) { events.emplace_back(event, h); });
    ASSERT_TRUE(lib.Connect());
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 1; }, 2000));
    system->locked([&] { system->attached = {controller()}; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 3; }, 2000));
    system->locked([&] { system->attached.clear(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 5; }, 2000));
    EXPECT_EQ(events, (Events{{NotifyChanged, 0},
                              {NotifyPlugged, 1},
                              {NotifyChanged, 1},
                              {NotifyUnplugged, 1},
                              {NotifyChanged, 1}}));
}

// While udevd runs, only its event (after the rules gave the user the node) makes the
// library look; without it the kernel's event is all there is.
TEST(HidapiSystemMonitor, KernelEventsCountOnlyWhileNoUdevdRuns) {
    for (const bool udevd : {true, false}) {
        EXPECT_TRUE(ueventCounts(false, [&] { return udevd; }));
        EXPECT_EQ(ueventCounts(true, [&] { return udevd; }), !udevd);
    }
}

}  // namespace
}  // namespace device::testing
