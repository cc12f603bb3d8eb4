#pragma once

#include <QChar>
#include <QList>
#include <QPointF>
#include <QString>
#include <array>
#include <cstddef>

#include "device/hid_library.hpp"
#include "device/reports.hpp"
#include "telemetry/telemetry_view.hpp"

namespace telemetry {

inline constexpr std::size_t HistorySize = 256;
// Entries 0..254 are charted, oldest first; entry 255 stages the newest sample.
inline constexpr std::size_t ChartedSamples = 255;
inline constexpr std::size_t StagingSlot = 255;

// Half the height of the temperature chart's window around the newest reading.
inline constexpr long double TemperatureHalfSpan = 2.5L;

using History = std::array<long double, HistorySize>;

struct SampleHistories {
    History AccHistory{};
    History AtxHistory{};
    History TempHistory{};
};

// The program's histories: static storage, zero at start, never cleared while it runs
// (an unplugged controller only feeds zeros in from the right).
SampleHistories& programHistories();

// For tests only: puts the program's histories back to their start-up zeros, so that
// each test begins from a freshly started program.
void resetProgramHistoriesForTests();

QString voltageReadout(long double volts, QChar decimalSeparator);
QString temperatureReadout(long double celsius, QChar decimalSeparator);

// The once-a-second job: ask the controller for telemetry, show what is stored, take one
// sample and redraw the charts. The answer to this tick's request is shown at the next one.
class Telemetry {
public:
    Telemetry(device::HidLibrary& hid, device::Report& OutReport,
              const device::Measurements& LatestMeasurements, TelemetryView& view,
              SampleHistories& histories = programHistories());

    void Timer1Timer(QChar decimalSeparator);

    const SampleHistories& histories() const { return histories_; }

private:
    void recentreTemperatureAxis(long double celsius);
    void shiftAndRedraw();

    device::HidLibrary& hid_;
    device::Report& out_;
    const device::Measurements& latest_;
    TelemetryView& view_;
    SampleHistories& histories_;
    // Two point lists per series, used in turn: the series keeps (shares) the list it was
    // given, so refilling the other one never has to copy or allocate.
    std::array<std::array<QList<QPointF>, 2>, SeriesCount> points_;
    int current_ = 0;
};

}  // namespace telemetry
