#include <QApplication>

#include "app/program.hpp"
#include "device/hidapi_library.hpp"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    app::setUpApplication(application);
    device::HidapiLibrary hid;
    return app::runProgram(application, hid);
}
