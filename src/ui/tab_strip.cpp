#include "ui/tab_strip.hpp"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QWheelEvent>

namespace ui {

TabStrip::TabStrip(QWidget* parent) : QTabBar(parent) {
    setDrawBase(false);
    setExpanding(false);
    setUsesScrollButtons(false);
    // Hot tracking: the tab under the pointer is highlighted.
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
}

void TabStrip::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        QStyleOptionTabWidgetFrame frame;
        frame.initFrom(this);
        frame.shape = shape();
        const int tabsHeight = count() > 0 ? tabRect(0).height() : 0;
        const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
        frame.rect = rect().adjusted(0, tabsHeight - overlap, 0, 0);
        frame.tabBarSize = QSize(tabRect(count() - 1).right() + 1, tabsHeight);
        frame.tabBarRect = QRect(0, 0, frame.tabBarSize.width(), tabsHeight);
        frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
    }
    QTabBar::paintEvent(event);
}

void TabStrip::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

}  // namespace ui
