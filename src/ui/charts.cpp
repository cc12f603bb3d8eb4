#include "ui/charts.hpp"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPen>
#include <QWidget>

#include "telemetry/telemetry.hpp"

namespace ui {

namespace {

// The zoom band spans the plot from side to side: only its height counts.
class VerticalBand : public QCPSelectionRect {
public:
    using QCPSelectionRect::QCPSelectionRect;

protected:
    void draw(QCPPainter* painter) override {
        if (!isActive()) return;
        const QRect plot = mParentPlot->axisRect()->rect();
        const QRect band = rect().normalized();
        painter->setPen(pen());
        painter->setBrush(brush());
        painter->drawRect(QRect(plot.left(), band.top(), plot.width(), band.height()));
    }
};

// Hidden charts are not drawn: the window spends most of its life in the tray.
void redraw(QCustomPlot* plot) {
    if (plot->isVisible()) plot->replot(QCustomPlot::rpQueuedReplot);
}

QCPGraph* addLine(QCustomPlot* plot, const char* name, const QString& title, const QColor& colour) {
    QCPGraph* graph = plot->addGraph();
    graph->setObjectName(QString::fromLatin1(name));
    graph->setName(title);
    QPen pen(colour);
    pen.setWidth(ChartLineWidth);
    graph->setPen(pen);
    return graph;
}

// Flat chart with a hidden X axis 0..254 and a left axis of the given range, no title,
// legend of series titles above the plot, see-through plot area.
QCPAxis* setUpChart(QCustomPlot* plot, double min, double max, int decimals) {
    // One polyline a graph instead of a line per segment: cheaper, and joined corners.
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->xAxis->setRange(0, static_cast<double>(telemetry::ChartedSamples - 1));
    plot->xAxis->setVisible(false);
    plot->xAxis->grid()->setVisible(false);

    // Labels in the widget's locale, so with the user's decimal separator.
    QCPAxis* axisY = plot->yAxis;
    axisY->setRange(min, max);
    axisY->setNumberFormat(QStringLiteral("f"));
    axisY->setNumberPrecision(decimals);
    axisY->setSubTicks(false);
    axisY->setBasePen(QPen(Qt::black, 1));
    axisY->grid()->setPen(QPen(QColor(220, 220, 220), 1));
    plot->axisRect()->setBackground(QBrush(Qt::white, Qt::NoBrush));

    plot->legend->setVisible(true);
    plot->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    plot->legend->setBorderPen(Qt::NoPen);
    plot->legend->setBrush(Qt::NoBrush);
    plot->legend->setIconSize(25, 10);
    // Centred in a row of its own above the plot: the empty cells beside it take the rest.
    auto* top = new QCPLayoutGrid;
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, top);
    plot->plotLayout()->setRowStretchFactor(0, 0.001);
    top->addElement(0, 1, plot->legend);
    top->expandTo(1, 3);
    top->setColumnStretchFactors({1, 0.001, 1});

    // Vertical only: a zoom never narrows the 255 samples across.
    plot->setSelectionRect(new VerticalBand(plot));
    plot->setSelectionRectMode(QCP::srmZoom);
    plot->axisRect()->setRangeZoomAxes(nullptr, axisY);
    new VerticalPan(plot);
    return axisY;
}

bool panButton(Qt::MouseButton b) {
    return b == Qt::RightButton || b == Qt::MiddleButton;
}

}  // namespace

VerticalPan::VerticalPan(QCustomPlot* plot) : QObject(plot), plot_(plot) {
    plot->installEventFilter(this);
}

