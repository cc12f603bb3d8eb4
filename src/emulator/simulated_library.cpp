#include "emulator/simulated_library.hpp"

#include <algorithm>
#include <cstring>

namespace emulator {

using namespace device;

SimulatedLibrary::SimulatedLibrary(ControllerEmulator& emulator, QObject* parent)
    : HidLibrary(parent), emulator_(emulator) {
    if (emulator_.isPlugged())
        controller_ =
            add(ControllerVendorId, ControllerProductId, ControllerEmulator::productName());
    if (emulator_.isOtherPlugged())
        other_ = add(ControllerEmulator::OtherVendorId, ControllerEmulator::OtherProductId,
                     ControllerEmulator::otherProductName());

    connect(&emulator_, &ControllerEmulator::pluggedChanged, this, [this](bool plugged) {
        if (plugged) {
            controller_ =
                add(ControllerVendorId, ControllerProductId, ControllerEmulator::productName());
        } else {
            remove(controller_);
            controller_ = 0;
        }
    });
    connect(&emulator_, &ControllerEmulator::otherPluggedChanged, this, [this](bool plugged) {
        if (plugged) {
            other_ = add(ControllerEmulator::OtherVendorId, ControllerEmulator::OtherProductId,
                         ControllerEmulator::otherProductName());
        } else {
            remove(other_);
            other_ = 0;
        }
    });
    connect(&emulator_, &ControllerEmulator::inputReport, this, &SimulatedLibrary::onInputReport);
}

SimulatedLibrary::Handle SimulatedLibrary::add(int vendorId, int productId, const char* name) {
    const Handle h = nextHandle_++;
    Device& d = devices_[h];
    d.vendorId = vendorId;
    d.productId = productId;
    d.name = QByteArray(name);
    post(NotifyPlugged, h);
    post(NotifyChanged, h);
    return h;
}

void SimulatedLibrary::remove(Handle handle) {
    auto it = devices_.find(handle);
    if (it == devices_.end() || !it->second.attached) return;
    it->second.attached = false;
    it->second.readNotify = false;
    it->second.queue.clear();
    post(NotifyUnplugged, handle);
    post(NotifyChanged, handle);

    // Forget the oldest removed devices; their notifications have long been delivered.
    std::size_t removed = static_cast<std::size_t>(std::count_if(
        devices_.begin(), devices_.end(), [](const auto& e) { return !e.second.attached; }));
    for (auto i = devices_.begin(); removed > MaxRemovedDevices && i != devices_.end();) {
        if (!i->second.attached) {
            i = devices_.erase(i);
            --removed;
        } else {
            ++i;
        }
    }
}

void SimulatedLibrary::post(int event, Handle handle) {
    // Before Connect nobody listens; Connect announces what is attached then.
    if (!connected_) return;
    QMetaObject::invokeMethod(
        this, [this, event, handle] { emit DeviceNotifyMessage(event, handle); },
        Qt::QueuedConnection);
}

SimulatedLibrary::Device* SimulatedLibrary::attached(Handle handle) {
    auto it = devices_.find(handle);
    return it != devices_.end() && it->second.attached ? &it->second : nullptr;
}

bool SimulatedLibrary::Connect() {
    if (connected_) return true;
    connected_ = true;
    for (const auto& [h, d] : devices_) {
        if (!d.attached) continue;
        post(NotifyPlugged, h);
        post(NotifyChanged, h);
    }
    return true;
}

SimulatedLibrary::Handle SimulatedLibrary::GetHandle(int vendorId, int productId) {
    for (const auto& [h, d] : devices_)
        if (d.attached && d.vendorId == vendorId && d.productId == productId) return h;
    return 0;
}

int SimulatedLibrary::GetVendorID(Handle handle) {
    auto it = devices_.find(handle);
    return it == devices_.end() ? 0 : it->second.vendorId;
}

int SimulatedLibrary::GetProductID(Handle handle) {
    auto it = devices_.find(handle);
    return it == devices_.end() ? 0 : it->second.productId;
}

void SimulatedLibrary::GetProductName(Handle handle, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    auto it = devices_.find(handle);
    const QByteArray name = it == devices_.end() ? QByteArray() : it->second.name;
    const auto n = std::min<qsizetype>(name.size(), size - 1);
    std::memcpy(buffer, name.constData(), static_cast<std::size_t>(n));
    buffer[n] = '\0';
}

bool SimulatedLibrary::SetReadNotify(Handle handle, bool enabled) {
    Device* d = attached(handle);
    if (!d) return false;
    d->readNotify = enabled;
    if (!enabled) d->queue.clear();
    return true;
}

bool SimulatedLibrary::Read(Handle handle, Report& report) {
    Device* d = attached(handle);
    if (!d || d->queue.empty()) return false;
    report = d->queue.front();
    d->queue.pop_front();
    return true;
}

bool SimulatedLibrary::Write(Handle handle, const Report& report) {
    // Only the controller takes reports; the other device stands for one we never talk to.
    if (handle == 0 || handle != controller_ || !attached(handle)) return false;
    emulator_.receive(report);
    return true;
}

std::size_t SimulatedLibrary::queuedReports() const {
    auto it = devices_.find(controller_);
    return it == devices_.end() ? 0 : it->second.queue.size();
}

void SimulatedLibrary::onInputReport(const Report& report) {
    Device* d = attached(controller_);
    // Like an unopened device: reports that nobody asked to hear about are not kept.
    if (!d || !d->readNotify) return;
    if (d->queue.size() >= MaxQueuedReports) {
        ++dropped_;
        return;
    }
    d->queue.push_back(report);
    post(NotifyRead, controller_);
}

}  // namespace emulator
