// The indicators page's charts and readouts as the tick drives them: looks, points,
// readout texts per locale, one replace per series, mouse zoom and pan, the range reset.
#include <QApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtTest>
#include <memory>

#include "support/fake_hid_library.hpp"
#include "ui/charts.hpp"
#include "ui/telemetry_page.hpp"

class TelemetryChartsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void seriesLooks_data();
    void seriesLooks();
    void chartLooks_data();
    void chartLooks();
    void tickFillsEverySeries_data();
    void tickFillsEverySeries();
    void readoutsFollowTheLocale_data();
    void readoutsFollowTheLocale();
    void eachTickReplacesEachSeriesOnce();
    void hiddenPageGoesOnAskingAndDrawing();
    void mouseZoomAndPanUntilTheNextTick_data();
    void mouseZoomAndPanUntilTheNextTick();

private:
    ui::TelemetryCharts& charts() { return tel->charts(); }
    QLineSeries* series(int i) {
        QLineSeries* all[] = {charts().Series1, charts().Series2, charts().LineSeries1};
        return all[i];
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) tel->Timer1Timer();
    }
    void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
              Qt::MouseButtons held);
    void drag(QChartView* view, Qt::MouseButton button, QPoint from, QPoint to);
    static QPoint plotCentre(QChartView* view) {
        return view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea().center()));
    }

    std::unique_ptr<QWidget> page;
    QPushButton* buttons[3] = {};
    QChartView* chart1 = nullptr;
    QChartView* chart2 = nullptr;
    testing_support::FakeHidLibrary hid;
    device::Report OutReport{};
    device::Measurements latest;
    std::unique_ptr<ui::TelemetryPage> tel;
};

// The page as the window lays it out.
void TelemetryChartsTest::init() {
    telemetry::resetProgramHistoriesForTests();
    latest = {};
    hid.writeCount = 0;
    page = std::make_unique<QWidget>();
    page->resize(481, 413);
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new QPushButton(QStringLiteral("x"), page.get());
        buttons[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
    }
    chart1 = new QChartView(page.get());
    chart1->setGeometry(0, 72, 481, 169);
    chart2 = new QChartView(page.get());
    chart2->setGeometry(0, 240, 481, 169);
    tel = std::make_unique<ui::TelemetryPage>(page.get(), chart1, chart2, hid, OutReport, latest);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
}

void TelemetryChartsTest::cleanup() {
    tel.reset();
    page.reset();
    QLocale::setDefault(QLocale::system());
}

void TelemetryChartsTest::seriesLooks_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("chart");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QColor>("colour");
    // Cyrillic "АСС" and "АТХ", not Latin look-alikes; three blanks after the first title.
    QTest::newRow("Series1") << 0 << 1 << QStringLiteral("Напряжение \u0410\u0421\u0421   ")
                             << QColor(255, 0, 0);
    QTest::newRow("Series2") << 1 << 1 << QStringLiteral("Напряжение \u0410\u0422\u0425")
                             << QColor(0, 128, 0);
    QTest::newRow("LineSeries1") << 2 << 2 << QStringLiteral("Температура") << QColor(0, 0, 255);
}

void TelemetryChartsTest::seriesLooks() {
    QFETCH(int, index);
    QFETCH(int, chart);
    QFETCH(QString, title);
    QFETCH(QColor, colour);
    QLineSeries* s = series(index);
    QVERIFY(s);
    QCOMPARE(s->chart(), (chart == 1 ? chart1 : chart2)->chart());
    QCOMPARE(s->name(), title);
    QCOMPARE(s->pen().color(), colour);
    QCOMPARE(s->color(), colour);
    QCOMPARE(s->pen().width(), 2);
    QVERIFY(!s->pointsVisible());
    QVERIFY(!s->pointLabelsVisible());
}

