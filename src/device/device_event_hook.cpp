#include "device/device_event_hook.hpp"

#include <array>

namespace device {
namespace {

QString hex4(int v) {
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

void showInitialStatus(StatusView& status) {
    status.setPanelText(0, status_text::neverConnected());
    status.setPanelText(1, QString());
    status.setPanelText(2, QStringLiteral("VID"));
    status.setPanelText(3, QStringLiteral("PID"));
}

DeviceEventHook::DeviceEventHook(HidLibrary& hid, Report& inReport, Measurements& latest,
                                 StatusView& status)
    : hid_(hid), in_(inReport), latest_(latest), status_(status) {}

DeviceEventHook::~DeviceEventHook() {
    QObject::disconnect(connection_);
}

void DeviceEventHook::attach() {
    QObject::disconnect(connection_);
    connection_ = QObject::connect(&hid_, &HidLibrary::DeviceNotifyMessage, &hid_,
                                   [this](int event, HidLibrary::Handle h) { handle(event, h); });
}

bool DeviceEventHook::isController(HidLibrary::Handle h) const {
    return hid_.GetVendorID(h) == ControllerVendorId && hid_.GetProductID(h) == ControllerProductId;
}

QString DeviceEventHook::productName(HidLibrary::Handle h) const {
    std::array<char, 256> name{};
    hid_.GetProductName(h, name.data(), static_cast<int>(name.size()));
    qsizetype len = 0;
    while (len < static_cast<qsizetype>(name.size()) && name[static_cast<size_t>(len)]) ++len;
    return QString::fromUtf8(name.data(), len);
}

void DeviceEventHook::showAccess(HidLibrary::Handle controller) {
    const int error = controller ? hid_.openError(controller) : 0;
    if (error) {
        status_.setPanelText(1, status_text::accessRefused(hid_.devicePath(controller)));
    } else if (refused_ && controller) {
        status_.setPanelText(1, productName(controller));
    }
    refused_ = error != 0;
}

bool DeviceEventHook::handle(int event, HidLibrary::Handle h) {
    switch (event) {
        case NotifyPlugged: {
            if (!isController(h)) break;
            status_.setPanelText(0, status_text::connected());
            status_.setPanelText(1, productName(h));
            status_.setPanelText(2, QStringLiteral("VID 0x") + hex4(ControllerVendorId));
            status_.setPanelText(3, QStringLiteral("PID 0x") + hex4(ControllerProductId));
            break;
        }
        case NotifyUnplugged:
            if (!isController(h)) break;
            status_.setPanelText(0, status_text::disconnected());
            status_.setPanelText(1, QString());
            status_.setPanelText(2, QStringLiteral("VID"));
            status_.setPanelText(3, QStringLiteral("PID"));
            latest_ = Measurements{};
            refused_ = false;
            break;
        case NotifyChanged: {
            // Switching reads on is what opens the controller: its outcome is known now.
            const HidLibrary::Handle controller =
                hid_.GetHandle(ControllerVendorId, ControllerProductId);
            hid_.SetReadNotify(controller, true);
            showAccess(controller);
            break;
        }
        case NotifyRead:
            if (!isController(h)) break;
            // A report proves the node open: a later attempt got through.
            if (refused_) showAccess(h);
            // A failed read leaves a stale buffer; routing it could replay an old press.
            if (!hid_.Read(h, in_)) break;
            switch (in_[1]) {
                case ReportParameters:
                    if (params_)
                        params_->showParameters(decodeParameterValues(readParameterBlock(in_)));
                    break;
                case ReportTelemetry:
                    latest_ = decodeTelemetry(in_);
                    break;
                case ReportButtonCode:
                    if (buttons_) buttons_->JoyCode(decodeButtonCode(in_));
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
    return false;
}

}  // namespace device
