#include "app/error_box.hpp"
#include "app/program.hpp"
#include "device/hidapi/hidapi_library.hpp"

int main(int argc, char* argv[]) {
    app::Application application(argc, argv);
    app::setUpApplication(application);
    device::HidapiLibrary hid;
    return app::runProgram(application, hid);
}