void TelemetryChartsTest::chartLooks_data() {
    QTest::addColumn<int>("chart");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QStringList>("legend");
    QTest::newRow("Chart1") << 1 << 10.0 << 15.0
                            << QStringList{QStringLiteral("Напряжение АСС   "),
                                           QStringLiteral("Напряжение АТХ")};
    // The legend lists the series, not point values, though there is only one.
    QTest::newRow("Chart2") << 2 << -2.5 << 2.5 << QStringList{QStringLiteral("Температура")};
}

void TelemetryChartsTest::chartLooks() {
    QFETCH(int, chart);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QStringList, legend);
    QChartView* view = chart == 1 ? chart1 : chart2;
    QChart* c = view->chart();
    QCOMPARE(c->animationOptions(), QChart::NoAnimation);
    QVERIFY(c->title().isEmpty());
    QVERIFY(c->legend()->isVisible());
    QCOMPARE(c->legend()->alignment(), Qt::AlignTop);
    QStringList labels;
    for (QLegendMarker* m : c->legend()->markers()) labels << m->label();
    QCOMPARE(labels, legend);
    QCOMPARE(c->plotAreaBackgroundBrush().style(), Qt::NoBrush);
    QCOMPARE(c->plotAreaBackgroundBrush().color(), QColor(Qt::white));
    QCOMPARE(view->rubberBand(), QChartView::VerticalRubberBand);

    const auto horizontal = c->axes(Qt::Horizontal);
    QCOMPARE(horizontal.size(), 1);
    auto* x = qobject_cast<QValueAxis*>(horizontal.front());
    QVERIFY(x);
    QVERIFY(!x->isVisible());
    QCOMPARE(x->min(), 0.0);
    QCOMPARE(x->max(), 254.0);
    const auto vertical = c->axes(Qt::Vertical);
    QCOMPARE(vertical.size(), 1);
    auto* y = qobject_cast<QValueAxis*>(vertical.front());
    QVERIFY(y);
    QVERIFY(y->isVisible());
    QCOMPARE(y->alignment(), Qt::AlignLeft);
    QCOMPARE(y->min(), min);
    QCOMPARE(y->max(), max);
    QCOMPARE(y->linePen().width(), 1);
}

void TelemetryChartsTest::tickFillsEverySeries_data() {
    QTest::addColumn<int>("ticks");
    QTest::addColumn<double>("leftmostAcc");
    QTest::newRow("first tick") << 1 << 0.0;
    QTest::newRow("254 ticks") << 254 << 0.0;
    QTest::newRow("255 ticks") << 255 << 13.42;
    QTest::newRow("300 ticks") << 300 << 13.42;
}

void TelemetryChartsTest::tickFillsEverySeries() {
    QFETCH(int, ticks);
    QFETCH(double, leftmostAcc);
    latest = {13.42L, 12.14L, 25.0L};
    tick(ticks);
    for (int s = 0; s < 3; ++s) {
        QCOMPARE(series(s)->count(), 255);
        for (int i = 0; i < 255; ++i) QCOMPARE(series(s)->at(i).x(), double(i));
    }
    QCOMPARE(charts().Series1->at(0).y(), leftmostAcc);
    QCOMPARE(charts().Series1->at(254).y(), 13.42);
    QCOMPARE(charts().Series2->at(254).y(), 12.14);
    QCOMPARE(charts().LineSeries1->at(254).y(), 25.0);
    QCOMPARE(charts().temperatureAxis->min(), 22.5);
    QCOMPARE(charts().temperatureAxis->max(), 27.5);
    QCOMPARE(charts().voltageAxis->min(), 10.0);
    QCOMPARE(charts().voltageAxis->max(), 15.0);
    QCOMPARE(hid.writeCount, ticks);
}

void TelemetryChartsTest::readoutsFollowTheLocale_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("acc");
    QTest::addColumn<QString>("atx");
    QTest::addColumn<QString>("temp");
    QTest::newRow("Russian") << QLocale(QLocale::Russian) << QStringLiteral("13,42 v")
                             << QStringLiteral("12,14 v") << QStringLiteral("-0,5 °C");
    QTest::newRow("English") << QLocale(QLocale::English) << QStringLiteral("13.42 v")
                             << QStringLiteral("12.14 v") << QStringLiteral("-0.5 °C");
    QTest::newRow("German") << QLocale(QLocale::German) << QStringLiteral("13,42 v")
                            << QStringLiteral("12,14 v") << QStringLiteral("-0,5 °C");
}

