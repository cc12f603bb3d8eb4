#pragma once

#include <QByteArray>
#include <cstddef>
#include <deque>
#include <map>

#include "device/hid_library.hpp"
#include "emulator/controller_emulator.hpp"

namespace emulator {

using device::HidLibrary;
using device::Report;

// The HID library over an in-process ControllerEmulator. It behaves as the real library
// does where the program relies on it: every plug and unplug raises NotifyPlugged or
// NotifyUnplugged and then NotifyChanged; Connect announces the devices already attached;
// handles of removed devices keep their IDs and names; each input report raises one
// NotifyRead, and Read takes the reports in arrival order. Every notification is
// delivered from the event loop.
class SimulatedLibrary : public HidLibrary {
    Q_OBJECT
public:
    // Input reports waiting beyond this are dropped, as a device's buffer overflows
    // when nobody reads it.
    static constexpr std::size_t MaxQueuedReports = 1024;
    // How many removed devices keep answering for their handles.
    static constexpr std::size_t MaxRemovedDevices = 64;

    // The emulator must outlive the library.
    explicit SimulatedLibrary(ControllerEmulator& emulator, QObject* parent = nullptr);

    bool Connect() override;
    Handle GetHandle(int vendorId, int productId) override;
    int GetVendorID(Handle handle) override;
    int GetProductID(Handle handle) override;
    void GetProductName(Handle handle, char* buffer, int size) override;
    bool SetReadNotify(Handle handle, bool enabled) override;
    bool Read(Handle handle, Report& report) override;
    bool Write(Handle handle, const Report& report) override;

    ControllerEmulator& emulator() { return emulator_; }
    // Reports waiting for Read on the attached controller.
    std::size_t queuedReports() const;
    // Reports dropped because the queue was full.
    std::size_t droppedReports() const { return dropped_; }

private:
    struct Device {
        int vendorId = 0;
        int productId = 0;
        QByteArray name;
        bool attached = true;
        bool readNotify = false;
        std::deque<Report> queue;
    };

    Handle add(int vendorId, int productId, const char* name);
    void remove(Handle handle);
    void post(int event, Handle handle);
    void onInputReport(const Report& report);
    Device* attached(Handle handle);

    ControllerEmulator& emulator_;
    std::map<Handle, Device> devices_;
    Handle nextHandle_ = 1;
    Handle controller_ = 0;
    Handle other_ = 0;
    bool connected_ = false;
    std::size_t dropped_ = 0;
};

}  // namespace emulator
