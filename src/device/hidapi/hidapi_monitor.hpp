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

// The system's notifications where there are any (on Linux libudev monitors of hidraw
// devices: udev's events, or the kernel's where no udev daemon runs), polling otherwise.
std::unique_ptr<DeviceMonitor> makeSystemMonitor();

}  // namespace device
