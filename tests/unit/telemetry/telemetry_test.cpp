#include "telemetry/telemetry.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_hid_library.hpp"

namespace {

using telemetry::ChartedSamples;

// The screen as the tick sees it, with every call written down in order.
struct RecordingView : telemetry::TelemetryView {
    explicit RecordingView(std::vector<std::string>& log) : log_(log) {}

    void setReadoutCaption(int readout, const QString& text) override {
        log_.push_back("caption" + std::to_string(readout));
        captions[static_cast<std::size_t>(readout)] = text;
    }
    double temperatureAxisMax() const override { return max; }
    void setTemperatureAxisMin(double value) override {
        log_.push_back("min " + std::to_string(value));
        min = value;
        if (min > max) minPassedMax = true;
    }
    void setTemperatureAxisMax(double value) override {
        log_.push_back("max " + std::to_string(value));
        max = value;
        if (min > max) minPassedMax = true;
    }
    void replaceSeries(int index, const QList<QPointF>& points) override {
        log_.push_back("series" + std::to_string(index));
        series[static_cast<std::size_t>(index)] = points;
    }

    std::vector<std::string> axisCalls() const {
        std::vector<std::string> out;
        for (const auto& e : log_)
            if (e.rfind("min", 0) == 0 || e.rfind("max", 0) == 0) out.push_back(e);
        return out;
    }

    std::array<QString, 3> captions;
    double min = -2.5;
    double max = 2.5;
    bool minPassedMax = false;
    std::array<QList<QPointF>, 3> series;

private:
    std::vector<std::string>& log_;
};

class TelemetryTick : public ::testing::Test {
protected:
    TelemetryTick() {
        telemetry::resetProgramHistoriesForTests();
        hid.onWrite = [this] { log.push_back("write"); };
    }

    void ticks(int n, QChar sep = QLatin1Char(',')) {
        for (int i = 0; i < n; ++i) tel.Timer1Timer(sep);
    }
    void setReading(long double acc, long double atx, long double temp) {
        latest.AccVolts = acc;
        latest.AtxVolts = atx;
        latest.TemperatureC = temp;
    }
    // Y values of one series, left to right.
    std::vector<double> ys(int s) const {
        std::vector<double> out;
        for (const QPointF& p : view.series[static_cast<std::size_t>(s)]) out.push_back(p.y());
        return out;
    }
    void expectShape() const {
        for (int s = 0; s < 3; ++s) {
            const auto& pts = view.series[static_cast<std::size_t>(s)];
            ASSERT_EQ(pts.size(), static_cast<qsizetype>(ChartedSamples)) << "series " << s;
            for (qsizetype i = 0; i < pts.size(); ++i)
                ASSERT_EQ(pts[i].x(), static_cast<double>(i)) << "series " << s;
        }
    }

