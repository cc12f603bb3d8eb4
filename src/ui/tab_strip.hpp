#pragma once

#include <QTabBar>

namespace ui {

// The window's tab strip: tabs along the top and, below them, the display area in which
// the pages lie as plain children. It draws the display area's frame itself.
class TabStrip : public QTabBar {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Wheel turns over a page bubble up to the strip; they must never switch tabs, since
    // the last tab hides the window.
    void wheelEvent(QWheelEvent* event) override;
};

}  // namespace ui
