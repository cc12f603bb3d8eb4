#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QWidget>
#include <optional>

#include "telemetry/telemetry.hpp"
#include "ui/charts.hpp"

#include "allocation_counter.hpp"
#include "support/fake_hid_library.hpp"

namespace {

// The controller under handle 1; writes are counted, not kept, so that the memory the
// tick takes is the tick's own.
struct SilentHid : testing_support::FakeHidLibrary {
    SilentHid() : FakeHidLibrary(1) { record = false; }
};

struct NullView : telemetry::TelemetryView {
    void setReadoutCaption(int, const QString& text) override {
        benchmark::DoNotOptimize(text.constData());
    }
    double temperatureAxisMax() const override { return max; }
    void setTemperatureAxisMin(double) override {}
    void setTemperatureAxisMax(double value) override { max = value; }
    void replaceSeries(int, const QList<QPointF>& points) override {
        benchmark::DoNotOptimize(points.constData());
    }
    double max = 2.5;
};

// Readings that move a little every tick, as a running controller's do.
void vary(device::Measurements& m, long n) {
    m.AccVolts = 13.8L + 0.01L * static_cast<long double>(n % 17);
    m.AtxVolts = 12.1L + 0.01L * static_cast<long double>(n % 13);
    m.TemperatureC = 25.0L + 0.1L * static_cast<long double>(n % 29);
}

void BM_CoreTick(benchmark::State& state) {
    SilentHid hid;
    device::Report out{};
    device::Measurements latest;
    NullView view;
    telemetry::SampleHistories histories;
    telemetry::Telemetry tel(hid, out, latest, view, histories);
    long n = 0;
    tel.Timer1Timer(QLatin1Char(','));  // first tick outside the count
    const long before = bench::allocations.load();
    for (auto _ : state) {
        vary(latest, ++n);
        tel.Timer1Timer(QLatin1Char(','));
    }
    bench::reportAllocations(state, "allocs/tick", before);
}
BENCHMARK(BM_CoreTick)->Unit(benchmark::kMicrosecond);

// The indicators page: three readouts and the two charts at their window sizes.
struct Page {
    Page() {
        page.resize(481, 413);
        for (int i = 0; i < 3; ++i) buttons[i] = new QPushButton(&page);
        chart1 = new QCustomPlot(&page);
        chart1->setGeometry(0, 72, 481, 169);
        chart2 = new QCustomPlot(&page);
        chart2->setGeometry(0, 240, 481, 169);
        charts.emplace(chart1, chart2,
                       std::array<QAbstractButton*, 3>{buttons[0], buttons[1], buttons[2]});
        page.show();
        QApplication::processEvents();
    }
    QWidget page;
    QPushButton* buttons[3] = {};
    QCustomPlot* chart1 = nullptr;
    QCustomPlot* chart2 = nullptr;
    std::optional<ui::TelemetryCharts> charts;
};

// One tick into real series: what the timer handler itself costs. Argument 1: readings
// that move (the temperature axis and its labels change every tick); 0: a steady reading.
void BM_TickWithCharts(benchmark::State& state) {
    Page p;
    SilentHid hid;
    device::Report out{};
    device::Measurements latest;
    telemetry::SampleHistories histories;
    telemetry::Telemetry tel(hid, out, latest, *p.charts, histories);
    long n = 0;
    tel.Timer1Timer(QLatin1Char(','));
    QApplication::processEvents();
    const long before = bench::allocations.load();
    const bool moving = state.range(0) != 0;
    for (auto _ : state) {
        if (moving) vary(latest, ++n);
        tel.Timer1Timer(QLatin1Char(','));
    }
    bench::reportAllocations(state, "allocs/tick", before);
}
BENCHMARK(BM_TickWithCharts)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The tick and the repaint that follows it in the event loop (drawn offscreen).
void BM_TickWithChartsAndPaint(benchmark::State& state) {
    Page p;
    SilentHid hid;
    device::Report out{};
    device::Measurements latest;
    telemetry::SampleHistories histories;
    telemetry::Telemetry tel(hid, out, latest, *p.charts, histories);
    long n = 0;
    for (auto _ : state) {
        vary(latest, ++n);
        tel.Timer1Timer(QLatin1Char(','));
        QApplication::processEvents();
        p.page.repaint();
    }
}
BENCHMARK(BM_TickWithChartsAndPaint)->Unit(benchmark::kMicrosecond);

// For comparison: the same redraw done point by point (clear, then 255 additions a series).
void BM_ClearAndAppendWithCharts(benchmark::State& state) {
    Page p;
    QCPGraph* series[] = {p.charts->Series1, p.charts->Series2, p.charts->LineSeries1};
    long n = 0;
    for (auto _ : state) {
        ++n;
        for (QCPGraph* s : series) {
            s->data()->clear();
            for (int i = 0; i < 255; ++i)
                s->addData(i, 13.0 + 0.01 * static_cast<double>((n + i) % 17));
        }
    }
}
BENCHMARK(BM_ClearAndAppendWithCharts)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // No display needed: the charts draw into offscreen buffers.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
