#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <functional>
#include <ostream>

namespace testing_support {

// One application object for the whole test program; the emulator and the library need
// an event loop.
inline QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test_emulator";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Runs the event loop for a few milliseconds, sleeping while nothing happens.
inline void spin(int ms = 2) {
    app();
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `ms` have passed; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done, int ms = 2000) {
    app();
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        spin();
    }
    return true;
}

// Runs the event loop for `ms`, whatever happens.
inline void runFor(int ms) {
    app();
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) spin();
}

}  // namespace testing_support

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
