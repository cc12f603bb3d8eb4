#pragma once

#include <QCoreApplication>
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <cstdint>

#include "device/hid_library.hpp"

namespace device {

// The status bar as the device link sees it: five panels, of which it writes 0..3.
class StatusView {
public:
    virtual ~StatusView() = default;
    virtual void setPanelText(int panel, const QString& text) = 0;
};

// Receives a parameter block that the controller sent (shown in the parameter form).
class ParameterDisplay {
public:
    virtual ~ParameterDisplay() = default;
    virtual void showParameters(const ParameterValues& values) = 0;
};

// Receives each wheel-button code as it arrives (the key mapper's JoyCode).
class ButtonCodeSink {
public:
    virtual ~ButtonCodeSink() = default;
    virtual void JoyCode(const std::int32_t& code) = 0;
};

namespace status_text {
// The window installs a translation; everything else (the CLI, tests) sees these sources.
inline QString neverConnected() {
    return QCoreApplication::translate("StatusBar", "Устройство не подключалось");
}
inline QString connected() {
    return QCoreApplication::translate("StatusBar", "Устройство подключено");
}
inline QString disconnected() {
    return QCoreApplication::translate("StatusBar", "Устройство отключено");
}
// The product-name panel while the attached controller's node is closed to us. The node's
// own name: its whole path would not fit in the panel.
inline QString accessRefused(const QString& node) {
    return QCoreApplication::translate("StatusBar", "Нет доступа к %1")
        .arg(QFileInfo(node).fileName());
}
}  // namespace status_text

// Panel texts right after start-up: not connected yet, no product, "VID", "PID".
void showInitialStatus(StatusView& status);

// The single receiver of the library's notifications: keeps the status panels, enables
// read notifications, reads each report and routes it by type.
class DeviceEventHook {
public:
    DeviceEventHook(HidLibrary& hid, Report& inReport, Measurements& latest, StatusView& status);
    // The library may outlive the hook: no notification reaches a hook that is gone.
    ~DeviceEventHook();
    DeviceEventHook(const DeviceEventHook&) = delete;
    DeviceEventHook& operator=(const DeviceEventHook&) = delete;

    void setParameterDisplay(ParameterDisplay* display) { params_ = display; }
    void setButtonCodeSink(ButtonCodeSink* sink) { buttons_ = sink; }

    // Handles one notification. Returns whether it was consumed: never, so whatever else
    // listens to the library still sees every notification.
    bool handle(int event, HidLibrary::Handle handle);

    // Routes notifications of `hid` to this hook, on the UI thread, in order.
    void attach();

private:
    bool isController(HidLibrary::Handle h) const;
    QString productName(HidLibrary::Handle h) const;
    // The product-name panel says whether the controller may be opened, for as long as
    // it may not: "connected" alone would pass for working.
    void showAccess(HidLibrary::Handle controller);

    HidLibrary& hid_;
    Report& in_;
    Measurements& latest_;
    StatusView& status_;
    ParameterDisplay* params_ = nullptr;
    ButtonCodeSink* buttons_ = nullptr;
    bool refused_ = false;
    QMetaObject::Connection connection_;
};

}  // namespace device
