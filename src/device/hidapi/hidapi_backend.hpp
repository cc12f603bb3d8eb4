#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
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

// An opened device; destroying it closes the device. read() runs on the device's reader
// thread while write() runs on the UI thread; nothing else is called concurrently.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    // Waits up to timeoutMs for one input report: its length, 0 on timeout, -1 on error.
    virtual int read(std::uint8_t* data, std::size_t size, int timeoutMs) = 0;
    // Sends one output report (report number first): bytes sent, or -1.
    virtual int write(const std::uint8_t* data, std::size_t size) = 0;
};

// Everything HidapiLibrary needs from the platform's HID layer. Called on the UI thread.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    // nullptr when the device cannot be opened (gone, or no permission); `error` then
    // says why, as an errno value.
    virtual std::unique_ptr<HidConnection> open(const std::string& path, int& error) = 0;
};

// The real thing, over hidapi.
std::unique_ptr<HidBackend> makeHidapiBackend();

}  // namespace device
