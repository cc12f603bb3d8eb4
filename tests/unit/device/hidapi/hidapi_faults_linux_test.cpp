// The HID layer below hidapi misbehaving: reads that fail, writes that fail or come up
// short, devices that cannot be opened, and a stream of garbage at the USB rate.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <thread>

#include "device/commands.hpp"
#include "device/hidapi/hidapi_library.hpp"
#include "support/device_views.hpp"
#include "support/event_loop.hpp"
#include "support/fake_hid.hpp"

using namespace device;
using device::testing::Bytes;
using device::testing::FakeBackend;
using device::testing::FakeMonitor;
using device::testing::FakeSystem;
using testing_support::runFor;
using testing_support::waitUntil;

namespace {

const std::string kController = "/dev/hidraw1";
const std::string kKeyboard = "/dev/hidraw0";

class HidapiFaults : public ::testing::Test {
protected:
    void SetUp() override {
        system->attached = {{kKeyboard, 0x046d, 0xc31c, QStringLiteral("Keyboard")},
                            {kController, ControllerVendorId, ControllerProductId,
                             QStringLiteral("Power controller")}};
        auto m = std::make_unique<FakeMonitor>();
        monitor = m.get();
        hid = std::make_unique<HidapiLibrary>(std::make_unique<FakeBackend>(system), std::move(m));
        hook = std::make_unique<DeviceEventHook>(*hid, inReport, latest, panels);
        hook->setButtonCodeSink(&codes);
        hook->setParameterDisplay(&shown);
        hook->attach();
        showInitialStatus(panels);
        ASSERT_TRUE(hid->Connect());
        ASSERT_TRUE(waitUntil([&] { return opens(kController) == 1; })) << "reads never enabled";
    }
    void TearDown() override {
        hook.reset();
        hid.reset();
    }

    int opens(const std::string& path) {
        return system->locked([&] { return system->opens[path]; });
    }
    int closes(const std::string& path) {
        return system->locked([&] { return system->closes[path]; });
    }
    std::vector<Bytes> written() {
        return system->locked([&] { return system->written[kController]; });
    }
    bool sendCode(int code) {
        return system->send(kController,
                            Bytes{4, std::uint8_t(code & 0xFF), std::uint8_t(code >> 8)});
    }

    std::shared_ptr<FakeSystem> system = std::make_shared<FakeSystem>();
    FakeMonitor* monitor = nullptr;
    std::unique_ptr<HidapiLibrary> hid;
    std::unique_ptr<DeviceEventHook> hook;
    Report inReport{};
    Measurements latest;
    testing_support::FakeStatusPanels panels;
    testing_support::RecordedCodes codes;
    testing_support::ShownParameters shown;
};

TEST_F(HidapiFaults, ReadErrorInTheMiddleOfAHeldButton) {
    for (int i = 1; i <= 50; ++i) ASSERT_TRUE(sendCode(i));
    ASSERT_TRUE(waitUntil([&] { return codes.codes.size() == 50; }));
    ASSERT_TRUE(system->failNextRead(kController, EPROTO));
    ASSERT_TRUE(waitUntil([&] { return closes(kController) == 1; }));
    for (int i = 51; i <= 60; ++i) EXPECT_FALSE(sendCode(i)) << "closed: lost, as on the wire";
    runFor(100);

    // No phantom, repeated or reordered code; the device is still there.
    std::vector<std::int32_t> want(50);
    for (int i = 0; i < 50; ++i) want[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(codes.codes, want);
    EXPECT_EQ(panels.texts[0], status_text::connected());

    // The device is still listed, so the library tells the program again after a pause:
    // reads come back on by themselves, and nothing arrives twice.
    ASSERT_TRUE(waitUntil([&] { return opens(kController) == 2; }, 3000));
    EXPECT_EQ(closes(kController), 1);
    ASSERT_TRUE(sendCode(61));
    ASSERT_TRUE(waitUntil([&] { return !codes.codes.empty() && codes.codes.back() == 61; }));
    for (std::size_t i = 1; i < codes.codes.size(); ++i)
        EXPECT_LT(codes.codes[i - 1], codes.codes[i]);
}

TEST_F(HidapiFaults, FailingWritesLoseOnlyThatCommand) {
    struct Case {
        const char* what;
        int writeResult;  // -2: the full length
        bool failOpen;
    };
    const Case cases[] = {
        {"write error", -1, false},
        {"short write", 10, false},
        {"nothing written", 0, false},
        {"device cannot be opened", -2, true},
    };
    Report out{};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.failOpen) {
            // Closed by a read error first, so that the next use has to open it again.
            ASSERT_TRUE(system->failNextRead(kController, EPROTO));
            ASSERT_TRUE(waitUntil([&] { return closes(kController) >= 1; }));
        }
        system->locked([&] {
            system->writeResult = c.writeResult;
            system->failOpens = c.failOpen;
            return 0;
        });
        const std::size_t before = written().size();
        RequestADC(*hid, out);
        sendCommand(*hid, out, CmdReadParameters);
        EXPECT_FALSE(hid->Write(hid->GetHandle(ControllerVendorId, ControllerProductId), out));
        EXPECT_EQ(written().size(), before + (c.failOpen ? 0 : 3));

        // The fault gone, the very next command goes out whole.
        system->locked([&] {
            system->writeResult = -2;
            system->failOpens = false;
            return 0;
        });
        RequestADC(*hid, out);
        const auto after = written();
        ASSERT_FALSE(after.empty());
        Bytes telemetryRequest(65, 0);  // report number 0, command 3, nothing else
        telemetryRequest[1] = 3;
        EXPECT_EQ(after.back(), telemetryRequest);
    }
}

