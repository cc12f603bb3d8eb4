// The indicators page's charts and readouts as the tick drives them: looks, points,
// readout texts per locale, one redraw per shown chart, mouse zoom and pan, the range reset.
#include <QApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
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
    void eachTickRedrawsEachShownChartOnce_data();
    void eachTickRedrawsEachShownChartOnce();
    void mouseZoomAndPanUntilTheNextTick_data();
    void mouseZoomAndPanUntilTheNextTick();

private:
    ui::TelemetryCharts& charts() { return tel->charts(); }
    QCPGraph* series(int i) {
        QCPGraph* all[] = {charts().Series1, charts().Series2, charts().LineSeries1};
        return all[i];
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) tel->Timer1Timer();
    }
    void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
              Qt::MouseButtons held);
    void drag(QCustomPlot* plot, Qt::MouseButton button, QPoint from, QPoint to);

    std::unique_ptr<QWidget> page;
    QPushButton* buttons[3] = {};
    QCustomPlot* chart1 = nullptr;
    QCustomPlot* chart2 = nullptr;
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
    chart1 = new QCustomPlot(page.get());
    chart1->setGeometry(0, 72, 481, 169);
    chart2 = new QCustomPlot(page.get());
    chart2->setGeometry(0, 240, 481, 169);
    tel = std::make_unique<ui::TelemetryPage>(page.get(), chart1, chart2, hid, OutReport, latest);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    QApplication::processEvents();  // the redraws that the show queued
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
    QCPGraph* s = series(index);
    QVERIFY(s);
    QCOMPARE(s->parentPlot(), chart == 1 ? chart1 : chart2);
    // The demo's control socket finds the series by these names.
    QCOMPARE(s->objectName(), QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(s->name(), title);
    QCOMPARE(s->pen().color(), colour);
    QCOMPARE(s->pen().width(), 2);
    QCOMPARE(s->lineStyle(), QCPGraph::lsLine);
    QVERIFY(s->scatterStyle().isNone());
}

void TelemetryChartsTest::chartLooks_data() {
    QTest::addColumn<int>("chart");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QStringList>("legend");
    QTest::addColumn<QStringList>("labels");  // in the test's C locale
    QTest::newRow("Chart1") << 1 << 10.0 << 15.0
                            << QStringList{QStringLiteral("Напряжение АСС   "),
                                           QStringLiteral("Напряжение АТХ")}
                            << QStringList{"10", "11", "12", "13", "14", "15"};
    // The legend lists the series, not point values, though there is only one.
    QTest::newRow("Chart2") << 2 << -2.5 << 2.5 << QStringList{QStringLiteral("Температура")}
                            << QStringList{"-2.0", "-1.0", "0.0", "1.0", "2.0"};
}

void TelemetryChartsTest::chartLooks() {
    QFETCH(int, chart);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QStringList, legend);
    QFETCH(QStringList, labels);
    QCustomPlot* plot = chart == 1 ? chart1 : chart2;
    plot->replot();
    // No title: the layout holds the legend's row and the plot, nothing else.
    QCOMPARE(plot->plotLayout()->elementCount(), 2);
    QVERIFY(plot->legend->visible());
    QVERIFY(plot->legend->outerRect().bottom() <= plot->axisRect()->outerRect().top());
    QStringList entries;
    for (int i = 0; i < plot->legend->itemCount(); ++i)
        entries
            << qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i))->plottable()->name();
    QCOMPARE(entries, legend);
    QCOMPARE(plot->axisRect()->backgroundBrush().style(), Qt::NoBrush);
    // As numbers: the QCP namespace's meta-object is not exported from the Windows DLL.
    QCOMPARE(int(plot->selectionRectMode()), int(QCP::srmZoom));
    QVERIFY(plot->axisRect()->rangeZoomAxes(Qt::Horizontal).isEmpty());
    QCOMPARE(plot->axisRect()->rangeZoomAxes(Qt::Vertical), QList<QCPAxis*>{plot->yAxis});

    QCPAxis* x = plot->xAxis;
    QVERIFY(!x->visible());
    QVERIFY(!x->grid()->visible());
    QCOMPARE(x->range().lower, 0.0);
    QCOMPARE(x->range().upper, 254.0);
    QCPAxis* y = plot->yAxis;
    QVERIFY(y->visible());
    QCOMPARE(y->range().lower, min);
    QCOMPARE(y->range().upper, max);
    QCOMPARE(y->basePen().width(), 1);
    QCOMPARE(QStringList(y->tickVectorLabels()), labels);
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
        QCOMPARE(series(s)->dataCount(), 255);
        for (int i = 0; i < 255; ++i) QCOMPARE(series(s)->data()->at(i)->key, double(i));
    }
    QCOMPARE(charts().Series1->data()->at(0)->value, leftmostAcc);
    QCOMPARE(charts().Series1->data()->at(254)->value, 13.42);
    QCOMPARE(charts().Series2->data()->at(254)->value, 12.14);
    QCOMPARE(charts().LineSeries1->data()->at(254)->value, 25.0);
    QCOMPARE(charts().temperatureAxis->range(), QCPRange(22.5, 27.5));
    QCOMPARE(charts().voltageAxis->range(), QCPRange(10.0, 15.0));
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

