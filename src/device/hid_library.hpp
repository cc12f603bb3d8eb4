#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

#include "device/reports.hpp"

namespace device {

// Event codes of the device notification.
enum HidEvent : int {
    NotifyPlugged = 1,
    NotifyUnplugged = 2,
    NotifyChanged = 3,
    NotifyRead = 4,
};

// The eight calls the program makes to reach USB HID devices, and the notification it
// listens to. Backends: real devices through hidapi, and an in-process controller emulator.
//
// Every call is made on the UI thread. Notifications arrive there too, in order, as the
// DeviceNotifyMessage signal, which any number of receivers may see (none consumes it).
class HidLibrary : public QObject {
    Q_OBJECT
public:
    using Handle = std::uint32_t;

    using QObject::QObject;
    ~HidLibrary() override = default;

    // Starts notifications. Devices already attached are announced with NotifyPlugged
    // followed by NotifyChanged, delivered from the event loop after Connect returns.
    virtual bool Connect() = 0;
    // The handle of the first attached device with these IDs, or 0 when there is none.
    virtual Handle GetHandle(int vendorId, int productId) = 0;
    // IDs of the device behind a handle; handles of removed devices keep answering, so
    // that an unplug notification can still be matched. 0 for an unknown handle.
    virtual int GetVendorID(Handle handle) = 0;
    virtual int GetProductID(Handle handle) = 0;
    // Writes the product string (UTF-8) into `buffer`, zero-terminated, at most `size` bytes.
    virtual void GetProductName(Handle handle, char* buffer, int size) = 0;
    // From now on each input report of that device raises NotifyRead.
    virtual bool SetReadNotify(Handle handle, bool enabled) = 0;
    // Copies the waiting input report into `report`; false (and `report` unchanged) when
    // none is waiting or the device is gone.
    virtual bool Read(Handle handle, Report& report) = 0;
    // Sends the 65 bytes as one output report. False when it could not be sent.
    virtual bool Write(Handle handle, const Report& report) = 0;

    // Beyond the eight calls: why an attached device could not be used, for the user.
    // Where the device is attached (a device node on Linux); empty when unknown.
    virtual QString devicePath(Handle) { return {}; }
    // Why the last attempt to open the device failed (an errno value); 0 when it opened
    // or was never tried.
    virtual int openError(Handle) { return 0; }

signals:
    void DeviceNotifyMessage(int event, device::HidLibrary::Handle handle);
    // An attached device could not be opened; once per attachment, however often the
    // program tries again.
    void openFailed(device::HidLibrary::Handle handle);
};

}  // namespace device
