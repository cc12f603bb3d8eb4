#pragma once

#include <QString>

class QAction;
class QWidget;

namespace demo {

struct StateAnswer {
    bool ok = false;
    QString text;  // the state when ok, else why there is none
};

// The state of a control of `window`, found by object name: an edit's text, a check box's
// 0 or 1, a button's, label's or action's caption. Besides the controls:
//   StatusBar.0 .. StatusBar.4   the status bar's panel texts
//   Chart2.min, Chart2.max       the temperature chart's vertical range
//   Series1.count (also Series2, LineSeries1)   points in a chart series
//   window.visible, window.active                0 or 1
//   tab                          index of the selected tab of TabControl1
//   WindowActive                 the key mapper's flag, as the window publishes it in its
//                                property "WindowActive"
// Line breaks and backslashes in a text come back escaped (\n, \r, \\), so that every
// answer stays on one line.
StateAnswer readControlState(QWidget* window, const QString& name);

// The tray menu's exit item: action N4 of the menu PopupMenu1 under `window`.
QAction* exitAction(QWidget* window);

QString escapeLine(const QString& text);

}  // namespace demo
