#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <stdexcept>

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

// A save that failed as the user ended the program (the close box or "Выход"). The
// top-level error handler shows it like any error, then offers to end without saving:
// a file that cannot be written must not keep the user from quitting.
class EndingSaveFailed : public std::runtime_error {
public:
    EndingSaveFailed(const char* what, std::function<void()> endWithoutSaving)
        : std::runtime_error(what), endWithoutSaving_(std::move(endWithoutSaving)) {}
    void endWithoutSaving() const { endWithoutSaving_(); }

private:
    std::function<void()> endWithoutSaving_;
};

}  // namespace ui
