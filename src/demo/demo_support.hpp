#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "emulator/controller_emulator.hpp"

class QWidget;

namespace demo {

class ControlSocket;
class SimulatorWindow;

// What the demo adds to the program: the simulator window, which comes up beside the main
// window whenever that is shown, and the control socket when DREVONIX_SIM_SOCKET names a
// path. Made before the main window; `mainWindow` finds it once it exists.
class DemoSupport : public QObject {
    Q_OBJECT
public:
    // How long after the main window is shown the simulator follows: by then the window
    // manager has framed the main window, so its frame can be stood beside.
    static constexpr int FollowDelayMs = 100;

    DemoSupport(emulator::ControllerEmulator& emulator, std::function<QWidget*()> mainWindow,
                QObject* parent = nullptr);
    ~DemoSupport() override;

    SimulatorWindow& simulator() { return *simulator_; }
    // Null without the environment variable, or when the socket could not be made (the
    // reason has been written to the standard error), or before the event loop has run.
    ControlSocket* socket() { return socket_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openSocket(emulator::ControllerEmulator& emulator);
    void watchMainWindow();
    void follow();

    std::function<QWidget*()> mainWindow_;
    std::unique_ptr<SimulatorWindow> simulator_;
    std::unique_ptr<ControlSocket> socket_;
    QPointer<QWidget> watched_;
    int attempts_ = 0;
};

}  // namespace demo
