#include <QApplication>

#include "app/program.hpp"
#include "device/controller_emulator.hpp"
#include "device/simulated_library.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    app::setUpApplication(application);
    device::ControllerEmulator emulator;
    // Telemetry that wanders around its nominal values, so the charts have something to show.
    emulator.setVariation(true);
    device::SimulatedLibrary hid(emulator);
    return app::runProgram(application, hid);
}
