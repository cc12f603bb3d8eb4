#pragma once

#include <QLabel>
#include <QWidget>
#include <array>

#include "device/device_event_hook.hpp"

class QStatusBar;

namespace ui {

// The five panels of the status bar, left to right, at fixed widths. The device link
// writes panels 0..3; panel 4 stays empty.
class StatusPanels : public QWidget, public device::StatusView {
    Q_OBJECT
public:
    static constexpr int Count = 5;
    static constexpr std::array<int, Count> Widths{160, 160, 70, 70, 70};

    // Lies over the whole of `bar`, beside the bar's own layout, so that the panels start
    // at its left edge with no spacing of their own.
    explicit StatusPanels(QStatusBar* bar);

    void setPanelText(int panel, const QString& text) override;
    QString panelText(int panel) const;
    QLabel* panel(int index) const { return panels_.at(static_cast<std::size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLabel*, Count> panels_{};
};

}  // namespace ui
