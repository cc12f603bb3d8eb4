#include <QSystemTrayIcon>
#include <QTimer>

#include "app/error_box.hpp"
#include "app/program.hpp"
#include "app/signal_watch.hpp"
#include "common/utf8_locale.hpp"
#include "demo/demo_support.hpp"
#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "ui/tform1.hpp"

int main(int argc, char* argv[]) {
    common::chooseUtf8Ctype();
    app::SignalWatch::handleFromStart(true);
    app::Application application(argc, argv);
    app::setUpApplication(application);
    emulator::ControllerEmulator emulator;
    // Telemetry that wanders around its nominal values, so the charts have something to show.
    emulator.setVariation(true);
    emulator::SimulatedLibrary hid(emulator);
    // The simulator window beside the main window, and the control socket for scripts.
    demo::DemoSupport demoSupport(emulator, [] { return static_cast<QWidget*>(ui::Form1); });
    // The program starts hidden in the tray: a newcomer sees a new icon and nothing else.
    // Said once the loop runs, so that a second start, which only brings the first one's
    // window up, does not point at an icon of its own.
    QTimer::singleShot(0, &application, [] {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            qWarning(
                "drevonix-demo: the program is in the notification area; click its icon for "
                "the window and the controller simulator");
    });
    return app::runProgram(application, hid, true);
}
