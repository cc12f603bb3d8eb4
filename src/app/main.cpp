#include "app/error_box.hpp"
#include "app/program.hpp"
#include "app/signal_watch.hpp"
#include "common/utf8_locale.hpp"
#include "device/hidapi/hidapi_library.hpp"

int main(int argc, char* argv[]) {
    common::chooseUtf8Ctype();
    app::SignalWatch::handleFromStart(true);
    app::Application application(argc, argv);
    app::setUpApplication(application);
    device::HidapiLibrary hid;
    return app::runProgram(application, hid);
}
