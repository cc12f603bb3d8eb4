#pragma once

#include "device/hid_library.hpp"

class QApplication;

namespace app {

class Application;

// What both programs set on the application object before any window exists.
void setUpApplication(QApplication& application);

// Builds the main window over `hid` and runs the message loop until the program ends.
int runProgram(Application& application, device::HidLibrary& hid);

}  // namespace app
