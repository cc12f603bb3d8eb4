#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <memory>

#include "support/qt_print.hpp"
#include "support/wait.hpp"

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

}  // namespace testing_support