void TelemetryChartsTest::readoutsFollowTheLocale() {
    QFETCH(QLocale, locale);
    QFETCH(QString, acc);
    QFETCH(QString, atx);
    QFETCH(QString, temp);
    QLocale::setDefault(locale);
    latest = {13.42L, 12.14L, -0.45L};
    tick();
    QCOMPARE(buttons[0]->text(), acc);
    QCOMPARE(buttons[1]->text(), atx);
    QCOMPARE(buttons[2]->text(), temp);
}

void TelemetryChartsTest::eachTickReplacesEachSeriesOnce() {
    int replaced = 0, added = 0;
    for (int s = 0; s < 3; ++s) {
        connect(series(s), &QXYSeries::pointsReplaced, this, [&] { ++replaced; });
        connect(series(s), &QXYSeries::pointAdded, this, [&] { ++added; });
    }
    tick(2);
    QCOMPARE(replaced, 6);
    QCOMPARE(added, 0);
}

void TelemetryChartsTest::hiddenPageGoesOnAskingAndDrawing() {
    page->hide();
    latest.TemperatureC = 30;
    tick(3);
    QCOMPARE(hid.writeCount, 3);
    QCOMPARE(charts().LineSeries1->count(), 255);
    QCOMPARE(charts().LineSeries1->at(254).y(), 30.0);
    QCOMPARE(charts().temperatureAxis->max(), 32.5);
}

void TelemetryChartsTest::send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                               Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    QApplication::processEvents();
}

void TelemetryChartsTest::drag(QChartView* view, Qt::MouseButton button, QPoint from, QPoint to) {
    QWidget* vp = view->viewport();
    send(vp, QEvent::MouseButtonPress, from, button, button);
    const int steps = 5;
    for (int i = 1; i <= steps; ++i)
        send(vp, QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, button);
    send(vp, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

void TelemetryChartsTest::mouseZoomAndPanUntilTheNextTick_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("dy");  // pointer movement, pixels down
    QTest::newRow("rubber band") << int(Qt::LeftButton) << 30;
    QTest::newRow("right drag down") << int(Qt::RightButton) << 20;
    QTest::newRow("middle drag up") << int(Qt::MiddleButton) << -20;
}

void TelemetryChartsTest::mouseZoomAndPanUntilTheNextTick() {
    QFETCH(int, button);
    QFETCH(int, dy);
    latest.TemperatureC = 20;
    tick();
    QValueAxis* t = charts().temperatureAxis;
    QCOMPARE(t->min(), 17.5);

    const QPoint from = plotCentre(chart2) - QPoint(0, 20);
    drag(chart2, Qt::MouseButton(button), from, from + QPoint(0, dy));
    const double span = t->max() - t->min();
    if (button == Qt::LeftButton) {
        QVERIFY2(span < 4.9, qPrintable(QString::number(span)));
    } else {
        // Moved, neither zoomed in nor (right button) zoomed out; the plot follows the
        // pointer, so dragging down shows higher values.
        QVERIFY(qAbs(span - 5.0) < 1e-9);
        QVERIFY2(dy > 0 ? t->min() > 17.6 : t->min() < 17.4, qPrintable(QString::number(t->min())));
    }
    auto* x = qobject_cast<QValueAxis*>(chart2->chart()->axes(Qt::Horizontal).front());
    QVERIFY(qAbs(x->min()) < 1e-6);
    QVERIFY(qAbs(x->max() - 254) < 1e-6);

    tick();
    QCOMPARE(t->min(), 17.5);
    QCOMPARE(t->max(), 22.5);
}

QTEST_MAIN(TelemetryChartsTest)
#include "charts_test.moc"
