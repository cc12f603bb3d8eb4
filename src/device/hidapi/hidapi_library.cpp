#include "device/hidapi/hidapi_library.hpp"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace device {

HidapiLibrary::HidapiLibrary(QObject* parent)
    : HidapiLibrary(makeHidapiBackend(), makeSystemMonitor(), HidapiOptions{}, parent) {}

HidapiLibrary::HidapiLibrary(std::unique_ptr<HidBackend> backend,
                             std::unique_ptr<DeviceMonitor> monitor, HidapiOptions options,
                             QObject* parent)
    : HidLibrary(parent),
      backend_(std::move(backend)),
      monitor_(std::move(monitor)),
      options_(options) {}

HidapiLibrary::~HidapiLibrary() {
    monitor_.reset();
    for (auto& [handle, device] : devices_) detach(device);
    devices_.clear();
    backend_.reset();
}

bool HidapiLibrary::Connect() {
    if (connected_) return true;
    connected_ = true;
    // Watch first, list second: a device that comes in between is then seen twice, at
    // worst, and the second look finds nothing new.
    if (monitor_) monitor_->start([this] { rescan(); });
    std::set<std::string> seen;
    for (const HidDeviceInfo& info : backend_->enumerate()) {
        if (info.path.empty() || !seen.insert(info.path).second) continue;
        atConnect_.push_back(addDevice(info));
    }
    const auto announce = [this] { announceAttached(); };
    QMetaObject::invokeMethod(this, announce, Qt::QueuedConnection);
    return true;
}

void HidapiLibrary::announceAttached() {
    if (announced_) return;
    announced_ = true;
    std::vector<std::pair<int, Handle>> events;
    for (Handle h : atConnect_) events.emplace_back(NotifyPlugged, h);
    atConnect_.clear();
    if (events.empty()) {
        // The program enables its reads on this event, so it comes even with nothing there.
        emit DeviceNotifyMessage(NotifyChanged, 0);
        return;
    }
    emitAll(events);
}

void HidapiLibrary::rescan() {
    if (!connected_) return;
    // What Connect found is announced before any change to it.
    announceAttached();

    const std::vector<HidDeviceInfo> listed = backend_->enumerate();
    auto same = [](const HidDeviceInfo& a, const HidDeviceInfo& b) {
        // A path can be reused by the next device that comes; the IDs tell them apart.
        return a.path == b.path && a.vendorId == b.vendorId && a.productId == b.productId;
    };

    std::vector<std::pair<int, Handle>> events;
    for (auto& [handle, device] : devices_) {
        if (!device.attached) continue;
        const bool present = std::any_of(listed.begin(), listed.end(),
                                         [&](const auto& info) { return same(info, device.info); });
        if (present) continue;
        detach(device);
        removed_.push_back(handle);
        events.emplace_back(NotifyUnplugged, handle);
    }
    std::set<std::string> seen;
    for (const HidDeviceInfo& info : listed) {
        if (info.path.empty() || !seen.insert(info.path).second) continue;
        const bool known = std::any_of(devices_.begin(), devices_.end(), [&](const auto& entry) {
            return entry.second.attached && same(entry.second.info, info);
        });
        if (!known) events.emplace_back(NotifyPlugged, addDevice(info));
    }

    emitAll(events);

    while (removed_.size() > options_.removedKept) {
        devices_.erase(removed_.front());
        removed_.pop_front();
    }
}

void HidapiLibrary::emitAll(const std::vector<std::pair<int, Handle>>& events) {
    // The state is complete before the first event, so receivers may call back freely.
    for (const auto& [event, handle] : events) {
        emit DeviceNotifyMessage(event, handle);
        emit DeviceNotifyMessage(NotifyChanged, handle);
    }
}

HidapiLibrary::Handle HidapiLibrary::addDevice(const HidDeviceInfo& info) {
    Handle handle;
    do {
        handle = nextHandle_++;
    } while (handle == 0 || devices_.count(handle) != 0);
    devices_[handle].info = info;
    return handle;
}

void HidapiLibrary::detach(Device& device) {
    stopReader(device);
    device.connection.reset();
    device.accessWatch.reset();
    device.attached = false;
}

HidapiLibrary::Device* HidapiLibrary::attachedDevice(Handle handle) {
    auto it = devices_.find(handle);
    return it != devices_.end() && it->second.attached ? &it->second : nullptr;
}

const HidapiLibrary::Device* HidapiLibrary::knownDevice(Handle handle) const {
    auto it = devices_.find(handle);
    return it != devices_.end() ? &it->second : nullptr;
}

HidapiLibrary::Handle HidapiLibrary::GetHandle(int vendorId, int productId) {
    for (const auto& [handle, device] : devices_) {
        if (device.attached && device.info.vendorId == vendorId &&
            device.info.productId == productId)
            return handle;
    }
    return 0;
}

int HidapiLibrary::GetVendorID(Handle handle) {
    const Device* device = knownDevice(handle);
    return device ? device->info.vendorId : 0;
}

