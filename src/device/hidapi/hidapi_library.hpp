#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "device/hid_library.hpp"
#include "device/hidapi/device_io.hpp"
#include "device/hidapi/hidapi_backend.hpp"
#include "device/hidapi/hidapi_monitor.hpp"

namespace device {

struct HidapiOptions {
    // Reports waiting to be read per device; more are dropped until the program catches up.
    std::size_t queueCapacity = 4096;
    // Removed devices whose IDs and names are still answered for.
    std::size_t removedKept = 1024;
    // After a read error other than the device's going, on a device that stays attached:
    // how long until the program is told again (NotifyChanged), so that it switches its
    // reads back on. A device that has gone is left to the monitor.
    int readRetryMs = 1000;
};

// Real USB HID devices. Every HID device the system lists gets a handle; a device is
// opened only once the program addresses it (SetReadNotify or Write). Its reports are read
// as they come (device_io.hpp) and announced on the thread that owns this object, where
// everything else happens too.
class HidapiLibrary : public HidLibrary {
    Q_OBJECT
public:
    explicit HidapiLibrary(QObject* parent = nullptr);
    HidapiLibrary(std::unique_ptr<HidBackend> backend, std::unique_ptr<DeviceMonitor> monitor,
                  HidapiOptions options = {}, QObject* parent = nullptr);
    ~HidapiLibrary() override;

    bool Connect() override;
    Handle GetHandle(int vendorId, int productId) override;
    int GetVendorID(Handle handle) override;
    int GetProductID(Handle handle) override;
    void GetProductName(Handle handle, char* buffer, int size) override;
    bool SetReadNotify(Handle handle, bool enabled) override;
    bool Read(Handle handle, Report& report) override;
    bool Write(Handle handle, const Report& report) override;
    QString devicePath(Handle handle) override;
    int openError(Handle handle) override;

private:
    struct Device {
        HidDeviceInfo info;
        bool attached = true;
        std::shared_ptr<HidConnection> connection;  // open while addressed
        int openError = 0;                          // why the last open failed (errno)
        bool openFailureAnnounced = false;
        std::unique_ptr<AccessWatch> accessWatch;  // set while the device refuses us
        std::unique_ptr<ReportReader> reader;      // set while reports are announced
        std::deque<Report> pending;                // announced, not yet read
    };

    void announceAttached();
    void rescan();
    Handle addDevice(const HidDeviceInfo& info);
    void detach(Device& device);
    Device* attachedDevice(Handle handle);
    const Device* knownDevice(Handle handle) const;
    bool ensureOpen(Handle handle, Device& device);
    bool startReader(Handle handle, Device& device);
    void stopReader(Device& device);
    void reportArrived(Handle handle, const Report& report);
    void readFailed(Handle handle, int error);
    void mayOpenNow(Handle handle);
    void emitAll(const std::vector<std::pair<int, Handle>>& events);

    std::unique_ptr<HidBackend> backend_;
    std::unique_ptr<DeviceMonitor> monitor_;
    HidapiOptions options_;
    std::map<Handle, Device> devices_;  // in the order the handles were issued
    std::deque<Handle> removed_;        // removed handles, oldest first
    std::vector<Handle> atConnect_;     // announced from the event loop after Connect
    Handle nextHandle_ = 1;
    bool connected_ = false;
    bool announced_ = false;
};

}  // namespace device
