#pragma once

#include <functional>
#include <memory>

namespace device {

// Tells HidapiLibrary that HID devices may have come or gone; the library then lists the
// devices again and works out what changed, so a spurious call costs one enumeration.
class DeviceMonitor {
public:
    virtual ~DeviceMonitor() = default;
    // `changed` runs on the UI thread, never after the monitor is destroyed.
    virtual void start(std::function<void()> changed) = 0;
};

// Calls `changed` every `intervalMs`: for systems without device notifications.
std::unique_ptr<DeviceMonitor> makePollingMonitor(int intervalMs);

// Linux: whether an event of the udev monitor makes the library look again. udev's
// always (its rules, and with them the user's access, are in place by then); the
// kernel's only while no udev daemon runs, which would announce the same device again
// after its rules, so that a look at the kernel's event could find a node still closed.
bool ueventCounts(bool fromKernel, const std::function<bool()>& udevRunning);

// The system's notifications where there are any (on Linux libudev monitors of hidraw
// devices: udev's events, or the kernel's where no udev daemon runs), polling otherwise.
std::unique_ptr<DeviceMonitor> makeSystemMonitor();

}  // namespace device
