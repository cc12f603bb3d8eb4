// Which of Windows' device messages make the library list the devices again.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include "device/hidapi/hidapi_monitor.hpp"
#include "support/event_loop.hpp"

TEST(WindowsDeviceNotifications, OnlyInterfaceArrivalsAndRemovalsCountOncePerBatch) {
    const auto window = [] {
        return FindWindowExW(HWND_MESSAGE, nullptr, L"DrevonixDeviceNotifications", nullptr);
    };
    auto monitor = device::makeSystemMonitor();
    int listings = 0;
    monitor->start([&] { ++listings; });
    ASSERT_NE(window(), nullptr) << "registration failed: the monitor polls";
    struct {
        WPARAM event;
        DWORD type;
        int messages, listings;
    } cases[] = {{DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, 1, 1},
                 {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, 3, 1},  // a collection each
                 {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, 1, 0},
                 {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, 1, 0}};
    for (const auto& c : cases) {
        listings = 0;
        DEV_BROADCAST_HDR header{sizeof header, c.type, 0};
        for (int i = 0; i < c.messages; ++i)
            SendMessageW(window(), WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(&header));
        EXPECT_EQ(listings, 0) << "listed inside Windows' message";
        QCoreApplication::processEvents();
        EXPECT_EQ(listings, c.listings) << c.event << " " << c.type << " x" << c.messages;
    }
    monitor.reset();
    EXPECT_EQ(window(), nullptr);
}
