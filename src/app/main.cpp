#include "app/error_box.hpp"
#include "app/program.hpp"
#include "app/signal_watch.hpp"
#include "device/hidapi/hidapi_library.hpp"

int main(int argc, char* argv[]) {
    app::SignalWatch::handleFromStart(true);
    app::Application application(argc, argv);
    app::setUpApplication(application);
    device::HidapiLibrary hid;
    return app::runProgram(application, hid);
}