void TelemetryChartsTest::eachTickRedrawsEachShownChartOnce_data() {
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("redraws");
    QTest::newRow("shown") << true << 2;
    // In the tray: asked and charted all the same, drawn when shown again.
    QTest::newRow("hidden") << false << 0;
}

void TelemetryChartsTest::eachTickRedrawsEachShownChartOnce() {
    QFETCH(bool, shown);
    QFETCH(int, redraws);
    if (!shown) page->hide();
    int replots[2] = {};
    connect(chart1, &QCustomPlot::afterReplot, this, [&] { ++replots[0]; });
    connect(chart2, &QCustomPlot::afterReplot, this, [&] { ++replots[1]; });
    latest.TemperatureC = 30;
    for (int i = 0; i < 2; ++i) {
        tick();
        QApplication::processEvents();
    }
    QCOMPARE(hid.writeCount, 2);
    QCOMPARE(replots[0], redraws);
    QCOMPARE(replots[1], redraws);
    QCOMPARE(charts().LineSeries1->dataCount(), 255);
    QCOMPARE(charts().LineSeries1->data()->at(254)->value, 30.0);
    QCOMPARE(charts().temperatureAxis->range().upper, 32.5);
    if (!shown) {
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
        QTRY_VERIFY(replots[0] > 0 && replots[1] > 0);
    }
}

void TelemetryChartsTest::send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                               Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    QApplication::processEvents();
}

void TelemetryChartsTest::drag(QCustomPlot* vp, Qt::MouseButton button, QPoint from, QPoint to) {
    send(vp, QEvent::MouseButtonPress, from, button, button);
    const int steps = 5;
    for (int i = 1; i <= steps; ++i)
        send(vp, QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, button);
    send(vp, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

void TelemetryChartsTest::mouseZoomAndPanUntilTheNextTick_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("dy");       // pointer movement, pixels down
    QTest::addColumn<double>("span");  // of the range afterwards; 0: narrower than before
    QTest::addColumn<int>("moved");    // -1 lower values shown, 0 same centre, 1 higher
    QTest::newRow("rubber band") << int(Qt::LeftButton) << 30 << 0.0 << 0;
    // Moved, neither zoomed in nor (right button) zoomed out; the plot follows the
    // pointer, so dragging down shows higher values.
    QTest::newRow("right drag down") << int(Qt::RightButton) << 20 << 5.0 << 1;
    QTest::newRow("middle drag up") << int(Qt::MiddleButton) << -20 << 5.0 << -1;
    QTest::newRow("right click zooms out") << int(Qt::RightButton) << 0 << 10.0 << 0;
    QTest::newRow("middle click") << int(Qt::MiddleButton) << 0 << 5.0 << 0;
}

void TelemetryChartsTest::mouseZoomAndPanUntilTheNextTick() {
    QFETCH(int, button);
    QFETCH(int, dy);
    QFETCH(double, span);
    QFETCH(int, moved);
    latest.TemperatureC = 20;
    tick();
    chart2->replot();
    QCPAxis* t = charts().temperatureAxis;
    QCOMPARE(t->range(), QCPRange(17.5, 22.5));

    const QPoint from = chart2->axisRect()->center() - QPoint(0, 20);
    drag(chart2, Qt::MouseButton(button), from, from + QPoint(0, dy));
    const QCPRange r = t->range();
    const QString got = QStringLiteral("%1 .. %2").arg(r.lower).arg(r.upper);
    if (span == 0)
        QVERIFY2(r.size() < 4.9, qPrintable(got));
    else
        QVERIFY2(qAbs(r.size() - span) < 1e-9, qPrintable(got));
    if (moved != 0)
        QVERIFY2(moved > 0 ? r.center() > 20.1 : r.center() < 19.9, qPrintable(got));
    else if (span != 0)
        QVERIFY2(qAbs(r.center() - 20) < 1e-9, qPrintable(got));
    QCOMPARE(chart2->xAxis->range(), QCPRange(0, 254));

    tick();
    QCOMPARE(t->range(), QCPRange(17.5, 22.5));
}

QTEST_MAIN(TelemetryChartsTest)
#include "charts_test.moc"
