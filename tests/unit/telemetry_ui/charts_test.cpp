#include "ui/charts.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <memory>

#include "ui/telemetry_page.hpp"

namespace {

// One application object for the whole run, gone again before static destruction starts
// (Qt's own statics must outlive it).
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[18] = "test_telemetry_ui";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] auto* const gQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class SilentHid : public device::HidLibrary {
public:
    bool Connect() override { return true; }
    Handle GetHandle(int, int) override { return 0; }
    int GetVendorID(Handle) override { return 0; }
    int GetProductID(Handle) override { return 0; }
    void GetProductName(Handle, char* buffer, int size) override {
        if (size > 0) buffer[0] = '\0';
    }
    bool SetReadNotify(Handle, bool) override { return true; }
    bool Read(Handle, device::Report&) override { return false; }
    bool Write(Handle, const device::Report&) override {
        ++writes;
        return false;
    }
    int writes = 0;
};

// The indicators page as the window lays it out.
class ChartsTest : public ::testing::Test {
protected:
    ChartsTest() {
        telemetry::resetProgramHistoriesForTests();
        page.resize(481, 413);
        for (int i = 0; i < 3; ++i) {
            buttons[i] = new QPushButton(QStringLiteral("x"), &page);
            buttons[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
        }
        chart1 = new QChartView(&page);
        chart1->setGeometry(0, 72, 481, 169);
        chart2 = new QChartView(&page);
        chart2->setGeometry(0, 240, 481, 169);
        tel = std::make_unique<ui::TelemetryPage>(&page, chart1, chart2, hid, OutReport, latest);
        page.show();
        QApplication::processEvents();
    }

    ui::TelemetryCharts& charts() { return tel->charts(); }

    void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
              Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
        QApplication::processEvents();
    }
    void drag(QChartView* view, Qt::MouseButton button, QPoint from, QPoint to) {
        QWidget* vp = view->viewport();
        send(vp, QEvent::MouseButtonPress, from, button, button);
        const int steps = 5;
        for (int i = 1; i <= steps; ++i)
            send(vp, QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, button);
        send(vp, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
    }
    QPoint plotCentre(QChartView* view) {
        return view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea().center()));
    }

    QWidget page;
    QPushButton* buttons[3] = {};
    QChartView* chart1 = nullptr;
    QChartView* chart2 = nullptr;
    SilentHid hid;
    device::Report OutReport{};
    device::Measurements latest;
    std::unique_ptr<ui::TelemetryPage> tel;
};

