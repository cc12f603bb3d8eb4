#pragma once

#include <QApplication>

namespace testing_support {

// The one QApplication of a GoogleTest program with widgets, made on first use, offscreen
// unless the environment names a platform. Never destroyed: QTest's input devices are torn
// down by exit handlers, and an application destroyed among them crashes on the way out.
inline QApplication& widgetApp() {
    static int argc = 1;
    static char name[] = "drevonix_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* instance = new QApplication(argc, argv);
    return *instance;
}

}  // namespace testing_support
