#include "ui/status_panels.hpp"

#include <QEvent>
#include <QStatusBar>

namespace ui {

StatusPanels::StatusPanels(QStatusBar* bar) : QWidget(bar) {
    setObjectName(QStringLiteral("StatusPanels"));
    int left = 0;
    for (int i = 0; i < Count; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setIndent(2);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        const int width = Widths[static_cast<std::size_t>(i)];
        label->setGeometry(left, 2, width, 17);
        left += width;
        panels_[static_cast<std::size_t>(i)] = label;
    }
    setGeometry(bar->rect());
    bar->installEventFilter(this);
}

void StatusPanels::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= Count) return;
    QLabel* label = panels_[static_cast<std::size_t>(panel)];
    label->setText(text);
    // The widths are fixed: what they cut off can still be read by pointing at it.
    const int room = label->contentsRect().width() - label->indent();
    label->setToolTip(label->fontMetrics().horizontalAdvance(text) > room ? text : QString());
}

QString StatusPanels::panelText(int panel) const {
    if (panel < 0 || panel >= Count) return {};
    return panels_[static_cast<std::size_t>(panel)]->text();
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(static_cast<QWidget*>(parent())->rect());
    return QWidget::eventFilter(watched, event);
}

}  // namespace ui
