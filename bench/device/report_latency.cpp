// Report-to-keystroke latency on the real event loop: the emulator holds a wheel button at
// the USB rate, each report is stamped when the emulator hands it to the library, and again
// when the key mapper calls the emitter for it. The telemetry tick (into hidden charts) and
// the release tick run beside it, as in the program.
//
//   bench_report_latency [--reports N] [--rate R] [--warmup N]
//   bench_report_latency --empty-loop SECONDS
//
// Prints the percentiles in microseconds and the CPU share while the button is held. Every
// report fires (Val.First 1, Val.Next 1), so each one has exactly one keystroke to wait for.
// --empty-loop gives the floor to compare with: the same loop woken by a 1 ms timer that
// does nothing.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <vector>

#include "device/device_event_hook.hpp"
#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "keymap/key_mapper.hpp"
#include "support/device_views.hpp"
#include "support/fake_key_table.hpp"
#include "telemetry/telemetry.hpp"
#include "ui/charts.hpp"

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
constexpr std::uint8_t kKey = 88;  // X
constexpr int kCode = 700;

// Every row at code 1024 and keys A..L, but row 05 answers code 700 with X.
testing_support::FakeKeyTable benchTable() {
    auto t = testing_support::FakeKeyTable::defaults();
    t.rows[4].jcode = QString::number(kCode);
    t.rows[4].value = QString::number(kKey);
    return t;
}

// Stamps the keystroke of each report against its arrival.
class TimingEmitter final : public keymap::KeyEmitter {
public:
    explicit TimingEmitter(std::deque<SteadyTime>& arrivals) : arrivals_(arrivals) {}
    void key(std::uint8_t vk, bool pressed) override {
        if (vk != kKey || !pressed) return;
        const SteadyTime now = std::chrono::steady_clock::now();
        if (arrivals_.empty()) {
            ++unmatched;
            return;
        }
        latencies.push_back(
            std::chrono::duration_cast<std::chrono::nanoseconds>(now - arrivals_.front()).count());
        arrivals_.pop_front();
    }
    std::vector<long long> latencies;
    long unmatched = 0;

private:
    std::deque<SteadyTime>& arrivals_;
};

double percentile(const std::vector<long long>& sorted, double p) {
    const auto i = static_cast<std::size_t>(p / 100.0 * static_cast<double>(sorted.size() - 1));
    return static_cast<double>(sorted[i]) / 1000.0;
}

// CPU time of the whole process, in seconds.
double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int emptyLoop(QApplication& app, int seconds) {
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    long ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(1);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    const double cpu0 = processCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    app.exec();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("empty loop, 1 ms timer: %ld ticks in %.1f s, CPU %.2f %% of one core\n", ticks,
                wall, 100.0 * (processCpuSeconds() - cpu0) / wall);
    return 0;
}

