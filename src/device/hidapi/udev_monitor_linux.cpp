// The only file that talks to libudev.
#include <libudev.h>

#include <QSocketNotifier>

#include "device/hidapi/hidapi_monitor.hpp"

namespace device {
namespace {

class UdevMonitor final : public DeviceMonitor {
public:
    UdevMonitor() {
        udev_ = udev_new();
        if (!udev_) return;
        // "udev", not "kernel": by the time udev announces a node, its rules (and with
        // them the user's access) have been applied.
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (!monitor_ ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_) < 0) {
            release();
        }
    }
    ~UdevMonitor() override {
        notifier_.reset();
        release();
    }
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    bool ok() const { return monitor_ != nullptr; }

    void start(std::function<void()> changed) override {
        notifier_ =
            std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this, changed = std::move(changed)] {
                             // One look at the devices covers every event that is waiting.
                             while (udev_device* d = udev_monitor_receive_device(monitor_))
                                 udev_device_unref(d);
                             changed();
                         });
    }

private:
    void release() {
        if (monitor_) udev_monitor_unref(monitor_);
        if (udev_) udev_unref(udev_);
        monitor_ = nullptr;
        udev_ = nullptr;
    }

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

std::unique_ptr<DeviceMonitor> makeSystemMonitor() {
    auto monitor = std::make_unique<UdevMonitor>();
    if (monitor->ok()) return monitor;
    return makePollingMonitor(1000);
}

}  // namespace device
