#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <set>
#include <vector>

#include "emulator/controller_emulator.hpp"
#include "support/event_loop.hpp"
#include "support/manual_clock.hpp"

using namespace device;
using namespace emulator;
using testing_support::runFor;
using testing_support::waitUntil;

namespace {

const char* const kFactoryHex =
    "03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 00";

// Everything the emulator sends, in order.
struct Recorder {
    explicit Recorder(ControllerEmulator& e) {
        QObject::connect(&e, &ControllerEmulator::inputReport, &e,
                         [this](const Report& r) { reports.push_back(r); });
        QObject::connect(&e, &ControllerEmulator::burstFinished, &e,
                         [this](int sent) { bursts.push_back(sent); });
    }
    std::vector<Report> reports;
    std::vector<int> bursts;
};

Report command(std::uint8_t cmd) {
    Report r{};
    r[1] = cmd;
    return r;
}

Report writeCommand(const ParameterBlockBytes& block) {
    Report r{};
    r[1] = CmdWriteParameters;
    std::copy(block.begin(), block.end(), r.begin() + 2);
    return r;
}

ParameterBlockBytes hexBlock(const char* hex) {
    return parseBlockBytes(QString::fromLatin1(hex)).value();
}

TEST(ControllerEmulator, StartsWithTheFactoryBlock) {
    testing_support::app();
    ControllerEmulator e;
    EXPECT_EQ(formatBlockBytes(e.blockBytes()).toStdString(), kFactoryHex);
    EXPECT_EQ(e.parameterBlock(), factoryParameterBlock());
    EXPECT_TRUE(e.isPlugged());
    EXPECT_FALSE(e.isOtherPlugged());
}

TEST(ControllerEmulator, NominalTelemetryReadsAsTheDemoValues) {
    const RawTelemetry n = ControllerEmulator::nominalTelemetry();
    const Measurements m = [&] {
        Report r{};
        r[1] = ReportTelemetry;
        r[2] = n.acc & 0xFF, r[3] = n.acc >> 8;
        r[4] = n.atx & 0xFF, r[5] = n.atx >> 8;
        r[6] = n.temperature & 0xFF, r[7] = n.temperature >> 8;
        return decodeTelemetry(r);
    }();
    // One raw count is 15/1024 V and 0.49 °C.
    EXPECT_NEAR(static_cast<double>(m.AccVolts), 13.8, 0.008);
    EXPECT_NEAR(static_cast<double>(m.AtxVolts), 12.1, 0.008);
    EXPECT_NEAR(static_cast<double>(m.TemperatureC), 25.0, 0.25);
}

TEST(ControllerEmulator, AnswersCommandsLaterFromTheEventLoop) {
    struct Case {
        std::uint8_t cmd;
        int answers;
        std::uint8_t type;
        std::vector<std::uint8_t> bytes;  // from byte 2 on
    } cases[] = {
        {CmdReadParameters, 1, ReportParameters, {0x03, 0x1f, 0x02, 0x14, 0x1e, 0x28}},
        {CmdRequestTelemetry, 1, ReportTelemetry, {0x10, 0x03, 0x20, 0x03, 0x00, 0x02}},
        {0, 0, 0, {}},
        {4, 0, 0, {}},
        {0xFF, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cmd);
        ControllerEmulator e;
        e.setTelemetry({0x0310, 0x0320, 0x0200});
        Recorder rec(e);
        Report out = command(c.cmd);
        // Bytes behind the command (left over from an earlier write) must not matter.
        out[2] = 0xAA;
        out[40] = 0x55;
        e.receive(out);
        EXPECT_TRUE(rec.reports.empty()) << "answered inside receive()";
        runFor(30);
        ASSERT_EQ(static_cast<int>(rec.reports.size()), c.answers);
        if (!c.answers) continue;
        const Report& r = rec.reports.front();
        EXPECT_EQ(r[0], 0);
        EXPECT_EQ(r[1], c.type);
        for (std::size_t i = 0; i < c.bytes.size(); ++i) EXPECT_EQ(r[2 + i], c.bytes[i]) << i;
        if (c.type == ReportTelemetry) {
            for (std::size_t i = 8; i < r.size(); ++i) EXPECT_EQ(r[i], 0) << i;
        }
        EXPECT_EQ(formatBlockBytes(e.blockBytes()).toStdString(), kFactoryHex);
    }
}

TEST(ControllerEmulator, StoresTheBlockOfAWriteAsItCame) {
    ControllerEmulator e;
    Recorder rec(e);
    int changes = 0;
    QObject::connect(&e, &ControllerEmulator::blockChanged, &e, [&] { ++changes; });
    // Byte 27 = 5: the controller keeps what it is sent, the program reads "not 0".
    const auto block =
        hexBlock("03 ec 01 ec 01 b4 3c 14 05 13 88 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 0a 01 05");
    Report out = writeCommand(block);
    out[30] = 0x77;  // beyond the block: not part of it
    e.receive(out);
    EXPECT_EQ(e.blockBytes(), block);
    EXPECT_EQ(changes, 1);
    e.receive(out);
    EXPECT_EQ(changes, 1) << "the same block again is no change";
    e.receive(command(CmdReadParameters));
    ASSERT_TRUE(waitUntil([&] { return !rec.reports.empty(); }, 500));
    EXPECT_EQ(blockBytesOf(rec.reports.front()), block);
    EXPECT_EQ(rec.reports.front()[30], 0);
}

TEST(ControllerEmulator, StateFileKeepsTheBlockAcrossInstances) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state"));
    const auto block =
        hexBlock("02 97 01 ec 01 01 01 01 01 00 01 00 01 00 01 00 01 00 01 00 01 00 01 01 0a 01");
    {
        ControllerEmulator e(path);
        EXPECT_EQ(formatBlockBytes(e.blockBytes()).toStdString(), kFactoryHex) << "no file yet";
        e.receive(writeCommand(block));
        EXPECT_TRUE(e.stateSaved());
    }
    ControllerEmulator again(path);
    EXPECT_EQ(again.blockBytes(), block);
    // Written atomically: nothing but the state file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("state")});
}