int argument(const QStringList& args, const char* name, int fallback) {
    const int i = static_cast<int>(args.indexOf(QLatin1String(name)));
    if (i < 0 || i + 1 >= args.size()) return fallback;
    bool ok = false;
    const int v = args[i + 1].toInt(&ok);
    return ok && v > 0 ? v : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    // The window lives hidden in the tray: its charts are updated but never drawn.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int reports = argument(args, "--reports", 12000);
    const int rate = argument(args, "--rate", 1000);
    const int warmup = argument(args, "--warmup", 200);
    if (args.contains(QLatin1String("--empty-loop")))
        return emptyLoop(app, argument(args, "--empty-loop", 20));

    std::deque<SteadyTime> arrivals;
    emulator::ControllerEmulator emulator;
    emulator.setVariation(true);
    // Connected before the library is made, so that the stamp is taken at the hand-over,
    // before the library queues the report.
    QObject::connect(&emulator, &emulator::ControllerEmulator::inputReport,
                     [&arrivals](const device::Report& r) {
                         if (r[1] == device::ReportButtonCode)
                             arrivals.push_back(std::chrono::steady_clock::now());
                     });
    emulator::SimulatedLibrary hid(emulator);

    device::Report in{};
    device::Report out{};
    device::Measurements latest;
    testing_support::NullStatus status;
    device::DeviceEventHook hook(hid, in, latest, status);
    testing_support::FakeKeyTable table = benchTable();
    TimingEmitter emitter(arrivals);
    keymap::SteadyClock clock;
    keymap::KeyMapper mapper(table, emitter, clock);
    mapper.systemSettings() = {5, 1, 1};
    hook.setButtonCodeSink(&mapper);
    hook.attach();

    QWidget page;
    page.resize(481, 413);
    std::array<QAbstractButton*, 3> readouts{};
    for (auto& b : readouts) b = new QPushButton(&page);
    auto* chart1 = new QCustomPlot(&page);
    chart1->setGeometry(0, 72, 481, 169);
    auto* chart2 = new QCustomPlot(&page);
    chart2->setGeometry(0, 240, 481, 169);
    ui::TelemetryCharts charts(chart1, chart2, readouts);
    telemetry::SampleHistories histories;
    telemetry::Telemetry tel(hid, out, latest, charts, histories);

    QTimer timer1;
    QObject::connect(&timer1, &QTimer::timeout, [&tel] { tel.Timer1Timer(QLatin1Char(',')); });
    timer1.start(1000);
    QTimer timer2;
    QObject::connect(&timer2, &QTimer::timeout, [&mapper] { mapper.Timer2Timer(); });
    timer2.start(keymap::KeyMapper::Timer2IntervalMs);

    emulator.setRate(rate);
    const int total = reports + warmup;
    std::chrono::steady_clock::time_point started;
    double cpuStarted = 0;
    double cpuFinished = 0;
    std::chrono::steady_clock::time_point finished;
    QObject::connect(&emulator, &emulator::ControllerEmulator::burstFinished, [&](int) {
        cpuFinished = processCpuSeconds();
        finished = std::chrono::steady_clock::now();
        // The last report's notification is still queued; let it through, then stop.
        QTimer::singleShot(100, &app, &QCoreApplication::quit);
    });
    hid.Connect();
    // Once connected and read notifications are on: the library drops reports before that.
    QTimer::singleShot(300, [&] {
        started = std::chrono::steady_clock::now();
        cpuStarted = processCpuSeconds();
        emulator.burst(kCode, total);
    });
    // Bounded: the burst takes total/rate seconds; allow ten times as long.
    QTimer::singleShot(std::max(10000, 10 * 1000 * (total / rate + 1)), &app, [&app] {
        std::fputs("bench_report_latency: timed out\n", stderr);
        app.exit(2);
    });
    const int rc = app.exec();
    const double seconds = std::chrono::duration<double>(finished - started).count();

    std::vector<long long> sorted = emitter.latencies;
    const std::size_t got = sorted.size();
    if (got <= static_cast<std::size_t>(warmup)) {
        std::fprintf(stderr, "bench_report_latency: only %zu keystrokes\n", got);
        return 1;
    }
    sorted.erase(sorted.begin(), sorted.begin() + warmup);
    std::sort(sorted.begin(), sorted.end());
    std::printf(
        "reports sent %d at %d/s (%.0f/s achieved), keystrokes %zu, dropped %zu, "
        "unmatched %ld\n",
        total, rate, static_cast<double>(total) / seconds, got, hid.droppedReports(),
        emitter.unmatched);
    std::printf("CPU while held: %.2f %% of one core\n",
                100.0 * (cpuFinished - cpuStarted) / seconds);
    std::printf("latency over %zu reports (first %d left out), microseconds:\n", sorted.size(),
                warmup);
    std::printf("  p50 %.1f  p90 %.1f  p99 %.1f  p99.9 %.1f  max %.1f\n", percentile(sorted, 50),
                percentile(sorted, 90), percentile(sorted, 99), percentile(sorted, 99.9),
                static_cast<double>(sorted.back()) / 1000.0);
    return rc == 0 && got == static_cast<std::size_t>(total) ? 0 : 1;
}
