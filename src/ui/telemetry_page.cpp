#include "ui/telemetry_page.hpp"

#include <QLocale>
#include <QWidget>

namespace ui {

TelemetryPage::TelemetryPage(QWidget* page, QCustomPlot* Chart1, QCustomPlot* Chart2,
                             device::HidLibrary& hid, device::Report& OutReport,
                             const device::Measurements& LatestMeasurements)
    : charts_(Chart1, Chart2, page), telemetry_(hid, OutReport, LatestMeasurements, charts_) {}

void TelemetryPage::Timer1Timer() {
    telemetry_.Timer1Timer(localeDecimalSeparator());
}

QChar TelemetryPage::localeDecimalSeparator() {
    // Asked at every tick: the program follows a locale change without a restart.
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

}  // namespace ui