TEST(ControllerEmulator, UnreadableStateFileGivesTheFactoryBlock) {
    const char* contents[] = {
        "",
        "garbage",
        "03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01",        // 25
        "03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 00 00",  // 27
        "03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 zz",
        "03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 +1",
        "03  1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01",
        "\x01\xff\xfe",
    };
    for (const char* text : contents) {
        SCOPED_TRACE(text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        ControllerEmulator e(path);
        EXPECT_EQ(formatBlockBytes(e.blockBytes()).toStdString(), kFactoryHex);
    }
}

TEST(ControllerEmulator, UnwritableStateFileKeepsTheBlockInMemory) {
    QTemporaryDir dir;
    ControllerEmulator e(dir.filePath(QStringLiteral("missing/folder/state")));
    const auto block =
        hexBlock("02 97 01 ec 01 01 01 01 01 00 01 00 01 00 01 00 01 00 01 00 01 00 01 01 0a 01");
    e.receive(writeCommand(block));
    EXPECT_FALSE(e.stateSaved());
    EXPECT_EQ(e.blockBytes(), block);
}

// The rate is kept by a clock the tests move themselves; the send timer's ticks only say
// when to look at it.
TEST(ControllerEmulator, BurstsSendExactlyTheirCountAtTheRate) {
    struct Case {
        int rate;
        int count;
        int code;
        int lastDueMs;       // when the last report is due, the first going at once
        int sentJustBefore;  // reports sent a millisecond before that
    } cases[] = {{1000, 50, 700, 49, 49},
                 {200, 20, 0x1234, 95, 19},
                 {4000, 400, 65535, 100, 397},
                 {1000, 1, 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        testing_support::ManualClock clock;
        ControllerEmulator e;
        e.setClock(clock);
        e.setRate(c.rate);
        Recorder rec(e);
        e.burst(c.code, c.count);
        EXPECT_TRUE(e.isBursting());
        if (c.lastDueMs > 0) {
            ASSERT_TRUE(waitUntil([&] { return !rec.reports.empty(); }));
            runFor(20);
            EXPECT_EQ(rec.reports.size(), 1u) << "sent before the clock moved";
            clock.advance(c.lastDueMs - 1);
            ASSERT_TRUE(
                waitUntil([&] { return rec.reports.size() >= std::size_t(c.sentJustBefore); }));
            runFor(20);
            EXPECT_EQ(static_cast<int>(rec.reports.size()), c.sentJustBefore);
            EXPECT_TRUE(rec.bursts.empty());
            clock.advance(1);
        }
        ASSERT_TRUE(waitUntil([&] { return !rec.bursts.empty(); }));
        EXPECT_EQ(static_cast<int>(rec.reports.size()), c.count);
        EXPECT_EQ(rec.bursts, std::vector<int>{c.count});
        EXPECT_FALSE(e.isBursting());
        for (const Report& r : rec.reports) {
            EXPECT_EQ(r[1], ReportButtonCode);
            EXPECT_EQ(decodeButtonCode(r), c.code);
        }
        clock.advance(1000);
        runFor(20);
        EXPECT_EQ(static_cast<int>(rec.reports.size()), c.count) << "reports after the burst";
    }
}

// A held button catches up with its clock after late ticks, starts counting again after
// more than a second behind, and stops at the release.
TEST(ControllerEmulator, HeldButtonKeepsToItsClock) {
    testing_support::ManualClock clock;
    ControllerEmulator e;
    e.setClock(clock);
    Recorder rec(e);
    // Ticks that sent something: reports of one tick come without the loop in between.
    int ticks = 0;
    bool inTick = false;
    QObject::connect(&e, &ControllerEmulator::inputReport, &e, [&] {
        if (inTick) return;
        inTick = true;
        ++ticks;
        const auto tickEnds = [&] { inTick = false; };
        QMetaObject::invokeMethod(&e, tickEnds, Qt::QueuedConnection);
    });
    e.hold(42);
    EXPECT_TRUE(e.isHeld());
    const auto reportsReach = [&](std::size_t n) {
        EXPECT_TRUE(waitUntil([&] { return rec.reports.size() >= n; })) << n;
        runFor(20);  // and no more come without the clock
        EXPECT_EQ(rec.reports.size(), n);
    };
    reportsReach(1);
    ticks = 0;
    clock.advance(400);
    reportsReach(401);  // 1000 a second
    EXPECT_EQ(ticks, 8) << "400 late reports, in slices of 50 a tick";
    clock.advance(1500);
    reportsReach(402);  // too far behind: one now, the rest given up
    clock.advance(10);
    reportsReach(412);
    e.release();
    clock.advance(100);
    runFor(20);
    EXPECT_EQ(rec.reports.size(), 412u) << "reports after release";
    EXPECT_TRUE(rec.bursts.empty()) << "a hold is no burst";
}

TEST(ControllerEmulator, InterruptedBurstsReportWhatTheySent) {
    struct Case {
        const char* what;
        void (*interrupt)(ControllerEmulator&);
    } cases[] = {
        {"release", [](ControllerEmulator& e) { e.release(); }},
        {"hold", [](ControllerEmulator& e) { e.hold(9); }},
        {"burst", [](ControllerEmulator& e) { e.burst(9, 3); }},
        {"unplug", [](ControllerEmulator& e) { e.unplug(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ControllerEmulator e;
        e.setRate(100);
        Recorder rec(e);
        e.burst(5, 1000);
        ASSERT_TRUE(waitUntil([&] { return rec.reports.size() >= 3; }, 2000));
        c.interrupt(e);
        const int sentBefore = static_cast<int>(rec.reports.size());
        ASSERT_TRUE(waitUntil([&] { return !rec.bursts.empty(); }, 500));
        EXPECT_EQ(rec.bursts.front(), sentBefore);
        e.release();
    }
}

TEST(ControllerEmulator, UnpluggedControllerSendsNothing) {
    ControllerEmulator e;
    Recorder rec(e);
    std::vector<bool> plugEvents;
    QObject::connect(&e, &ControllerEmulator::pluggedChanged, &e,
                     [&](bool p) { plugEvents.push_back(p); });

    // An answer queued before the unplug belongs to the old connection.
    e.receive(command(CmdReadParameters));
    e.hold(7);
    e.unplug();
    e.unplug();
    EXPECT_FALSE(e.isHeld());
    e.receive(command(CmdRequestTelemetry));
    e.setFaultMode(true);
    e.burst(1, 5);
    runFor(60);
    EXPECT_TRUE(rec.reports.empty());
    EXPECT_EQ(rec.bursts, std::vector<int>{0});

    e.setFaultMode(false);
    e.plug();
    e.receive(command(CmdRequestTelemetry));
    ASSERT_TRUE(waitUntil([&] { return !rec.reports.empty(); }, 500));
    EXPECT_EQ(rec.reports.front()[1], ReportTelemetry);
    EXPECT_EQ(plugEvents, (std::vector<bool>{false, true}));
}

TEST(ControllerEmulator, RateChangeWhileHeldTakesEffect) {
    testing_support::ManualClock clock;
    ControllerEmulator e;
    e.setClock(clock);
    e.setRate(2000);
    Recorder rec(e);
    e.hold(3);
    clock.advance(100);
    ASSERT_TRUE(waitUntil([&] { return rec.reports.size() >= 201; }));
    e.setRate(50);
    clock.advance(200);
    // 50/s for 0.2 s is 10 reports, not the 400 of the old rate.
    ASSERT_TRUE(waitUntil([&] { return rec.reports.size() >= 211; }));
    runFor(20);
    e.release();
    EXPECT_EQ(rec.reports.size(), 211u);
}

TEST(ControllerEmulator, SetRateIsBounded) {
    ControllerEmulator e;
    EXPECT_EQ(e.rate(), 1000);
    const std::pair<int, int> cases[] = {
        {0, 1}, {-5, 1}, {1, 1}, {250, 250}, {1'000'000, ControllerEmulator::MaxRate}};
    for (auto [asked, got] : cases) {
        e.setRate(asked);
        EXPECT_EQ(e.rate(), got) << asked;
    }
}

TEST(ControllerEmulator, VariationMovesAroundNominalAndStopsWhenFixed) {
    ControllerEmulator e;
    const RawTelemetry n = ControllerEmulator::nominalTelemetry();
    EXPECT_EQ(e.telemetry(), n) << "fixed by default";
    e.setVariation(true);
    for (int i = 0; i < 5; ++i) {
        const RawTelemetry t = e.telemetry();
        EXPECT_NEAR(t.acc, n.acc, 32);
        EXPECT_NEAR(t.atx, n.atx, 8);
        EXPECT_NEAR(t.temperature, n.temperature, 5);
        runFor(10);
    }
    e.setTelemetry({1, 2, 3});
    EXPECT_FALSE(e.variation());
    EXPECT_EQ(e.telemetry(), (RawTelemetry{1, 2, 3}));
}

TEST(ControllerEmulator, FaultModeSendsOnlyUnknownTypes) {
    ControllerEmulator e;
    Recorder rec(e);
    e.setFaultMode(true);
    ASSERT_TRUE(waitUntil([&] { return rec.reports.size() >= 20; }, 2000));
    e.setFaultMode(false);
    std::set<std::uint8_t> seen;
    for (const Report& r : rec.reports) {
        EXPECT_NE(r[1], ReportParameters);
        EXPECT_NE(r[1], ReportTelemetry);
        EXPECT_NE(r[1], ReportButtonCode);
        for (std::size_t i = 2; i < r.size(); ++i) seen.insert(r[i]);
    }
    EXPECT_GT(seen.size(), 100u) << "not random bytes";
}

TEST(BlockBytes, FormatAndParseAreInverse) {
    ParameterBlockBytes b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 5);
    const QString text = formatBlockBytes(b);
    EXPECT_EQ(text.size(), 26 * 3 - 1);
    EXPECT_EQ(text, text.toLower());
    EXPECT_EQ(parseBlockBytes(text), b);
    EXPECT_EQ(parseBlockBytes(QStringLiteral("  %1\n").arg(text)), b);
    EXPECT_EQ(parseBlockBytes(text.toUpper()), b);
}

}  // namespace

namespace {

TEST(ControllerEmulator, MuteControllerStoresButNeverAnswers) {
    ControllerEmulator e;
    Recorder rec(e);
    e.setMute(true);
    Report write{};
    write[1] = CmdWriteParameters;
    e.receive(write);
    e.receive(command(CmdReadParameters));
    e.receive(command(CmdRequestTelemetry));
    runFor(30);
    EXPECT_TRUE(rec.reports.empty());
    EXPECT_EQ(e.blockBytes(), ParameterBlockBytes{});
    e.setMute(false);
    e.receive(command(CmdReadParameters));
    EXPECT_TRUE(waitUntil([&] { return rec.reports.size() == 1; }, 500));
}

}  // namespace
