#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "device/device_event_hook.hpp"
#include "device/hid_library.hpp"
#include "device/reports.hpp"
#include "keymap/clock.hpp"
#include "keymap/key_emitter.hpp"
#include "keymap/key_mapper.hpp"
#include "settings/ini_file.hpp"
#include "ui/lifecycle.hpp"

class QMenu;
class QAction;
class QTimer;

namespace Ui {
class TForm1;
}

namespace ui {

class StatusPanels;
class TrayIcon;
class KeyTablePage;
class ParameterPage;
class TelemetryPage;
class WindowActivationHook;

// The program's one window. Its controls hold the program's editable state; the pages'
// logic lives in the core modules and reaches the controls through narrow views.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Client area; the frame comes on top of it.
    static constexpr int ClientWidth = 489;
    static constexpr int ClientHeight = 460;

    // Sets Form1, builds the controls from the form, starts both timers and runs FormCreate.
    // Wheel-button keystrokes go to `emitter`; without one they go nowhere.
    explicit TForm1(device::HidLibrary& hid, keymap::KeyEmitter* emitter = nullptr,
                    LifecycleOptions options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The command buffer and the last telemetry, shared by every page.
    device::Report OutReport{};
    device::Measurements LatestMeasurements{};

    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    // Shown only from the tray icon: N1 "Развернуть", N2 "Свернуть", N3, N4 "Выход".
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N4 = nullptr;

    StatusPanels& statusView() { return *status_; }
    keymap::KeyMapper& keyMapper() { return *keyMapper_; }
    // Made by FormCreate; null before.
    TrayIcon* trayIcon() { return tray_.get(); }

    // The user selected another tab (not called for the program's own changes).
    void TabControl1Change(int index);
    void Timer1Timer();
    void Timer2Timer();

    // Start-up and shutdown, the tray icon and its menu (tform1_lifecycle.cpp).
    void FormClose();
    void Save_all();
    void Ic(int type, const QIcon& icon);
    void WMTrayIcon();
    void WMEndSessionQuery();
    void N1Click();
    void N2Click();
    void N4Click();
    // Shows the window in front, also when it was minimised (the tray's and a second
    // start's way of bringing it up).
    void bringToFront();
    // Whether the message loop shows the window at start: not when it lives in the tray.
    bool showAtStart() const { return showAtStart_; }
    // Whether the window has been closed for good (FormClose got through), possibly from
    // the tray while the greeting still held the start.
    bool ended() const { return ended_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void trace(const char* step) const;
    void greet() const;
    void setUpLifecycle();
    // The save of the program's end; a failure the user may answer by ending anyway
    // leaves as EndingSaveFailed.
    void endingSave();
    void usePixelFontSizes();
    void narrowFontToLayout();
    void setUpTabs();
    void setUpPopupMenu();

    device::HidLibrary& hid_;
    const LifecycleOptions options_;
    device::Report InReport{};
    QAction* N3 = nullptr;
    // Widgets, actions and timers are the window's Qt children. The pages and hooks below
    // are owned here and go in reverse order, each before what it refers to.
    std::unique_ptr<Ui::TForm1> ui_;
    StatusPanels* status_ = nullptr;
    keymap::NullEmitter noKeystrokes_;
    keymap::SteadyClock clock_;
    std::unique_ptr<device::DeviceEventHook> hook_;
    std::unique_ptr<ParameterPage> parameters_;
    std::unique_ptr<TelemetryPage> telemetry_;
    std::unique_ptr<KeyTablePage> keyTable_;
    std::unique_ptr<keymap::KeyMapper> keyMapper_;
    std::unique_ptr<WindowActivationHook> activation_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<settings::IniFile> ini_;
    bool showAtStart_ = true;
    bool ended_ = false;
    bool savedForClose_ = false;     // "Выход" saved just before its close
    bool sessionEnding_ = false;     // the close comes from the end of the session
    bool endWithoutSaving_ = false;  // the user chose to end after a failed save
};

// The program-wide reference to the main window; set before its controls are built.
extern TForm1* Form1;

// Fonts of the original Windows layout and what stands in for them elsewhere. Installed
// once, before the first window is built; the program never ships fonts of its own.
void installFontFallbacks();

}  // namespace ui
