#include "device/commands.hpp"

namespace device {

void writeToController(HidLibrary& hid, const Report& OutReport) {
    hid.Write(hid.GetHandle(ControllerVendorId, ControllerProductId), OutReport);
}

void sendCommand(HidLibrary& hid, Report& OutReport, Command command) {
    setCommand(OutReport, command);
    writeToController(hid, OutReport);
}

void RequestADC(HidLibrary& hid, Report& OutReport) {
    sendCommand(hid, OutReport, CmdRequestTelemetry);
}

}  // namespace device
