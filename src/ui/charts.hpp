#pragma once

#include <QObject>
#include <QPoint>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
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

// Drag with the right or middle button moves a chart up and down; a right click without
// a drag is left to the view, which takes it as "zoom out" after a rubber-band zoom.
class VerticalPan : public QObject {
    Q_OBJECT
public:
    explicit VerticalPan(QChartView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QChartView* view_;
    QPoint last_;
    bool dragging_ = false;
    bool moved_ = false;
};

// The two charts and the three readouts as the telemetry tick drives them.
class TelemetryCharts : public telemetry::TelemetryView {
public:
    // Sets up the given views (series, axes, legend, mouse) and keeps the readout buttons.
    TelemetryCharts(QChartView* Chart1, QChartView* Chart2,
                    const std::array<QAbstractButton*, telemetry::ReadoutCount>& readouts);
    // The same, with the readouts looked up by name (Button1..Button3) under `page`.
    TelemetryCharts(QChartView* Chart1, QChartView* Chart2, QWidget* page);

    void setReadoutCaption(int readout, const QString& text) override;
    double temperatureAxisMax() const override;
    void setTemperatureAxisMin(double value) override;
    void setTemperatureAxisMax(double value) override;
    void replaceSeries(int series, const QList<QPointF>& points) override;

    QLineSeries* Series1 = nullptr;
    QLineSeries* Series2 = nullptr;
    QLineSeries* LineSeries1 = nullptr;
    QValueAxis* voltageAxis = nullptr;
    QValueAxis* temperatureAxis = nullptr;

private:
    std::array<QAbstractButton*, telemetry::ReadoutCount> readouts_{};
    std::array<QLineSeries*, telemetry::SeriesCount> series_{};
};

}  // namespace ui
