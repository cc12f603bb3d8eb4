#include "keymap/key_mapper.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "support/fake_key_table.hpp"
#include "support/manual_clock.hpp"
#include "support/recording_emitter.hpp"

using testing_support::FakeKeyTable;

namespace {

using keymap::KeyMapper;
using testing_support::ManualClock;
using testing_support::RecordingEmitter;
using Ev = RecordingEmitter::Event;

struct Rig {
    FakeKeyTable table = FakeKeyTable::defaults();
    RecordingEmitter out;
    ManualClock clock;
    KeyMapper mapper{table, out, clock};

    // One report, a millisecond after the previous one (1000 reports per second).
    // Returns whether it typed anything.
    bool report(std::int32_t code) {
        clock.advance(1);
        const std::size_t before = out.events.size();
        mapper.JoyCode(code);
        return out.events.size() != before;
    }

    // Holds a button for n reports; returns the numbers (from 1) of the reports that typed.
    std::vector<int> hold(std::int32_t code, int n) {
        std::vector<int> fired;
        for (int i = 1; i <= n; ++i)
            if (report(code)) fired.push_back(i);
        return fired;
    }

    void silence(std::int64_t ms) {
        clock.advance(ms);
        mapper.Timer2Timer();
    }
};

std::vector<Ev> tap(std::uint8_t vk) {
    return {{vk, true}, {vk, false}};
}

std::vector<Ev> taps(std::initializer_list<std::uint8_t> vks) {
    std::vector<Ev> all;
    for (auto vk : vks)
        for (const Ev& e : tap(vk)) all.push_back(e);
    return all;
}

struct RepeatCase {
    const char* name;
    std::int32_t first, next;
    int reports;
    std::vector<int> fired;
};

TEST(KeyMapper, RepeatRule) {
    const RepeatCase cases[] = {
        {"defaults", 200, 100, 450, {1, 201, 301, 401}},
        {"short press", 200, 100, 200, {1}},
        {"first delay 0", 0, 3, 10, {1, 4, 7, 10}},
        {"every report", 1, 1, 5, {1, 2, 3, 4, 5}},
        {"next 0: two taps", 5, 0, 50, {1, 6}},
        {"next 0, default first", 200, 0, 1000, {1, 201}},
        {"both 0: only the first", 0, 0, 20, {1}},
        {"negative first", -1, 3, 10, {1, 3, 4, 6, 7, 9, 10}},
        {"negative next", 5, -2, 20, {1, 4}},
        // Sums past the 32-bit range compare by their true value and never fire.
        {"huge settings", INT32_MAX, INT32_MAX, 10, {1}},
        {"most negative first", INT32_MIN, -1, 10, {1}},
    };
    for (const RepeatCase& c : cases) {
        Rig rig;
        rig.mapper.systemSettings() = {5, c.first, c.next};
        EXPECT_EQ(rig.hold(1024, c.reports), c.fired) << c.name;
    }
}

TEST(KeyMapper, EachFiringReportTypesOneCompleteTap) {
    Rig rig;
    for (int i = 2; i <= 12; ++i) rig.table.rows[i - 1].jcode = QStringLiteral("7");
    rig.hold(1024, 301);
    EXPECT_EQ(rig.out.events, taps({65, 65, 65}));
}

struct MatchCase {
    const char* name;
    const char16_t* codeText;  // entry 01
    std::int32_t differ;
    std::int32_t code;
    bool matches;
};

TEST(KeyMapper, MatchingTolerance) {
    const MatchCase cases[] = {
        {"500 - 4", u"500", 5, 496, true},
        {"500 + 4", u"500", 5, 504, true},
        {"500 - 5", u"500", 5, 495, false},
        {"500 + 5", u"500", 5, 505, false},
        {"exact", u"500", 5, 500, true},
        {"empty, 0", u"", 5, 0, true},
        {"empty, 4", u"", 5, 4, true},
        {"empty, 5", u"", 5, 5, false},
        {"abc, 4", u"abc", 5, 4, true},
        {"abc, 5", u"abc", 5, 5, false},
        {"trailing blank", u"500 ", 5, 500, false},
        {"trailing blank is 0", u"500 ", 5, 0, true},
        {"leading blanks", u"  500", 5, 500, true},
        {"hex", u"$400", 5, 1024, true},
        {"differ 1 exact", u"500", 1, 500, true},
        {"differ 1 off by one", u"500", 1, 501, false},
        {"differ 0", u"500", 0, 500, false},
        {"differ negative", u"500", -3, 500, false},
        // Far codes compare by their true distance, not a wrapped 32-bit one.
        {"most negative code", u"-2147483648", 5, 0, false},
        {"large negative code", u"-2147480000", 5, 65535, false},
        {"huge differ", u"-2147483648", INT32_MAX, 65535, false},
        {"huge differ reaches", u"-2147418111", INT32_MAX, 65535, true},
    };
    for (const MatchCase& c : cases) {
        Rig rig;
        // Out of reach of any code and any tolerance.
        for (int i = 2; i <= 12; ++i) rig.table.rows[i - 1].jcode = QStringLiteral("-2147483648");
        rig.table.rows[0].jcode = QString::fromUtf16(c.codeText);
        rig.mapper.systemSettings().Differ = c.differ;
        rig.report(c.code);
        EXPECT_EQ(rig.out.events, c.matches ? tap(65) : std::vector<Ev>{}) << c.name;
    }
}

TEST(KeyMapper, DefaultTableTypesAllTwelveInOrder) {
    const struct {
        std::int32_t code;
        bool all;
    } cases[] = {{1019, false}, {1020, true}, {1024, true}, {1028, true}, {1029, false}};
    for (const auto& c : cases) {
        Rig rig;
        rig.report(c.code);
        EXPECT_EQ(rig.out.events, c.all ? taps({65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76})
                                        : std::vector<Ev>{})
            << c.code;
    }
}

TEST(KeyMapper, SharedCodeFiresLowerEntryFirst) {
    Rig rig;
    for (auto& r : rig.table.rows) r.jcode = QStringLiteral("0");
    rig.table.rows[8].jcode = QStringLiteral("700");  // entry 09: I
    rig.table.rows[2].jcode = QStringLiteral("702");  // entry 03: C
    rig.report(701);
    EXPECT_EQ(rig.out.events, taps({67, 73}));
}

struct StrokeCase {
    const char* name;
    bool shift, ctrl, alt;
    const char16_t* value;
    std::vector<Ev> events;
};

TEST(KeyMapper, KeystrokeSequence) {
    const StrokeCase cases[] = {
        {"plain", false, false, false, u"65", tap(65)},
        {"shift+ctrl",
         true,
         true,
         false,
         u"65",
         {{0x10, true}, {0x11, true}, {65, true}, {65, false}, {0x11, false}, {0x10, false}}},
        {"all three",
         true,
         true,
         true,
         u"66",
         {{0x10, true},
          {0x11, true},
          {0x12, true},
          {66, true},
          {66, false},
          {0x12, false},
          {0x11, false},
          {0x10, false}}},
        {"alt only",
         false,
         false,
         true,
         u"9",
         {{0x12, true}, {9, true}, {9, false}, {0x12, false}}},
        {"empty key, modifiers only",
         true,
         false,
         true,
         u"",
         {{0x10, true}, {0x12, true}, {0x12, false}, {0x10, false}}},
        {"empty key, no modifier", false, false, false, u"", {}},
        {"abc is Escape", false, false, false, u"abc", tap(27)},
        {"blanks are Escape", false, false, false, u"   ", tap(27)},
        {"trailing blank is Escape", false, false, false, u"65 ", tap(27)},
        {"out of range is Escape", false, false, false, u"4294967296", tap(27)},
        {"low 8 bits of 300", false, false, false, u"300", tap(44)},
        {"dollar hex", false, false, false, u"$41", tap(65)},
        {"0x hex", false, false, false, u"0x41", tap(65)},
        {"negative", false, false, false, u"-1", tap(255)},
        {"bit pattern", false, false, false, u"$FFFFFF41", tap(65)},
        {"media key", false, false, false, u"173", tap(173)},
    };
    for (const StrokeCase& c : cases) {
        Rig rig;
        for (int i = 2; i <= 12; ++i) rig.table.rows[i - 1].jcode = QStringLiteral("0");
        auto& r = rig.table.rows[0];
        r.shift = c.shift;
        r.ctrl = c.ctrl;
        r.alt = c.alt;
        r.value = QString::fromUtf16(c.value);
        rig.report(1024);
        EXPECT_EQ(rig.out.events, c.events) << c.name;
    }
}

TEST(KeyMapper, ReleaseDetection) {
    // Silence before a tick, and whether the next press fires on its first report.
    const struct {
        std::int64_t silenceMs;
        bool firesAgain;
    } cases[] = {{500, false}, {999, false}, {1000, false}, {1001, true}, {1500, true}};
    for (const auto& c : cases) {
        Rig rig;
        rig.hold(1024, 5);
        rig.silence(c.silenceMs);
        EXPECT_EQ(rig.mapper.ReportCount(), c.firesAgain ? 0 : 5) << c.silenceMs;
        EXPECT_EQ(rig.report(1024), c.firesAgain) << c.silenceMs;
    }
}

TEST(KeyMapper, ReleaseNoticedByTheRegularTicks) {
    // Timer2 ticks every 500 ms whatever the reports do; silence of up to 1000 ms between
    // presses never resets, 1500 ms always does.
    for (std::int64_t phase = 0; phase < 500; phase += 37) {
        for (std::int64_t gap : {600, 1000, 1500}) {
            Rig rig;
            std::int64_t nextTick = phase + 500;
            auto runTo = [&](std::int64_t t) {
                while (nextTick <= t) {
                    rig.clock.set(nextTick);
                    rig.mapper.Timer2Timer();
                    nextTick += 500;
                }
                rig.clock.set(t);
            };
            rig.clock.set(1);
            rig.mapper.JoyCode(1024);
            runTo(1 + gap);
            const std::size_t before = rig.out.events.size();
            rig.mapper.JoyCode(1024);
            EXPECT_EQ(rig.out.events.size() != before, gap >= 1500) << phase << ' ' << gap;
        }
    }
}

TEST(KeyMapper, CountContinuesAcrossQuickPresses) {
    Rig rig;
    EXPECT_EQ(rig.hold(1024, 5), std::vector<int>{1});
    rig.silence(800);
    // The second press fires only when the shared count reaches Val.First (200): its 196th.
    EXPECT_EQ(rig.hold(1024, 196), std::vector<int>{196});
}

TEST(KeyMapper, ButtonsShareTheCount) {
    Rig rig;
    rig.table.rows[11].jcode = QStringLiteral("500");  // entry 12: L
    rig.hold(1024, 5);
    rig.silence(300);
    EXPECT_FALSE(rig.report(500));
    EXPECT_EQ(rig.mapper.ReportCount(), 6);
}

TEST(KeyMapper, LastReportTimeFollowsEveryReport) {
    Rig rig;
    rig.clock.set(1000);
    rig.mapper.JoyCode(1024);  // fires
    rig.clock.set(1700);
    rig.mapper.JoyCode(1024);  // does not fire
    EXPECT_EQ(rig.mapper.LastReportTime(), 1700);
    rig.clock.set(2700);
    rig.mapper.Timer2Timer();
    EXPECT_EQ(rig.mapper.ReportCount(), 2) << "only 1000 ms since the last report";
}

TEST(KeyMapper, WindowActiveBlocksTypingButNotCapture) {
    Rig rig;
    rig.table.focus = 5;
    rig.mapper.setWindowActive(true);
    rig.report(517);
    EXPECT_EQ(rig.table.rows[4].jcode, "517");
    rig.table.rows[4].jcode = QStringLiteral("typed");
    rig.hold(517, 199);  // reports 2..200 do not fire
    EXPECT_EQ(rig.table.rows[4].jcode, "typed");
    rig.report(518);  // report 201 fires
    EXPECT_EQ(rig.table.rows[4].jcode, "518");
    EXPECT_TRUE(rig.out.events.empty());
    EXPECT_EQ(rig.mapper.ReportCount(), 201);

    rig.mapper.setWindowActive(false);
    rig.hold(1024, 100);  // report 301 fires and types again
    EXPECT_EQ(rig.out.events.size(), 24u) << "the capture put 1024 back into entry 05";
}

TEST(KeyMapper, CaptureWritesOnlyTheFocusedCodeField) {
    for (int focus = 0; focus <= keymap::KeyTableRows; ++focus) {
        FakeKeyTable table = FakeKeyTable::defaults();
        table.focus = focus;
        keymap::CaptureCode(table, 65535);
        for (int row = 1; row <= keymap::KeyTableRows; ++row)
            EXPECT_EQ(table.rows[row - 1].jcode, row == focus ? "65535" : "1024") << focus;
        EXPECT_EQ(table.writes, focus == 0 ? 0 : 1);
    }
}

TEST(KeyMapper, CapturedCodeTypesThatEntryAtOnce) {
    // The code is captured before matching, so the focused entry answers the same report.
    Rig rig;
    for (auto& r : rig.table.rows) r.jcode = QStringLiteral("0");
    rig.table.focus = 4;
    rig.report(3000);
    EXPECT_EQ(rig.out.events, tap(68));
}

}  // namespace
