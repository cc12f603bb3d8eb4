// Cost of the device link: decoding each input report type, encoding the parameter block,
// and the whole road of one wheel report from the emulator's hand-over through the library's
// queue and notification, DeviceEventHook and JoyCode to the emitter.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <array>

#include "device/device_event_hook.hpp"
#include "device/reports.hpp"
#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "keymap/key_mapper.hpp"
#include "params/parameter_form.hpp"

#include "allocation_counter.hpp"
#include "support/device_views.hpp"
#include "support/fake_key_table.hpp"
#include "support/recording_emitter.hpp"

namespace {

device::Report parameterReport() {
    device::Report r{};
    device::writeParameterBlock(r, device::factoryParameterBlock());
    r[1] = device::ReportParameters;
    return r;
}

device::Report telemetryReport() {
    device::Report r{};
    r[1] = device::ReportTelemetry;
    const emulator::RawTelemetry t = emulator::ControllerEmulator::nominalTelemetry();
    r[2] = static_cast<std::uint8_t>(t.acc & 0xFF);
    r[3] = static_cast<std::uint8_t>(t.acc >> 8);
    r[4] = static_cast<std::uint8_t>(t.atx & 0xFF);
    r[5] = static_cast<std::uint8_t>(t.atx >> 8);
    r[6] = static_cast<std::uint8_t>(t.temperature & 0xFF);
    r[7] = static_cast<std::uint8_t>(t.temperature >> 8);
    return r;
}

device::Report buttonReport(std::uint16_t code) {
    device::Report r{};
    r[1] = device::ReportButtonCode;
    r[2] = static_cast<std::uint8_t>(code & 0xFF);
    r[3] = static_cast<std::uint8_t>(code >> 8);
    return r;
}

void BM_DecodeParameterBlock(benchmark::State& state) {
    device::Report r = parameterReport();
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.data());
        device::ParameterValues v = device::decodeParameterValues(device::readParameterBlock(r));
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_DecodeParameterBlock);

// The block as the parameter page shows it: the sixteen edit texts.
void BM_DecodeParameterBlockToTexts(benchmark::State& state) {
    device::Report r = parameterReport();
    const long before = bench::allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.data());
        params::ParameterTexts t = params::displayTexts(
            device::decodeParameterValues(device::readParameterBlock(r)), QLatin1Char(','));
        benchmark::DoNotOptimize(t);
    }
    bench::reportAllocations(state, "allocs/op", before);
}
BENCHMARK(BM_DecodeParameterBlockToTexts);

void BM_DecodeTelemetry(benchmark::State& state) {
    device::Report r = telemetryReport();
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.data());
        device::Measurements m = device::decodeTelemetry(r);
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_DecodeTelemetry);

void BM_DecodeButtonCode(benchmark::State& state) {
    device::Report r = buttonReport(700);
    for (auto _ : state) {
        benchmark::DoNotOptimize(r.data());
        benchmark::DoNotOptimize(device::decodeButtonCode(r));
    }
}
BENCHMARK(BM_DecodeButtonCode);

void BM_EncodeParameterBlock(benchmark::State& state) {
    const device::RawParameterBlock block = device::factoryParameterBlock();
    device::Report out{};
    for (auto _ : state) {
        device::writeParameterBlock(out, block);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_EncodeParameterBlock);

// What the write button encodes: each edit's text validated and put into the report.
void BM_EncodeParameterTexts(benchmark::State& state) {
    std::array<QString, params::ParameterFieldCount> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = params::ParameterFields[i].defaultText;
    texts[0] = QStringLiteral("12,5");
    device::Report out{};
    const long before = bench::allocations.load();
    for (auto _ : state) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const params::ParameterField& f = params::ParameterFields[i];
            const auto v = params::acceptedValue(f, texts[i], QLatin1Char(','));
            params::encodeField(out, f, v.value_or(f.defaultValue()));
        }
        benchmark::DoNotOptimize(out.data());
    }
    bench::reportAllocations(state, "allocs/op", before);
}
BENCHMARK(BM_EncodeParameterTexts);

// A key table with all twelve rows filled, row 05 answering code 700 with X.
testing_support::FakeKeyTable benchTable() {
    testing_support::FakeKeyTable t;
    for (int i = 0; i < keymap::KeyTableRows; ++i) {
        t.rows[i].jcode = QString::number(1024 + 40 * i);
        t.rows[i].value = QString::number(65 + i);
    }
    t.rows[4].jcode = QStringLiteral("700");
    t.rows[4].value = QStringLiteral("88");
    return t;
}

// Everything between the emulator and the emitter, as the program wires it.
struct Road {
    emulator::ControllerEmulator emulator;
    emulator::SimulatedLibrary hid{emulator};
    device::Report in{};
    device::Measurements latest;
    testing_support::NullStatus status;
    device::DeviceEventHook hook{hid, in, latest, status};
    testing_support::FakeKeyTable table = benchTable();
    testing_support::RecordingEmitter emitter;
    keymap::SteadyClock clock;
    keymap::KeyMapper mapper{table, emitter, clock};

    explicit Road(const keymap::SystemSettings& settings) {
        emulator.setRate(emulator::ControllerEmulator::DefaultRate);
        hook.setButtonCodeSink(&mapper);
        hook.attach();
        mapper.systemSettings() = settings;
        hid.Connect();
        // Plugged, changed: read notifications are on from here.
        QCoreApplication::sendPostedEvents();
    }
};

// deliver: how the queued notification reaches the hook. false: only the posted events
// (the code's own cost); true: a pass of the event loop, with its poll of the descriptors.
void runRoad(benchmark::State& state, const keymap::SystemSettings& settings, bool loop) {
    Road road(settings);
    const device::Report r = buttonReport(700);
    std::size_t taps = 0;
    long reports = 0;
    const long before = bench::allocations.load();
    for (auto _ : state) {
        // The hand-over: what the emulator's send timer does for each report.
        emit road.emulator.inputReport(r);
        if (loop)
            QCoreApplication::processEvents();
        else
            QCoreApplication::sendPostedEvents();
        ++reports;
        // Kept short, so that the recording's growth is not what is measured.
        if (road.emitter.events.size() >= 1024) {
            taps += road.emitter.events.size();
            road.emitter.events.clear();
        }
    }
    taps += road.emitter.events.size();
    bench::reportAllocations(state, "allocs/op", before);
    state.counters["key_events/report"] =
        benchmark::Counter(static_cast<double>(taps) / static_cast<double>(reports));
    if (road.hid.droppedReports() != 0 || road.hid.queuedReports() != 0)
        state.SkipWithError("reports were dropped or left in the queue");
}

// Val.First 1, Val.Next 1: every report fires and row 05 types X (a press and a release).
void BM_ReportRoadFiring(benchmark::State& state) {
    runRoad(state, {5, 1, 1}, state.range(0) != 0);
}
BENCHMARK(BM_ReportRoadFiring)->ArgName("event_loop")->Arg(0)->Arg(1);

// A first delay that never ends: every report is only counted.
void BM_ReportRoadNotFiring(benchmark::State& state) {
    runRoad(state, {5, 2000000000, 100}, state.range(0) != 0);
}
BENCHMARK(BM_ReportRoadNotFiring)->ArgName("event_loop")->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
