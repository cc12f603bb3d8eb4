#pragma once

#include <QList>
#include <QPointF>
#include <QString>

namespace telemetry {

// The readouts, in the order of their buttons (Button1..Button3).
enum Readout : int {
    ReadoutAcc = 0,
    ReadoutAtx = 1,
    ReadoutTemperature = 2,
};

// The chart series (Series1, Series2 of the voltage chart, LineSeries1 of the temperature chart).
enum SeriesIndex : int {
    SeriesAcc = 0,
    SeriesAtx = 1,
    SeriesTemperature = 2,
};

inline constexpr int ReadoutCount = 3;
inline constexpr int SeriesCount = 3;

// What the tick touches on the screen: three captions, the temperature chart's vertical
// range and the points of the three series. Nothing else of the window is read or written.
class TelemetryView {
public:
    virtual ~TelemetryView() = default;
    virtual void setReadoutCaption(int readout, const QString& text) = 0;
    // The temperature chart's vertical axis; the limits are set one at a time so that the
    // caller decides the order.
    virtual double temperatureAxisMax() const = 0;
    virtual void setTemperatureAxisMin(double value) = 0;
    virtual void setTemperatureAxisMax(double value) = 0;
    // Replaces every point of one series in a single step.
    virtual void replaceSeries(int series, const QList<QPointF>& points) = 0;
};

}  // namespace telemetry
