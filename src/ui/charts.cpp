#include "ui/charts.hpp"

#include <QAbstractButton>
#include <QBrush>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QMouseEvent>
#include <QPen>
#include <QWidget>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>

#include "telemetry/telemetry.hpp"

namespace ui {

namespace {

QLineSeries* addLine(QChart* chart, QValueAxis* axisX, QValueAxis* axisY, const QString& title,
                     const QColor& colour) {
    auto* series = new QLineSeries(chart);
    series->setName(title);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    chart->addSeries(series);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    // After addSeries: adding a series applies the theme's colours, which would win otherwise.
    QPen pen(colour);
    pen.setWidth(ChartLineWidth);
    series->setPen(pen);
    return series;
}

// Flat chart with a hidden X axis 0..254 and a left axis of the given range, no title,
// legend of series titles at the top, see-through plot area, no animation.
QValueAxis* setUpChart(QChartView* view, double min, double max, const char* labelFormat) {
    QChart* chart = view->chart();
    chart->setTitle(QString());
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setPlotAreaBackgroundBrush(QBrush(Qt::white, Qt::NoBrush));
    chart->setPlotAreaBackgroundVisible(true);
    chart->setLocalizeNumbers(true);  // axis labels with the user's decimal separator

    QLegend* legend = chart->legend();
    legend->setVisible(true);
    legend->setAlignment(Qt::AlignTop);
    legend->setShowToolTips(false);

    auto* axisX = new QValueAxis(chart);
    axisX->setRange(0, static_cast<double>(telemetry::ChartedSamples - 1));
    axisX->setVisible(false);
    chart->addAxis(axisX, Qt::AlignBottom);

    auto* axisY = new QValueAxis(chart);
    axisY->setRange(min, max);
    axisY->setTickCount(6);
    axisY->setLabelFormat(QString::fromLatin1(labelFormat));
    chart->addAxis(axisY, Qt::AlignLeft);
    // After addAxis, so that the pen starts from the theme's colour.
    QPen axisPen = axisY->linePen();
    axisPen.setWidth(1);
    axisY->setLinePen(axisPen);

    // Vertical only: a zoom never narrows the 255 samples across.
    view->setRubberBand(QChartView::VerticalRubberBand);
    new VerticalPan(view);
    return axisY;
}

}  // namespace

VerticalPan::VerticalPan(QChartView* view) : QObject(view), view_(view) {
    view->viewport()->installEventFilter(this);
}

bool VerticalPan::eventFilter(QObject* watched, QEvent* event) {
    // Not view_->viewport(): the viewport's destructor still sends events here while the
    // view is half destroyed, and no longer a QAbstractScrollArea.
    if (watched->parent() != view_) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::RightButton || e->button() == Qt::MiddleButton) {
                dragging_ = true;
                moved_ = false;
                last_ = e->position().toPoint();
            }
            return false;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (!dragging_ || !(e->buttons() & (Qt::RightButton | Qt::MiddleButton))) return false;
            const QPoint pos = e->position().toPoint();
            const int dy = pos.y() - last_.y();
            last_ = pos;
            if (dy != 0) {
                // The plot follows the pointer, like grabbing the paper.
                view_->chart()->scroll(0, dy);
                moved_ = true;
            }
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (!dragging_ || (e->button() != Qt::RightButton && e->button() != Qt::MiddleButton))
                return false;
            dragging_ = false;
            return moved_;  // a drag is not also a zoom-out click
        }
        default:
            return false;
    }
}

TelemetryCharts::TelemetryCharts(
    QChartView* Chart1, QChartView* Chart2,
    const std::array<QAbstractButton*, telemetry::ReadoutCount>& readouts)
    : readouts_(readouts) {
    voltageAxis = setUpChart(Chart1, VoltageAxisMin, VoltageAxisMax, "%.0f");
    temperatureAxis = setUpChart(Chart2, TemperatureAxisStartMin, TemperatureAxisStartMax, "%.1f");

    QChart* c1 = Chart1->chart();
    QValueAxis* x1 = qobject_cast<QValueAxis*>(c1->axes(Qt::Horizontal).value(0));
    Series1 =
        addLine(c1, x1, voltageAxis, QCoreApplication::translate("Charts", "Напряжение АСС   "),
                QColor(255, 0, 0));
    Series2 = addLine(c1, x1, voltageAxis, QCoreApplication::translate("Charts", "Напряжение АТХ"),
                      QColor(0, 128, 0));

    QChart* c2 = Chart2->chart();
    QValueAxis* x2 = qobject_cast<QValueAxis*>(c2->axes(Qt::Horizontal).value(0));
    LineSeries1 = addLine(c2, x2, temperatureAxis,
                          QCoreApplication::translate("Charts", "Температура"), QColor(0, 0, 255));

    series_ = {Series1, Series2, LineSeries1};
}

TelemetryCharts::TelemetryCharts(QChartView* Chart1, QChartView* Chart2, QWidget* page)
    : TelemetryCharts(Chart1, Chart2,
                      {page->findChild<QAbstractButton*>(QStringLiteral("Button1")),
                       page->findChild<QAbstractButton*>(QStringLiteral("Button2")),
                       page->findChild<QAbstractButton*>(QStringLiteral("Button3"))}) {}

void TelemetryCharts::setReadoutCaption(int readout, const QString& text) {
    if (readout < 0 || readout >= telemetry::ReadoutCount) return;
    if (QAbstractButton* b = readouts_[static_cast<std::size_t>(readout)]) b->setText(text);
}

double TelemetryCharts::temperatureAxisMax() const {
    return temperatureAxis->max();
}

void TelemetryCharts::setTemperatureAxisMin(double value) {
    temperatureAxis->setMin(value);
}

void TelemetryCharts::setTemperatureAxisMax(double value) {
    temperatureAxis->setMax(value);
}

void TelemetryCharts::replaceSeries(int series, const QList<QPointF>& points) {
    if (series < 0 || series >= telemetry::SeriesCount) return;
    series_[static_cast<std::size_t>(series)]->replace(points);
}

}  // namespace ui
