#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "support/qt_print.hpp"

namespace testing_support {

// One application object for the whole test program, made before the first test and
// destroyed after the last: the emulator's timers need it from their construction on.
// Every GoogleTest program without widgets takes it from here.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "drevonix_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};

inline ::testing::Environment* const appEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

inline QCoreApplication& app() {
    return *QCoreApplication::instance();
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
