#pragma once

#include <qcustomplot.h>
#include <QObject>
#include <QPoint>
#include <array>

#include "telemetry/telemetry_view.hpp"

class QAbstractButton;
class QWidget;

namespace ui {

// Fixed looks of the two charts of the indicators page.
inline constexpr double VoltageAxisMin = 10;
inline constexpr double VoltageAxisMax = 15;
inline constexpr double TemperatureAxisStartMin = -2.5;
inline constexpr double TemperatureAxisStartMax = 2.5;
inline constexpr int ChartLineWidth = 2;

// The mouse on a chart, vertically only: a left-button drag zooms to the band it spans
// (QCustomPlot's rubber band); a right- or middle-button drag moves the chart up and down;
// a right click without a drag zooms out twofold. A chart that was hidden while its data
// changed is drawn again when it shows.
class VerticalPan : public QObject {
    Q_OBJECT
public:
    explicit VerticalPan(QCustomPlot* plot);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCustomPlot* plot_;
    QPoint last_;
    bool dragging_ = false;
    bool moved_ = false;
};

// The two charts and the three readouts as the telemetry tick drives them.
class TelemetryCharts : public telemetry::TelemetryView {
public:
    // Sets up the given plots (graphs, axes, legend, mouse) and keeps the readout buttons.
    TelemetryCharts(QCustomPlot* Chart1, QCustomPlot* Chart2,
                    const std::array<QAbstractButton*, telemetry::ReadoutCount>& readouts);
    // The same, with the readouts looked up by name (Button1..Button3) under `page`.
    TelemetryCharts(QCustomPlot* Chart1, QCustomPlot* Chart2, QWidget* page);

    void setReadoutCaption(int readout, const QString& text) override;
    double temperatureAxisMax() const override;
    void setTemperatureAxisMin(double value) override;
    void setTemperatureAxisMax(double value) override;
    void replaceSeries(int series, const QList<QPointF>& points) override;

    QCPGraph* Series1 = nullptr;
    QCPGraph* Series2 = nullptr;
    QCPGraph* LineSeries1 = nullptr;
    QCPAxis* voltageAxis = nullptr;
    QCPAxis* temperatureAxis = nullptr;

private:
    std::array<QAbstractButton*, telemetry::ReadoutCount> readouts_{};
    std::array<QCPGraph*, telemetry::SeriesCount> series_{};
};

}  // namespace ui
