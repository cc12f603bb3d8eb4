// Windows tells a window that asks when a HID interface comes or goes: the devices are
// listed again only then, not every second of the car's life. The window is a hidden
// message-only one of our own with its own procedure: WM_DEVICECHANGE is sent, not posted,
// so Qt's dispatcher never hands it to a native event filter for a window that is not
// Qt's, and drevonix-cli has no Qt window at all.
#include <QCoreApplication>
#include <QTimer>

#include <windows.h>

#include <dbt.h>

#include "device/hidapi/hidapi_monitor.hpp"

namespace device {
namespace {

// GUID_DEVINTERFACE_HID, written out so that no object has to define it.
constexpr GUID HidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr wchar_t WindowClass[] = L"DrevonixDeviceNotifications";

class NotificationMonitor final : public DeviceMonitor {
public:
    NotificationMonitor() {
        // One change often comes as several messages (a collection at a time): they are
        // answered by one listing, after the message has returned to Windows.
        coalesce_.setSingleShot(true);
        coalesce_.setInterval(0);
        QObject::connect(&coalesce_, &QTimer::timeout, &coalesce_, [this] {
            if (changed_) changed_();
        });
    }
    ~NotificationMonitor() override {
        if (notification_) UnregisterDeviceNotification(notification_);
        if (window_) DestroyWindow(window_);
    }
    NotificationMonitor(const NotificationMonitor&) = delete;
    NotificationMonitor& operator=(const NotificationMonitor&) = delete;

    // Why not, as GetLastError says; 0 when Windows will tell us.
    DWORD registerForHid() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &NotificationMonitor::procedure;
        wc.hInstance = instance;
        wc.lpszClassName = WindowClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return GetLastError();
        window_ = CreateWindowExW(0, WindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
        if (!window_) return GetLastError();
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = HidInterfaceClass;
        notification_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        return notification_ ? 0 : GetLastError();
    }

    void start(std::function<void()> changed) override { changed_ = std::move(changed); }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DEVICECHANGE &&
            (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && lParam &&
            reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype ==
                DBT_DEVTYP_DEVICEINTERFACE) {
            auto* self =
                reinterpret_cast<NotificationMonitor*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self) self->coalesce_.start();
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    HDEVNOTIFY notification_ = nullptr;
    std::function<void()> changed_;
    QTimer coalesce_;
};

}  // namespace

std::unique_ptr<DeviceMonitor> makeSystemMonitor() {
    auto monitor = std::make_unique<NotificationMonitor>();
    const DWORD error = monitor->registerForHid();
    if (error == 0) return monitor;
    // Without it a plug would never be seen: look every second instead, and say so once.
    static bool told = false;
    if (!told)
        qWarning(
            "%s: Windows gives no device notifications (error %lu); looking for the "
            "controller every second instead",
            qPrintable(QCoreApplication::applicationName()), error);
    told = true;
    return makePollingMonitor(1000);
}

}  // namespace device
