#include "telemetry/telemetry.hpp"

#include "common/number_format.hpp"
#include "device/commands.hpp"

namespace telemetry {

namespace {
SampleHistories gHistories;
}  // namespace

SampleHistories& programHistories() {
    return gHistories;
}

void resetProgramHistoriesForTests() {
    gHistories = SampleHistories{};
}

QString voltageReadout(long double volts, QChar decimalSeparator) {
    return common::formatFixed(volts, 2, decimalSeparator) + QStringLiteral(" v");
}

QString temperatureReadout(long double celsius, QChar decimalSeparator) {
    return common::formatFixed(celsius, 1, decimalSeparator) + QStringLiteral(" °C");
}

Telemetry::Telemetry(device::HidLibrary& hid, device::Report& OutReport,
                     const device::Measurements& LatestMeasurements, TelemetryView& view,
                     SampleHistories& histories)
    : hid_(hid), out_(OutReport), latest_(LatestMeasurements), view_(view), histories_(histories) {
    for (auto& pair : points_) {
        for (auto& list : pair) {
            list.reserve(ChartedSamples);
            for (std::size_t i = 0; i < ChartedSamples; ++i)
                list.append(QPointF(static_cast<double>(i), 0.0));
        }
    }
}

void Telemetry::Timer1Timer(QChar decimalSeparator) {
    device::RequestADC(hid_, out_);

    // Copied once: the readouts, the staging slot and the axis all use the same values.
    const device::Measurements m = latest_;
    view_.setReadoutCaption(ReadoutAcc, voltageReadout(m.AccVolts, decimalSeparator));
    view_.setReadoutCaption(ReadoutAtx, voltageReadout(m.AtxVolts, decimalSeparator));
    view_.setReadoutCaption(ReadoutTemperature,
                            temperatureReadout(m.TemperatureC, decimalSeparator));

    histories_.AccHistory[StagingSlot] = m.AccVolts;
    histories_.AtxHistory[StagingSlot] = m.AtxVolts;
    histories_.TempHistory[StagingSlot] = m.TemperatureC;

    recentreTemperatureAxis(m.TemperatureC);
    shiftAndRedraw();
}

void Telemetry::recentreTemperatureAxis(long double celsius) {
    const auto low = static_cast<double>(celsius - TemperatureHalfSpan);
    const auto high = static_cast<double>(celsius + TemperatureHalfSpan);
    // Move the limit on the side the reading went first, so the minimum never passes the
    // maximum on the way (a jump from 0 to 25 degrees lands in one tick).
    if (celsius > static_cast<long double>(view_.temperatureAxisMax())) {
        view_.setTemperatureAxisMax(high);
        view_.setTemperatureAxisMin(low);
    } else {
        view_.setTemperatureAxisMin(low);
        view_.setTemperatureAxisMax(high);
    }
}

void Telemetry::shiftAndRedraw() {
    History* const histories[SeriesCount] = {&histories_.AccHistory, &histories_.AtxHistory,
                                             &histories_.TempHistory};
    current_ ^= 1;
    for (int s = 0; s < SeriesCount; ++s) {
        History& h = *histories[s];
        QList<QPointF>& points =
            points_[static_cast<std::size_t>(s)][static_cast<std::size_t>(current_)];
        // Shared only if a view kept a copy beyond the next replace; then this detaches once.
        QPointF* p = points.data();
        for (std::size_t i = 0; i < ChartedSamples; ++i) {
            h[i] = h[i + 1];
            p[i].setY(static_cast<double>(h[i]));
        }
    }
    for (int s = 0; s < SeriesCount; ++s)
        view_.replaceSeries(
            s, points_[static_cast<std::size_t>(s)][static_cast<std::size_t>(current_)]);
}

}  // namespace telemetry