int HidapiLibrary::GetProductID(Handle handle) {
    const Device* device = knownDevice(handle);
    return device ? device->info.productId : 0;
}

void HidapiLibrary::GetProductName(Handle handle, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    const Device* device = knownDevice(handle);
    const QByteArray name = device ? device->info.productName.toUtf8() : QByteArray();
    qsizetype n = std::min<qsizetype>(name.size(), size - 1);
    // Never cut a character in half.
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, name.constData(), static_cast<std::size_t>(n));
    buffer[n] = '\0';
}

bool HidapiLibrary::ensureOpen(Handle handle, Device& device) {
    if (device.connection) return true;
    device.connection = backend_->open(device.info.path, device.openError);
    if (device.connection) {
        device.openError = 0;
        if (device.accessWatch) {
            // Let in at last, perhaps by a write: reads are switched on only on NotifyChanged.
            device.accessWatch.reset();
            mayOpenNow(handle);
        }
        return true;
    }
    // A device that went away between the listing and the open is an unplug on its way,
    // nothing to explain.
    const int error = device.openError;
    if (error == ENOENT || error == ENODEV || error == ENXIO) {
        device.openError = 0;
        return false;
    }
    // Access often comes later than the device (the user's login, a new rule applied):
    // from then on the program is told to try again, without a new plug. Watched, not
    // polled, and only while refused.
    if (!device.accessWatch)
        device.accessWatch =
            backend_->watchAccess(device.info.path, [this, handle] { mayOpenNow(handle); });
    // The program tries again at every request; the user is told once.
    if (!device.openFailureAnnounced) {
        device.openFailureAnnounced = true;
        emit openFailed(handle);
    }
    return false;
}

QString HidapiLibrary::devicePath(Handle handle) {
    const Device* device = knownDevice(handle);
    return device ? QString::fromStdString(device->info.path) : QString();
}

int HidapiLibrary::openError(Handle handle) {
    const Device* device = knownDevice(handle);
    return device ? device->openError : 0;
}

bool HidapiLibrary::SetReadNotify(Handle handle, bool enabled) {
    Device* device = attachedDevice(handle);
    if (!device) return false;
    if (!enabled) {
        stopReader(*device);
        return true;
    }
    if (device->reader) return true;
    return ensureOpen(handle, *device) && startReader(handle, *device);
}

bool HidapiLibrary::startReader(Handle handle, Device& device) {
    device.reader = startReportReader(
        device.connection, {[this, handle](const Report& report) { reportArrived(handle, report); },
                            [this, handle](int error) { readFailed(handle, error); }});
    return device.reader != nullptr;
}

void HidapiLibrary::stopReader(Device& device) {
    device.reader.reset();
    device.pending.clear();
}

void HidapiLibrary::reportArrived(Handle handle, const Report& report) {
    Device* device = attachedDevice(handle);
    if (!device || device->pending.size() >= options_.queueCapacity) return;
    device->pending.push_back(report);
    emit DeviceNotifyMessage(NotifyRead, handle);
}

void HidapiLibrary::readFailed(Handle handle, int error) {
    Device* device = attachedDevice(handle);
    if (!device) return;
    // Closing it lets the next use open it afresh.
    stopReader(*device);
    device->connection.reset();
    rescan();
    if (!attachedDevice(handle)) return;
    // Still listed. A node that has gone is announced by the monitor as soon as the system
    // drops it from the list: nothing to wait for here.
    if (error == EIO || error == ENODEV || error == ENXIO) return;
    // A passing fault: reads are switched on only on NotifyChanged, so without a new one the
    // wheel buttons would stay silent until the controller is re-plugged. The pause keeps a
    // device whose reads always fail from spinning.
    QTimer::singleShot(options_.readRetryMs, this, [this, handle] {
        const Device* still = attachedDevice(handle);
        if (still && !still->reader) emit DeviceNotifyMessage(NotifyChanged, handle);
    });
}

void HidapiLibrary::mayOpenNow(Handle handle) {
    // From the event loop: never inside the caller's own Write, nor inside the watch.
    QMetaObject::invokeMethod(
        this,
        [this, handle] {
            const Device* device = attachedDevice(handle);
            if (device && !device->reader) emit DeviceNotifyMessage(NotifyChanged, handle);
        },
        Qt::QueuedConnection);
}

bool HidapiLibrary::Read(Handle handle, Report& report) {
    Device* device = attachedDevice(handle);
    if (!device || device->pending.empty()) return false;
    report = device->pending.front();
    device->pending.pop_front();
    return true;
}

bool HidapiLibrary::Write(Handle handle, const Report& report) {
    Device* device = attachedDevice(handle);
    if (!device || !ensureOpen(handle, *device)) return false;
    // Always the full 65 bytes with report number 0: some systems refuse any other length.
    Report out = report;
    out[0] = 0;
    return device->connection->write(out.data(), out.size()) >= static_cast<int>(out.size());
}

}  // namespace device