TEST_F(ChartsTest, SeriesLooks) {
    struct Case {
        QLineSeries* series;
        QChart* chart;
        const char* title;
        QColor colour;
    } cases[] = {
        {charts().Series1, chart1->chart(), "Напряжение АСС   ", QColor(255, 0, 0)},
        {charts().Series2, chart1->chart(), "Напряжение АТХ", QColor(0, 128, 0)},
        {charts().LineSeries1, chart2->chart(), "Температура", QColor(0, 0, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        ASSERT_NE(c.series, nullptr);
        EXPECT_EQ(c.series->chart(), c.chart);
        EXPECT_EQ(c.series->name(), QString::fromUtf8(c.title));
        EXPECT_EQ(c.series->pen().color(), c.colour);
        EXPECT_EQ(c.series->color(), c.colour);
        EXPECT_EQ(c.series->pen().width(), 2);
        EXPECT_FALSE(c.series->pointsVisible());
        EXPECT_FALSE(c.series->pointLabelsVisible());
    }
    // Cyrillic "АСС" and "АТХ", not Latin look-alikes.
    EXPECT_EQ(charts().Series1->name().mid(11, 3), QString::fromUtf8("\u0410\u0421\u0421"));
    EXPECT_EQ(charts().Series2->name().mid(11, 3), QString::fromUtf8("\u0410\u0422\u0425"));
}

TEST_F(ChartsTest, ChartLooks) {
    struct Case {
        QChartView* view;
        double min, max;
        QStringList legend;
    } cases[] = {
        {chart1, 10, 15, {QStringLiteral("Напряжение АСС   "), QStringLiteral("Напряжение АТХ")}},
        {chart2, -2.5, 2.5, {QStringLiteral("Температура")}},
    };
    for (const auto& c : cases) {
        QChart* chart = c.view->chart();
        EXPECT_EQ(chart->animationOptions(), QChart::NoAnimation);
        EXPECT_TRUE(chart->title().isEmpty());
        EXPECT_TRUE(chart->legend()->isVisible());
        EXPECT_EQ(chart->legend()->alignment(), Qt::AlignTop);
        QStringList labels;
        for (QLegendMarker* m : chart->legend()->markers()) labels << m->label();
        EXPECT_EQ(labels, c.legend);
        EXPECT_EQ(chart->plotAreaBackgroundBrush().style(), Qt::NoBrush);
        EXPECT_EQ(chart->plotAreaBackgroundBrush().color(), QColor(Qt::white));
        EXPECT_EQ(c.view->rubberBand(), QChartView::VerticalRubberBand);

        const auto horizontal = chart->axes(Qt::Horizontal);
        ASSERT_EQ(horizontal.size(), 1);
        auto* x = qobject_cast<QValueAxis*>(horizontal.front());
        ASSERT_NE(x, nullptr);
        EXPECT_FALSE(x->isVisible());
        EXPECT_DOUBLE_EQ(x->min(), 0);
        EXPECT_DOUBLE_EQ(x->max(), 254);
        const auto vertical = chart->axes(Qt::Vertical);
        ASSERT_EQ(vertical.size(), 1);
        auto* y = qobject_cast<QValueAxis*>(vertical.front());
        ASSERT_NE(y, nullptr);
        EXPECT_TRUE(y->isVisible());
        EXPECT_DOUBLE_EQ(y->min(), c.min);
        EXPECT_DOUBLE_EQ(y->max(), c.max);
        EXPECT_EQ(y->alignment(), Qt::AlignLeft);
        EXPECT_EQ(y->linePen().width(), 1);
    }
}

TEST_F(ChartsTest, TickFillsEverySeriesAndTheReadouts) {
    latest = {13.42L, 12.14L, 25.0L};
    for (int n : {1, 2, 300}) {
        while (hid.writes < n) tel->Timer1Timer();
        for (QLineSeries* s : {charts().Series1, charts().Series2, charts().LineSeries1}) {
            ASSERT_EQ(s->count(), 255) << n;
            EXPECT_DOUBLE_EQ(s->at(0).x(), 0);
            EXPECT_DOUBLE_EQ(s->at(254).x(), 254);
        }
    }
    // The readouts follow the user's locale.
    struct Locale {
        QLocale::Language language;
        const char *acc, *atx, *temp;
    } locales[] = {{QLocale::Russian, "13,42 v", "12,14 v", "25,0 °C"},
                   {QLocale::English, "13.42 v", "12.14 v", "25.0 °C"}};
    const QLocale before;
    for (const auto& l : locales) {
        QLocale::setDefault(QLocale(l.language));
        tel->Timer1Timer();
        EXPECT_EQ(buttons[0]->text(), QString::fromUtf8(l.acc));
        EXPECT_EQ(buttons[1]->text(), QString::fromUtf8(l.atx));
        EXPECT_EQ(buttons[2]->text(), QString::fromUtf8(l.temp));
    }
    QLocale::setDefault(before);
    EXPECT_DOUBLE_EQ(charts().LineSeries1->at(254).y(), 25.0);
    EXPECT_DOUBLE_EQ(charts().Series1->at(0).y(), 13.42);
    EXPECT_DOUBLE_EQ(charts().temperatureAxis->min(), 22.5);
    EXPECT_DOUBLE_EQ(charts().temperatureAxis->max(), 27.5);
    EXPECT_DOUBLE_EQ(charts().voltageAxis->min(), 10);
    EXPECT_DOUBLE_EQ(charts().voltageAxis->max(), 15);

    // Hidden in the tray, the page goes on asking and drawing.
    page.hide();
    const int asked = hid.writes;
    latest.TemperatureC = 30;
    tel->Timer1Timer();
    EXPECT_EQ(hid.writes, asked + 1);
    EXPECT_DOUBLE_EQ(charts().LineSeries1->at(254).y(), 30.0);
    EXPECT_DOUBLE_EQ(charts().temperatureAxis->max(), 32.5);
}

TEST_F(ChartsTest, EachTickReplacesEachSeriesOnce) {
    int replaced = 0, added = 0;
    for (QLineSeries* s : {charts().Series1, charts().Series2, charts().LineSeries1}) {
        QObject::connect(s, &QXYSeries::pointsReplaced, [&] { ++replaced; });
        QObject::connect(s, &QXYSeries::pointAdded, [&] { ++added; });
    }
    tel->Timer1Timer();
    tel->Timer1Timer();
    EXPECT_EQ(replaced, 6);
    EXPECT_EQ(added, 0);
}

TEST_F(ChartsTest, MouseZoomsAndPansVerticallyAndTheNextTickResetsTheTemperatureRange) {
    latest.TemperatureC = 20;
    tel->Timer1Timer();
    QValueAxis* t = charts().temperatureAxis;
    ASSERT_DOUBLE_EQ(t->min(), 17.5);

    struct Case {
        const char* name;
        Qt::MouseButton button;
        int dy;  // pointer movement, pixels down
    } cases[] = {{"rubber band", Qt::LeftButton, 30},
                 {"pan down", Qt::RightButton, 20},
                 {"pan up", Qt::MiddleButton, -20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QPoint from = plotCentre(chart2) - QPoint(0, 20);
        drag(chart2, c.button, from, from + QPoint(0, c.dy));
        const double span = t->max() - t->min();
        if (c.button == Qt::LeftButton) {
            EXPECT_LT(span, 4.9);  // zoomed in
        } else {
            EXPECT_NEAR(span, 5.0, 1e-9);  // moved, not zoomed in or out
            // The plot follows the pointer: dragging down shows higher values.
            if (c.dy > 0) {
                EXPECT_GT(t->min(), 17.5 + 0.1);
            }
            if (c.dy < 0) {
                EXPECT_LT(t->min(), 17.5 - 0.1);
            }
        }
        auto* x = qobject_cast<QValueAxis*>(chart2->chart()->axes(Qt::Horizontal).front());
        EXPECT_NEAR(x->min(), 0, 1e-6);
        EXPECT_NEAR(x->max(), 254, 1e-6);

        tel->Timer1Timer();
        EXPECT_DOUBLE_EQ(t->min(), 17.5);
        EXPECT_DOUBLE_EQ(t->max(), 22.5);
    }
}

}  // namespace