    std::vector<std::string> log;
    testing_support::FakeHidLibrary hid;  // no controller attached
    device::Report OutReport{};
    device::Measurements latest;
    RecordingView view{log};
    telemetry::Telemetry tel{hid, OutReport, latest, view};
};

TEST_F(TelemetryTick, NoControllerEverShowsZerosAndTheStartRange) {
    ticks(1);
    EXPECT_EQ(view.captions[0], QStringLiteral("0,00 v"));
    EXPECT_EQ(view.captions[1], QStringLiteral("0,00 v"));
    EXPECT_EQ(view.captions[2], QStringLiteral("0,0 °C"));
    EXPECT_DOUBLE_EQ(view.min, -2.5);
    EXPECT_DOUBLE_EQ(view.max, 2.5);
    expectShape();
    for (int s = 0; s < 3; ++s)
        EXPECT_EQ(ys(s), std::vector<double>(ChartedSamples, 0.0)) << "series " << s;
}

TEST_F(TelemetryTick, OneTickRequestsFirstThenShowsThenRecentresThenRedraws) {
    ticks(1);
    const std::vector<std::string> expected = {"write",    "caption0",      "caption1",
                                               "caption2", "min -2.500000", "max 2.500000",
                                               "series0",  "series1",       "series2"};
    EXPECT_EQ(log, expected);
}

TEST_F(TelemetryTick, ConstantReadingFillsTheChartAfter255TicksNotBefore) {
    struct Case {
        int ticks;
        double leftmost;
    } cases[] = {{1, 0.0}, {254, 0.0}, {255, 13.5}, {300, 13.5}};
    for (const auto& c : cases) {
        telemetry::resetProgramHistoriesForTests();
        setReading(13.5L, 12.25L, 25.0L);
        ticks(c.ticks);
        SCOPED_TRACE(c.ticks);
        expectShape();
        const double factor[] = {1.0, 12.25 / 13.5, 25.0 / 13.5};
        for (int s = 0; s < 3; ++s) {
            const auto y = ys(s);
            const double reading = 13.5 * factor[s];
            EXPECT_DOUBLE_EQ(y.front(), c.leftmost * factor[s]) << "series " << s;
            // The samples taken so far stand at the right, the rest are start-up zeros.
            const int filled = std::min<int>(c.ticks, static_cast<int>(ChartedSamples));
            for (std::size_t i = 0; i < ChartedSamples; ++i) {
                const bool sampled = i >= ChartedSamples - static_cast<std::size_t>(filled);
                ASSERT_DOUBLE_EQ(y[i], sampled ? reading : 0.0) << "series " << s << " at " << i;
            }
        }
    }
}

TEST_F(TelemetryTick, TemperatureRangeMovesWithoutTheMinimumPassingTheMaximum) {
    struct Case {
        const char* name;
        long double before;  // temperature of the previous tick: range before ± 2.5
        long double now;
        std::vector<std::string> calls;
    } cases[] = {
        {"first report jumps up", 0, 25, {"max 27.500000", "min 22.500000"}},
        {"rise above the maximum", 20, 22.6L, {"max 25.100000", "min 20.100000"}},
        {"small rise", 20, 21, {"min 18.500000", "max 23.500000"}},
        {"equal to the maximum", 20, 22.5L, {"min 20.000000", "max 25.000000"}},
        {"fall", 25, 20, {"min 17.500000", "max 22.500000"}},
        {"fall far below", 25, -30, {"min -32.500000", "max -27.500000"}},
        {"unchanged", 25, 25, {"min 22.500000", "max 27.500000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setReading(0, 0, c.before);
        ticks(1);
        log.clear();
        view.minPassedMax = false;
        setReading(0, 0, c.now);
        ticks(1);
        EXPECT_EQ(view.axisCalls(), c.calls);
        EXPECT_FALSE(view.minPassedMax);
        EXPECT_DOUBLE_EQ(view.min, static_cast<double>(c.now - 2.5L));
        EXPECT_DOUBLE_EQ(view.max, static_cast<double>(c.now + 2.5L));
    }
}

TEST_F(TelemetryTick, ZoomedTemperatureRangeIsResetAtTheNextTick) {
    // The user zoomed or panned: the order follows the maximum in force, not the last tick.
    struct Case {
        double zoomMin, zoomMax;
        std::vector<std::string> calls;
    } cases[] = {{0, 100, {"min 22.500000", "max 27.500000"}},
                 {-10, 10, {"max 27.500000", "min 22.500000"}},
                 {40, 60, {"min 22.500000", "max 27.500000"}}};
    for (const auto& c : cases) {
        view.min = c.zoomMin;
        view.max = c.zoomMax;
        log.clear();
        view.minPassedMax = false;
        setReading(0, 0, 25);
        ticks(1);
        EXPECT_EQ(view.axisCalls(), c.calls) << c.zoomMin << ".." << c.zoomMax;
        EXPECT_FALSE(view.minPassedMax);
        EXPECT_DOUBLE_EQ(view.min, 22.5);
        EXPECT_DOUBLE_EQ(view.max, 27.5);
    }
}

TEST_F(TelemetryTick, UnplugFeedsZerosFromTheRightAndKeepsOlderSamples) {
    for (int i = 1; i <= 10; ++i) {
        setReading(10 + i, 11 + i, 20 + i);
        ticks(1);
    }
    const QList<QPointF> beforeUnplug = view.series[0];
    setReading(0, 0, 0);  // what the device link stores on unplug
    ticks(3);

    EXPECT_EQ(view.captions[0], QStringLiteral("0,00 v"));
    EXPECT_EQ(view.captions[1], QStringLiteral("0,00 v"));
    EXPECT_EQ(view.captions[2], QStringLiteral("0,0 °C"));
    expectShape();
    const double base[] = {10, 11, 20};
    for (int s = 0; s < 3; ++s) {
        const auto y = ys(s);
        for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(y[254 - k], 0.0) << "series " << s;
        for (int i = 1; i <= 10; ++i)
            EXPECT_DOUBLE_EQ(y[static_cast<std::size_t>(241 + i)], base[s] + i) << "series " << s;
        EXPECT_EQ(y[241], 0.0);  // start-up zeros further left
    }
    // A list the screen still holds from an earlier tick is not changed behind its back.
    EXPECT_DOUBLE_EQ(beforeUnplug[254].y(), 20.0);
    EXPECT_DOUBLE_EQ(beforeUnplug[253].y(), 19.0);
}

TEST_F(TelemetryTick, EveryTickSendsTheRequestAndTouchesOnlyTwoBytes) {
    for (std::size_t i = 0; i < OutReport.size(); ++i)
        OutReport[i] = static_cast<uint8_t>(0xA0 + i);
    const device::Report earlier = OutReport;
    struct Case {
        device::HidLibrary::Handle handle;  // 0: nothing attached, the write goes out anyway
        int ticks;
    } cases[] = {{0, 3}, {7, 2}};
    std::size_t total = 0;
    for (const auto& c : cases) {
        hid.handle = c.handle;
        ticks(c.ticks);
        total += static_cast<std::size_t>(c.ticks);
        ASSERT_EQ(hid.writes.size(), total);
        EXPECT_EQ(hid.writes.back().handle, c.handle);
    }
    ASSERT_EQ(hid.lookups.size(), total);
    for (const auto& l : hid.lookups) EXPECT_EQ(l, (std::pair<int, int>{1240, 63}));
    for (const auto& w : hid.writes) {
        EXPECT_EQ(w.report[0], 0);
        EXPECT_EQ(w.report[1], 3);
        for (std::size_t i = 2; i < w.report.size(); ++i) ASSERT_EQ(w.report[i], earlier[i]) << i;
    }
}

TEST_F(TelemetryTick, ReadoutTextsFollowTheSeparatorAndNeverShowMinusZero) {
    struct Case {
        long double acc, atx, temp;
        char sep;
        const char *accText, *atxText, *tempText;
    } cases[] = {
        {13.42L, 12.14L, 29.2L, ',', "13,42 v", "12,14 v", "29,2 °C"},
        {13.42L, 12.14L, 29.2L, '.', "13.42 v", "12.14 v", "29.2 °C"},
        {0, 0, -0.04L, ',', "0,00 v", "0,00 v", "0,0 °C"},
        {-0.004L, 9.995L, -0.05L, ',', "0,00 v", "10,00 v", "-0,1 °C"},
        {5, 14.999L, -12.25L, '.', "5.00 v", "15.00 v", "-12.3 °C"},
        {13.125L, 0.005L, 125, ',', "13,13 v", "0,01 v", "125,0 °C"},
    };
    for (const auto& c : cases) {
        setReading(c.acc, c.atx, c.temp);
        ticks(1, QLatin1Char(c.sep));
        EXPECT_EQ(view.captions[0], QString::fromUtf8(c.accText));
        EXPECT_EQ(view.captions[1], QString::fromUtf8(c.atxText));
        EXPECT_EQ(view.captions[2], QString::fromUtf8(c.tempText));
    }
    // A blank, the degree sign U+00B0 and a Latin capital C.
    EXPECT_EQ(view.captions[2].right(3), QString(QChar(' ')) + QChar(0x00B0) + QChar('C'));
}

TEST_F(TelemetryTick, HistoriesOutliveTheTickObjectAndKeepTheStagingCopy) {
    setReading(14, 12, 30);
    ticks(2);
    const auto& h = telemetry::programHistories();
    EXPECT_EQ(h.AccHistory[254], 14.0L);
    EXPECT_EQ(h.AccHistory[255], 14.0L);
    EXPECT_EQ(h.TempHistory[255], 30.0L);
    EXPECT_EQ(h.AtxHistory[252], 0.0L);

    // A new tick object (a re-created screen) goes on from the same samples.
    RecordingView other{log};
    telemetry::Telemetry again{hid, OutReport, latest, other};
    setReading(0, 0, 0);
    again.Timer1Timer(QLatin1Char('.'));
    ASSERT_EQ(other.series[0].size(), static_cast<qsizetype>(ChartedSamples));
    EXPECT_EQ(other.series[0][252].y(), 14.0);
    EXPECT_EQ(other.series[0][253].y(), 14.0);
    EXPECT_EQ(other.series[0][254].y(), 0.0);
}

TEST_F(TelemetryTick, ExtendedPrecisionSamplesSurviveInTheHistories) {
    // The histories hold the readings as they were measured; only the chart rounds to double.
    const long double fine = 12.1L + 1e-17L;
    setReading(fine, 0, 0);
    ticks(1);
    EXPECT_EQ(telemetry::programHistories().AccHistory[254], fine);
}

}  // namespace