bool VerticalPan::eventFilter(QObject* watched, QEvent* event) {
    if (watched != plot_) return false;
    switch (event->type()) {
        case QEvent::Show:
            plot_->replot(QCustomPlot::rpQueuedReplot);
            return false;
        // QCustomPlot's rubber band starts on any button: the pan buttons never reach it.
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (!panButton(e->button())) return dragging_;
            if (!dragging_ && !(e->buttons() & Qt::LeftButton)) {  // not in a rubber band
                dragging_ = true;
                moved_ = false;
                last_ = e->position().toPoint();
            }
            return true;
        }
        case QEvent::MouseMove: {
            if (!dragging_) return false;
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (pos.y() != last_.y()) {
                // The plot follows the pointer, like grabbing the paper.
                QCPAxis* axis = plot_->yAxis;
                axis->moveRange(axis->pixelToCoord(last_.y()) - axis->pixelToCoord(pos.y()));
                plot_->replot(QCustomPlot::rpQueuedReplot);
                moved_ = true;
            }
            last_ = pos;
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (!panButton(e->button())) return dragging_;
            if (!dragging_ || (e->buttons() & (Qt::RightButton | Qt::MiddleButton))) return true;
            dragging_ = false;
            if (!moved_ && e->button() == Qt::RightButton) {
                plot_->yAxis->scaleRange(2.0);  // undoes a rubber band of half the height
                plot_->replot(QCustomPlot::rpQueuedReplot);
            }
            return true;
        }
        default:
            return false;
    }
}

TelemetryCharts::TelemetryCharts(
    QCustomPlot* Chart1, QCustomPlot* Chart2,
    const std::array<QAbstractButton*, telemetry::ReadoutCount>& readouts)
    : readouts_(readouts) {
    voltageAxis = setUpChart(Chart1, VoltageAxisMin, VoltageAxisMax, 0);
    temperatureAxis = setUpChart(Chart2, TemperatureAxisStartMin, TemperatureAxisStartMax, 1);
    Series1 = addLine(Chart1, "Series1", QCoreApplication::translate("Charts", "Напряжение АСС   "),
                      QColor(255, 0, 0));
    Series2 = addLine(Chart1, "Series2", QCoreApplication::translate("Charts", "Напряжение АТХ"),
                      QColor(0, 128, 0));
    LineSeries1 = addLine(Chart2, "LineSeries1",
                          QCoreApplication::translate("Charts", "Температура"), QColor(0, 0, 255));
    series_ = {Series1, Series2, LineSeries1};
}

TelemetryCharts::TelemetryCharts(QCustomPlot* Chart1, QCustomPlot* Chart2, QWidget* page)
    : TelemetryCharts(Chart1, Chart2,
                      {page->findChild<QAbstractButton*>(QStringLiteral("Button1")),
                       page->findChild<QAbstractButton*>(QStringLiteral("Button2")),
                       page->findChild<QAbstractButton*>(QStringLiteral("Button3"))}) {}

void TelemetryCharts::setReadoutCaption(int readout, const QString& text) {
    if (readout < 0 || readout >= telemetry::ReadoutCount) return;
    if (QAbstractButton* b = readouts_[static_cast<std::size_t>(readout)]) b->setText(text);
}

double TelemetryCharts::temperatureAxisMax() const {
    return temperatureAxis->range().upper;
}

void TelemetryCharts::setTemperatureAxisMin(double value) {
    temperatureAxis->setRangeLower(value);
    redraw(temperatureAxis->parentPlot());
}

void TelemetryCharts::setTemperatureAxisMax(double value) {
    temperatureAxis->setRangeUpper(value);
    redraw(temperatureAxis->parentPlot());
}

void TelemetryCharts::replaceSeries(int series, const QList<QPointF>& points) {
    if (series < 0 || series >= telemetry::SeriesCount) return;
    QCPGraph* graph = series_[static_cast<std::size_t>(series)];
    const QSharedPointer<QCPGraphDataContainer> data = graph->data();
    if (data->size() == points.size()) {
        // Same length as last time: written in place, nothing allocated. The tick's X
        // values are 0..254 in order, so the container stays sorted.
        auto it = data->begin();
        for (const QPointF& p : points) {
            it->key = p.x();
            it->value = p.y();
            ++it;
        }
    } else {
        QVector<QCPGraphData> fresh;
        fresh.reserve(points.size());
        for (const QPointF& p : points) fresh.append(QCPGraphData(p.x(), p.y()));
        data->set(fresh, true);
    }
    redraw(graph->parentPlot());
}

}  // namespace ui
