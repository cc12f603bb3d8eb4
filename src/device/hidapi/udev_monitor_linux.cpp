// The only file that talks to libudev.
#include <libudev.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>

#include "device/hidapi/hidapi_monitor.hpp"

namespace device {
namespace {

// udevd's control socket: where it is missing, nobody forwards the kernel's events on the
// "udev" group (minimal systems, containers), and the kernel's own events must do.
bool udevRunning() {
    return ::access("/run/udev/control", F_OK) == 0;
}

class UdevMonitor final : public DeviceMonitor {
public:
    UdevMonitor() {
        udev_ = udev_new();
        if (!udev_) return;
        // "udev" first: by the time udev announces a node, its rules (and with them the
        // user's access) have been applied. "kernel" only counts while no udevd runs.
        monitors_[Udev] = open("udev");
        monitors_[Kernel] = open("kernel");
    }
    ~UdevMonitor() override {
        for (auto& n : notifiers_) n.reset();
        for (udev_monitor* m : monitors_)
            if (m) udev_monitor_unref(m);
        if (udev_) udev_unref(udev_);
    }
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    bool ok() const { return monitors_[Udev] || monitors_[Kernel]; }

    void start(std::function<void()> changed) override {
        changed_ = std::move(changed);
        for (int which : {Udev, Kernel}) {
            udev_monitor* m = monitors_[which];
            if (!m) continue;
            notifiers_[which] =
                std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m), QSocketNotifier::Read);
            QObject::connect(notifiers_[which].get(), &QSocketNotifier::activated,
                             notifiers_[which].get(), [this, which, m] {
                                 // One look at the devices covers every event that is waiting.
                                 bool any = false;
                                 while (udev_device* d = udev_monitor_receive_device(m)) {
                                     udev_device_unref(d);
                                     any = true;
                                 }
                                 if (any && ueventCounts(which == Kernel, udevRunning)) changed_();
                             });
        }
    }

private:
    enum { Udev, Kernel };

    udev_monitor* open(const char* group) {
        udev_monitor* m = udev_monitor_new_from_netlink(udev_, group);
        if (m && udev_monitor_filter_add_match_subsystem_devtype(m, "hidraw", nullptr) >= 0 &&
            udev_monitor_enable_receiving(m) >= 0)
            return m;
        if (m) udev_monitor_unref(m);
        return nullptr;
    }

    udev* udev_ = nullptr;
    std::array<udev_monitor*, 2> monitors_{};
    std::array<std::unique_ptr<QSocketNotifier>, 2> notifiers_;
    std::function<void()> changed_;
};

}  // namespace

bool ueventCounts(bool fromKernel, const std::function<bool()>& udevRunning) {
    return !fromKernel || !udevRunning();
}

std::unique_ptr<DeviceMonitor> makeSystemMonitor() {
    auto monitor = std::make_unique<UdevMonitor>();
    if (monitor->ok()) return monitor;
    return makePollingMonitor(1000);
}

}  // namespace device
