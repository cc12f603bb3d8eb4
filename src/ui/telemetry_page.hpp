#pragma once

#include <QChar>

#include "device/hid_library.hpp"
#include "device/reports.hpp"
#include "telemetry/telemetry.hpp"
#include "ui/charts.hpp"

class QWidget;

namespace ui {

// The indicators page's live part: the charts, the readouts and the tick that feeds them.
// The window owns the timer and calls Timer1Timer from it.
class TelemetryPage {
public:
    // `page` holds Button1..Button3; Chart1 and Chart2 are set up here.
    TelemetryPage(QWidget* page, QCustomPlot* Chart1, QCustomPlot* Chart2, device::HidLibrary& hid,
                  device::Report& OutReport, const device::Measurements& LatestMeasurements);

    // One tick, with the decimal separator of the user's locale.
    void Timer1Timer();

    TelemetryCharts& charts() { return charts_; }

    static QChar localeDecimalSeparator();

private:
    TelemetryCharts charts_;
    telemetry::Telemetry telemetry_;
};

}  // namespace ui
