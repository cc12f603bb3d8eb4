#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/hidapi/hidapi_backend.hpp"
#include "device/reports.hpp"

namespace device {

// The platform's way to open a listed device (Linux: the hidraw node itself; elsewhere
// hidapi's handle). nullptr when it cannot be opened; `error` then says why (errno).
std::unique_ptr<HidConnection> openDevice(const std::string& path, int& error);
// Through hidapi's own handle.
std::unique_ptr<HidConnection> openWithHidapi(const std::string& path, int& error);
// Linux: an opened hidraw node (non-blocking) as a connection, which then owns it.
std::unique_ptr<HidConnection> adoptDeviceNode(int fd);
// The platform's way to learn that a device refused to us may be opened now (Linux: the
// node's attribute changes, where logind's ACLs land; elsewhere a look every second).
std::unique_ptr<AccessWatch> watchNodeAccess(const std::string& path,
                                             std::function<void()> changed);

// Hands an opened device's input reports to the UI thread as they arrive: Linux reads the
// node there when it is readable, elsewhere one thread per device reads. Destroying it stops
// it at once; nothing is handed over afterwards, and a handler may destroy it.
class ReportReader {
public:
    struct Handlers {
        // Report number 0 first, padded with zeros.
        std::function<void(const Report&)> report;
        // Reading has ended: an errno value (EIO or ENODEV: the device is gone), or 0.
        std::function<void(int error)> failed;
    };
    virtual ~ReportReader() = default;
};

// nullptr when reading cannot start.
std::unique_ptr<ReportReader> startReportReader(std::shared_ptr<HidConnection> connection,
                                                ReportReader::Handlers handlers);

}  // namespace device
