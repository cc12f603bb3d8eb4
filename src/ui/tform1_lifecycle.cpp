// Start-up and shutdown of the main window, and the tray icon with its menu.
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>

#include "settings/ini_file.hpp"
#include "settings/settings_binding.hpp"
#include "settings/settings_path.hpp"
#include "ui/greeting.hpp"
#include "ui/key_table_page.hpp"
#include "ui/lifecycle.hpp"
#include "ui/status_panels.hpp"
#include "ui/tform1.hpp"
#include "ui/tray_icon.hpp"

namespace ui {
namespace {

// The window's left and top edge as the settings file stores them: the frame's corner.
class FormPosition final : public settings::WindowPositionView {
public:
    explicit FormPosition(QWidget& window) : window_(window) {}
    int left() const override { return window_.x(); }
    int top() const override { return window_.y(); }
    void setLeft(int left) override { window_.move(left, window_.y()); }
    void setTop(int top) override { window_.move(window_.x(), top); }

private:
    QWidget& window_;
};

}  // namespace

void TForm1::trace(const char* step) const {
    if (options_.trace) options_.trace(step);
}

void TForm1::greet() const {
    if (options_.greet) return options_.greet();
    // Nobody can see or close a box on the offscreen platform (headless runs and tests);
    // it would hold the start for ever.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    showGreeting();
}

void TForm1::FormCreate() {
    trace("LatestMeasurements");
    LatestMeasurements = device::Measurements{};
    trace("DeviceEventHook");
    hook_->attach();
    trace("Connect");
    hid_.Connect();
    trace("status");
    device::showInitialStatus(*status_);

    trace("load");
    const QString path = options_.settingsPath.isEmpty()
                             ? settings::settingsPathFor(QCoreApplication::applicationDirPath())
                             : options_.settingsPath;
    ini_ = std::make_unique<settings::IniFile>(path);
    FormPosition position(*this);
    settings::load(*ini_, *keyTable_, position, keyMapper().systemSettings());

    trace("Ic(1)");
    tray_ = std::make_unique<TrayIcon>(PopupMenu1);
    if (options_.trayProbe) tray_->setTrayProbe(options_.trayProbe);
    connect(tray_.get(), &TrayIcon::toggleRequested, this, &TForm1::WMTrayIcon);
    Ic(TrayIcon::IcAdd, windowIcon());

    trace("showAtStart");
    // Without a notification area a hidden window could never be reached.
    showAtStart_ = !tray_->trayAvailable();

    trace("greeting");
    const QDate today = options_.today ? options_.today() : QDate::currentDate();
    if (isGreetingDay(today)) greet();
}

void TForm1::Ic(int type, const QIcon& icon) {
    tray_->Ic(type, icon);
}

void TForm1::FormClose() {
    trace("Ic(2)");
    Ic(TrayIcon::IcRemove, windowIcon());
    if (!savedForClose_ && !endWithoutSaving_) endingSave();
}

void TForm1::endingSave() {
    // The session's end asks nobody: its error goes where the session path sends it.
    if (sessionEnding_) return Save_all();
    try {
        Save_all();
    } catch (const settings::WriteError& e) {
        // Queued: the close that failed must be over before the next one starts.
        throw EndingSaveFailed(e.what(), [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    endWithoutSaving_ = true;
                    close();
                },
                Qt::QueuedConnection);
        });
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Refused unless FormClose gets through: after a failed save the program runs on.
    event->ignore();
    FormClose();
    event->accept();
    ended_ = true;
    // The main window's close ends the program, whatever other windows are still open.
    QCoreApplication::quit();
}

void TForm1::Save_all() {
    trace("Save_all");
    const FormPosition position(*this);
    settings::Save_all(*ini_, *keyTable_, position, keyMapper().systemSettings());
}

void TForm1::bringToFront() {
    // "Развернуть" also brings back a window that was minimised before it was hidden.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TForm1::WMTrayIcon() {
    if (isVisible())
        hide();
    else
        bringToFront();
}

void TForm1::N1Click() {
    // A window minimised to the taskbar is shown, yet not in sight: "Развернуть" is the one
    // way back that every tray offers, so it restores that one too.
    if (!isVisible() || isMinimized()) bringToFront();
}

void TForm1::N2Click() {
    hide();
}

void TForm1::N4Click() {
    // A failed save ends here, before the close: the icon and the window stay.
    endingSave();
    // Once is enough: a second save of the same table could only fail or move things.
    savedForClose_ = true;
    close();
    savedForClose_ = false;
}

void TForm1::WMEndSessionQuery() {
    // The session may end: nothing is asked, and nothing is sent to the controller.
    sessionEnding_ = true;
    close();
    sessionEnding_ = false;
}

void TForm1::setUpLifecycle() {
    // Queued, so that an item's action runs once the menu has closed.
    connect(N1, &QAction::triggered, this, &TForm1::N1Click, Qt::QueuedConnection);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click, Qt::QueuedConnection);
    connect(N4, &QAction::triggered, this, &TForm1::N4Click, Qt::QueuedConnection);
}

}  // namespace ui
