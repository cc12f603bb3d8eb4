#include "ui/tray_icon.hpp"

#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <cerrno>
#include <system_error>

namespace ui {

TrayIcon::TrayIcon(QMenu* menu, QObject* parent) : QObject(parent), tray_(this) {
    tray_.setToolTip(QStringLiteral("Drevonix"));
    // The tray shows the menu at the cursor itself, on every kind of tray host; with
    // StatusNotifierItem hosts that is the only way a menu appears at all.
    tray_.setContextMenu(menu);
    connect(&tray_, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
    poll_.setInterval(TrayPollMs);
    connect(&poll_, &QTimer::timeout, this, &TrayIcon::pollTray);
}

bool TrayIcon::trayAvailable() const {
    return probe_ ? probe_() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::Ic(int type, const QIcon& icon) {
    switch (type) {
        case IcAdd:
            tray_.setIcon(icon);
            added_ = true;
            if (trayAvailable())
                tray_.show();
            else
                poll_.start();
            break;
        case IcRemove:
            added_ = false;
            poll_.stop();
            tray_.hide();
            break;
        case IcModify:
            tray_.setIcon(icon);
            break;
        default:
            break;
    }
}

QString TrayIcon::openFailureMessage(const QString& path, int error) {
    QString why;
    switch (error) {
        case EACCES:
        case EPERM:
            why = tr("нет прав доступа");
            break;
        case EBUSY:
            why = tr("устройство занято");
            break;
        default:
            why = QString::fromStdString(std::generic_category().message(error));
            break;
    }
    return tr("Контроллер подключён (%1), но открыть его нельзя: %2. "
              "Смотрите раздел «Permissions» в README: правило udev "
              "60-drevonix.rules, затем переподключите контроллер.")
        .arg(path, why);
}

void TrayIcon::showOpenFailure(const QString& path, int error) {
    tray_.showMessage(QStringLiteral("Drevonix"), openFailureMessage(path, error),
                      QSystemTrayIcon::Warning);
}

void TrayIcon::pollTray() {
    if (!added_ || !trayAvailable()) return;
    poll_.stop();
    tray_.show();
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            sinceTrigger_.start();
            emit toggleRequested();
            break;
        case QSystemTrayIcon::DoubleClick:
            // Qt reports the first click of a double click as a click of its own (X11 on
            // the press, Windows on the release), and that has toggled already: a second
            // toggle would flash the window and leave it as it was.
            if (sinceTrigger_.isValid() &&
                sinceTrigger_.elapsed() <=
                    QGuiApplication::styleHints()->mouseDoubleClickInterval())
                break;
            emit toggleRequested();
            break;
        default:
            // Context: the tray opens the menu; the chosen item runs once it has closed.
            break;
    }
}

}  // namespace ui
