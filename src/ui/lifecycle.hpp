#pragma once

#include <QDate>
#include <QString>
#include <functional>

namespace ui {

// What start-up and shutdown take from outside the main window. The program leaves the
// defaults; tests give their own to the window's constructor.
struct LifecycleOptions {
    // Empty: beside the executable, or the user's configuration folder.
    QString settingsPath;
    // Empty: the local date.
    std::function<QDate()> today;
    // Empty: the author's greeting box.
    std::function<void()> greet;
    // Empty: whether the desktop has a notification area now.
    std::function<bool()> trayProbe;
    // Called with the name of each start-up and shutdown step as it begins.
    std::function<void(const char* step)> trace;
};

}  // namespace ui
