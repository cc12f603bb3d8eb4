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
// `emulated`: `hid` is the demo's emulator, which no other program types, so the demo takes
// a lock of its own settings file instead of the controller's.
int runProgram(Application& application, device::HidLibrary& hid, bool emulated = false);

}  // namespace app
