#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Waiting on the event loop of the application the test program made (QCoreApplication
// or QApplication), always with a bound.
namespace testing_support {

// Runs the event loop for a few milliseconds, sleeping while nothing happens.
inline void spin(int ms = 2) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `ms` have passed; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int ms = 2000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        spin();
    }
    return true;
}

// Runs the event loop for `ms`, whatever happens.
inline void runFor(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) spin();
}

}  // namespace testing_support
