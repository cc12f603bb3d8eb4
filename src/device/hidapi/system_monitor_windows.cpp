#include "device/hidapi/hidapi_monitor.hpp"

namespace device {

// hidapi has no hotplug notifications; listing the devices once a second costs little.
std::unique_ptr<DeviceMonitor> makeSystemMonitor() {
    return makePollingMonitor(1000);
}

}  // namespace device
