#include "demo/window_state.hpp"

#include <qcustomplot.h>
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace demo {
namespace {

StateAnswer value(const QString& text) {
    return {true, escapeLine(text)};
}
StateAnswer flag(bool on) {
    return {true, on ? QStringLiteral("1") : QStringLiteral("0")};
}
StateAnswer missing(const QString& what) {
    return {false, QStringLiteral("no %1").arg(what)};
}

QString number(double v) {
    return QString::number(v, 'g', 15);
}

StateAnswer statusPanel(QWidget* window, int index) {
    auto* bar = window->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    if (!bar) return missing(QStringLiteral("status bar"));
    if (auto* panel = bar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(index)))
        return value(panel->text());
    // Panels without names: the bar's labels from left to right.
    std::vector<QLabel*> labels;
    for (QLabel* l : bar->findChildren<QLabel*>()) labels.push_back(l);
    std::stable_sort(labels.begin(), labels.end(), [bar](QLabel* a, QLabel* b) {
        return a->mapTo(bar, QPoint()).x() < b->mapTo(bar, QPoint()).x();
    });
    if (index >= static_cast<int>(labels.size()))
        return missing(QStringLiteral("status panel %1").arg(index));
    return value(labels[static_cast<std::size_t>(index)]->text());
}

QCPAxis* verticalAxis(QWidget* window, const QString& chart) {
    auto* plot = window->findChild<QCustomPlot*>(chart);
    return plot ? plot->yAxis : nullptr;
}

// The charts name their graphs after the series they stand for (Series1, ...).
QCPGraph* series(QWidget* window, const QString& name) {
    for (QCustomPlot* plot : window->findChildren<QCustomPlot*>()) {
        for (int i = 0; i < plot->graphCount(); ++i)
            if (plot->graph(i)->objectName() == name) return plot->graph(i);
    }
    return nullptr;
}

StateAnswer pseudo(QWidget* window, const QString& name, bool& handled) {
    handled = true;
    if (name.startsWith(QLatin1String("StatusBar."))) {
        const QString digit = name.mid(10);
        if (digit.size() == 1 && digit[0] >= QLatin1Char('0') && digit[0] <= QLatin1Char('4'))
            return statusPanel(window, digit[0].digitValue());
        return {false, QStringLiteral("status panels are StatusBar.0 to StatusBar.4")};
    }
    if (name == QLatin1String("Chart2.min") || name == QLatin1String("Chart2.max")) {
        QCPAxis* axis = verticalAxis(window, QStringLiteral("Chart2"));
        if (!axis) return missing(QStringLiteral("vertical axis of Chart2"));
        const QCPRange range = axis->range();
        return {true, number(name.endsWith(QLatin1String("min")) ? range.lower : range.upper)};
    }
    if (name.endsWith(QLatin1String(".count"))) {
        const QString seriesName = name.chopped(6);
        QCPGraph* s = series(window, seriesName);
        if (!s) return missing(QStringLiteral("series %1").arg(seriesName));
        return {true, QString::number(s->dataCount())};
    }
    if (name == QLatin1String("window.visible")) return flag(window->isVisible());
    if (name == QLatin1String("window.active")) return flag(window->isActiveWindow());
    if (name == QLatin1String("tab")) {
        QObject* tabs = window->findChild<QObject*>(QStringLiteral("TabControl1"));
        if (auto* bar = qobject_cast<QTabBar*>(tabs))
            return {true, QString::number(bar->currentIndex())};
        if (auto* widget = qobject_cast<QTabWidget*>(tabs))
            return {true, QString::number(widget->currentIndex())};
        return missing(QStringLiteral("tab strip TabControl1"));
    }
    if (name == QLatin1String("WindowActive")) {
        const QVariant v = window->property("WindowActive");
        if (!v.isValid())
            return {false, QStringLiteral("the window does not publish WindowActive")};
        return flag(v.toBool());
    }
    handled = false;
    return {};
}

}  // namespace

QString escapeLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

StateAnswer readControlState(QWidget* window, const QString& name) {
    if (!window) return {false, QStringLiteral("the main window is not up yet")};
    bool handled = false;
    StateAnswer answer = pseudo(window, name, handled);
    if (handled) return answer;

    QObject* object = window->findChild<QObject*>(name);
    if (!object) return {false, QStringLiteral("no control named %1").arg(name)};
    if (auto* box = qobject_cast<QCheckBox*>(object)) return flag(box->isChecked());
    if (auto* edit = qobject_cast<QLineEdit*>(object)) return value(edit->text());
    if (auto* memo = qobject_cast<QPlainTextEdit*>(object)) return value(memo->toPlainText());
    if (auto* rich = qobject_cast<QTextEdit*>(object)) return value(rich->toPlainText());
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return value(button->text());
    if (auto* label = qobject_cast<QLabel*>(object)) return value(label->text());
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(object)) return value(spin->text());
    if (auto* combo = qobject_cast<QComboBox*>(object)) return value(combo->currentText());
    if (auto* action = qobject_cast<QAction*>(object)) return value(action->text());
    return {false, QStringLiteral("%1 has no state to read").arg(name)};
}

QAction* exitAction(QWidget* window) {
    if (!window) return nullptr;
    auto* menu = window->findChild<QMenu*>(QStringLiteral("PopupMenu1"));
    if (!menu) return nullptr;
    for (QAction* action : menu->actions())
        if (action->objectName() == QLatin1String("N4")) return action;
    return nullptr;
}

}  // namespace demo
