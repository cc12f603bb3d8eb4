#pragma once

#include "device/hid_library.hpp"

class QApplication;

namespace ui {
class TForm1;
}

namespace app {

class Application;

// What both programs set on the application object before any window exists.
void setUpApplication(QApplication& application);

// Tells the user, on stderr and in a balloon of the window's tray icon, each time an
// attached controller may not be opened.
void explainOpenFailures(device::HidLibrary& hid, ui::TForm1& window);

// Builds the main window over `hid` and runs the message loop until the program ends.
int runProgram(Application& application, device::HidLibrary& hid);

}  // namespace app
