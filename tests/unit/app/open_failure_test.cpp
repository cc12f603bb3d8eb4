// A controller that is attached but may not be opened: what the user is told on stderr and
// by the command line tool, and in the tray icon's balloon.
#include <gtest/gtest.h>

#include <cerrno>

#include "device/open_failure.hpp"
#include "support/qt_print.hpp"
#include "ui/tray_icon.hpp"

namespace {

TEST(OpenFailure, SaysWhereWhyAndWhatToDo) {
    struct {
        const char* path;
        int error;
        const char* line;     // stderr of drevonix, and drevonix-cli's error
        const char* balloon;  // the tray icon's message
    } cases[] = {
        {"/dev/hidraw0", EACCES,
         "found the controller at /dev/hidraw0 but may not open it: Permission denied; see "
         "\"Permissions\" in the README (the udev rule 60-drevonix.rules, then plug the "
         "controller in again)",
         "Контроллер подключён (/dev/hidraw0), но открыть его нельзя: нет прав доступа. "
         "Смотрите раздел «Permissions» в README: правило udev 60-drevonix.rules, затем "
         "переподключите контроллер."},
        {"/dev/hidraw3", EBUSY,
         "found the controller at /dev/hidraw3 but may not open it: Device or resource busy; "
         "see \"Permissions\" in the README (the udev rule 60-drevonix.rules, then plug the "
         "controller in again)",
         "Контроллер подключён (/dev/hidraw3), но открыть его нельзя: устройство занято. "
         "Смотрите раздел «Permissions» в README: правило udev 60-drevonix.rules, затем "
         "переподключите контроллер."},
        {"/dev/hidraw1", ENOENT,
         "found the controller at /dev/hidraw1 but may not open it: No such file or directory; "
         "see \"Permissions\" in the README (the udev rule 60-drevonix.rules, then plug the "
         "controller in again)",
         "Контроллер подключён (/dev/hidraw1), но открыть его нельзя: No such file or "
         "directory. Смотрите раздел «Permissions» в README: правило udev 60-drevonix.rules, "
         "затем переподключите контроллер."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QString path = QString::fromLatin1(c.path);
        EXPECT_EQ(device::openFailureText(path, c.error), QString::fromUtf8(c.line));
        EXPECT_EQ(ui::TrayIcon::openFailureMessage(path, c.error), QString::fromUtf8(c.balloon));
    }
}

}  // namespace