// A mad controller at the USB rate, with an unrelated device chattering beside it: every
// known report is routed exactly once and in order, the rest changes nothing.
TEST_F(HidapiFaults, GarbageAtAThousandReportsASecond) {
    constexpr int Count = 3000;
    QRandomGenerator random(0x5eed);
    std::vector<Bytes> stream;
    std::vector<std::int32_t> wantCodes;
    std::size_t wantBlocks = 0;
    for (int i = 0; i < Count; ++i) {
        Bytes b(1 + random.bounded(64));  // 1..64 bytes after the report number
        for (auto& x : b) x = static_cast<std::uint8_t>(random.bounded(256));
        const int kind = random.bounded(10);
        if (kind < 2)
            b[0] = 4;
        else if (kind < 3)
            b[0] = 3;
        else if (kind < 4)
            b[0] = 1;
        else if (b[0] == 1 || b[0] == 3 || b[0] == 4)
            b[0] = 0xFF;  // unknown types
        Report r{};
        std::copy(b.begin(), b.end(), r.begin() + 1);
        if (r[1] == 4) wantCodes.push_back(r[2] + 256 * r[3]);
        if (r[1] == 1) ++wantBlocks;
        stream.push_back(std::move(b));
    }
    // Last, telemetry with 512 in each field: ACC 512/1024*15 + 0.33 V, ATX + 0.38 V,
    // (512/1024*5 - 2.1)*100 - 50 degrees.
    stream.push_back(Bytes{3, 0x00, 0x02, 0x00, 0x02, 0x00, 0x02});

    std::atomic<bool> done{false};
    std::atomic<int> lost{0};
    std::thread feeder([&] {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < stream.size(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(i));
            // A full buffer is the program lagging on a busy machine: wait for it, bounded.
            int tries = 0;
            while (!system->send(kController, stream[i]) && ++tries < 2000)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (tries == 2000) ++lost;
            system->send(kKeyboard, Bytes{4, 1, 0});  // never opened: goes nowhere
        }
        done = true;
    });
    const bool arrived = waitUntil(
        [&] {
            return done && codes.codes.size() == wantCodes.size() &&
                   shown.shown.size() == wantBlocks;
        },
        20000);
    feeder.join();
    ASSERT_EQ(lost, 0);
    ASSERT_TRUE(arrived) << codes.codes.size() << " of " << wantCodes.size() << " codes, "
                         << shown.shown.size() << " of " << wantBlocks << " blocks";
    runFor(50);
    EXPECT_EQ(codes.codes, wantCodes);
    EXPECT_EQ(shown.shown.size(), wantBlocks);
    EXPECT_NEAR(static_cast<double>(latest.AccVolts), 7.83, 1e-9);
    EXPECT_NEAR(static_cast<double>(latest.AtxVolts), 7.88, 1e-9);
    EXPECT_NEAR(static_cast<double>(latest.TemperatureC), -10.0, 1e-9);
    EXPECT_EQ(panels.texts[0], status_text::connected());
    EXPECT_EQ(opens(kKeyboard), 0) << "the other device is never opened";
}

}  // namespace
