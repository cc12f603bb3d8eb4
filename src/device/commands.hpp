#pragma once

#include "device/hid_library.hpp"

namespace device {

// Each command sets bytes 0 and 1 of the shared output buffer, looks the controller up
// again by its IDs and writes the buffer. Nothing waits for an answer.
void RequestADC(HidLibrary& hid, Report& OutReport);
void sendCommand(HidLibrary& hid, Report& OutReport, Command command);
// Sends the buffer as it is (the caller has set every byte it wants).
void writeToController(HidLibrary& hid, const Report& OutReport);

}  // namespace device
