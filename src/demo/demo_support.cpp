#include "demo/demo_support.hpp"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include "demo/control_socket.hpp"
#include "demo/simulator_window.hpp"
#include "ui/tform1.hpp"

namespace demo {

DemoSupport::DemoSupport(emulator::ControllerEmulator& emulator,
                         std::function<QWidget*()> mainWindow, QObject* parent)
    : QObject(parent),
      mainWindow_(std::move(mainWindow)),
      simulator_(std::make_unique<SimulatorWindow>(emulator)) {
    // Once the loop runs: only then is this start known to be the one that stays. A second
    // start hands over to the first and ends before, and the socket it finds taken is the
    // first one's.
    QTimer::singleShot(0, this, [this, &emulator] { openSocket(emulator); });
    // The main window is made after us; look for it once the loop runs.
    QTimer::singleShot(0, this, &DemoSupport::watchMainWindow);
}

void DemoSupport::openSocket(emulator::ControllerEmulator& emulator) {
    const QString path = qEnvironmentVariable(ControlSocket::EnvironmentVariable);
    if (path.isEmpty()) return;
    socket_ = std::make_unique<ControlSocket>(emulator, mainWindow_);
    socket_->setKeyMapperSource([this]() -> const keymap::KeyMapper* {
        auto* form = qobject_cast<ui::TForm1*>(mainWindow_());
        return form ? &form->keyMapper() : nullptr;
    });
    if (!socket_->listen(path)) {
        qWarning("drevonix-demo: no control socket at %s: %s", qPrintable(path),
                 qPrintable(socket_->errorString()));
        socket_.reset();
    }
}

DemoSupport::~DemoSupport() {
    if (watched_) watched_->removeEventFilter(this);
}

void DemoSupport::watchMainWindow() {
    QWidget* main = mainWindow_();
    if (!main) {
        // Some start-up box may still hold the loop; keep looking for a while.
        if (++attempts_ < 600) QTimer::singleShot(100, this, &DemoSupport::watchMainWindow);
        return;
    }
    watched_ = main;
    main->installEventFilter(this);
    if (main->isVisible()) follow();
}

bool DemoSupport::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watched_ && event->type() == QEvent::Show)
        QTimer::singleShot(FollowDelayMs, this, &DemoSupport::follow);
    return QObject::eventFilter(watched, event);
}

void DemoSupport::follow() {
    if (!watched_ || !watched_->isVisible() || simulator_->isVisible()) return;
    simulator_->placeBeside(*watched_);
    simulator_->show();
    // Once framed, its real size is known: stand it beside the main window again.
    QTimer::singleShot(FollowDelayMs, this, [this] {
        if (watched_ && simulator_->isVisible()) simulator_->placeBeside(*watched_);
    });
}

}  // namespace demo
