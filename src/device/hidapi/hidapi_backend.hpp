#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace device {

// One attached HID device as the system lists it.
struct HidDeviceInfo {
    std::string path;  // stable while the device stays attached; the key of a device
    int vendorId = 0;
    int productId = 0;
    QString productName;
};

// An opened device; destroying it closes the device. Used on the UI thread, except where
// a reader thread reads it (a system without a descriptor to watch): read() then runs
// there, beside write() on the UI thread.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    // Waits up to timeoutMs (0: not at all) for one input report and copies it, cut to
    // `size`: its length, 0 when none came, -1 on an error; `error` then says which, as an
    // errno value (EIO or ENODEV: the device is gone), or 0 when the system does not say.
    virtual int read(std::uint8_t* data, std::size_t size, int timeoutMs, int& error) = 0;
    // Sends one output report (report number first): bytes sent, or -1.
    virtual int write(const std::uint8_t* data, std::size_t size) = 0;
    // A descriptor that polls readable while a report waits and once the device is gone;
    // -1 where the system has none.
    virtual int descriptor() const { return -1; }
};

// A watch on a device node's access rights; destroying it ends the watch.
class AccessWatch {
public:
    virtual ~AccessWatch() = default;
};

// Everything HidapiLibrary needs from the platform's HID layer. Called on the UI thread.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    // nullptr when the device cannot be opened (gone, or no permission); `error` then
    // says why, as an errno value.
    virtual std::unique_ptr<HidConnection> open(const std::string& path, int& error) = 0;
    // Calls `changed` on the UI thread whenever the device at `path` may have let us in
    // (its owner, mode or ACL changed), until the watch is destroyed; nullptr where that
    // cannot be watched.
    virtual std::unique_ptr<AccessWatch> watchAccess(const std::string& path,
                                                     std::function<void()> changed) = 0;
};

// The real thing: hidapi lists the devices, the platform's own way opens them.
std::unique_ptr<HidBackend> makeHidapiBackend();

// Why hidapi's listing came back empty, from hid_error(NULL) right after it: empty when it
// did not fail (there was nothing to list).
QString listingFailure(const QString& hidError);

}  // namespace device
