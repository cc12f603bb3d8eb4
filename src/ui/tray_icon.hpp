#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

class QMenu;

namespace ui {

// The program's notification-area icon: the application icon with the tooltip
// "Drevonix" and the popup menu; clicks on it arrive as activation reasons.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `menu` is shown at the cursor on a right click; it stays owned by the caller.
    explicit TrayIcon(QMenu* menu, QObject* parent = nullptr);

    enum IcType : int { IcAdd = 1, IcRemove = 2, IcModify = 3 };

    // Puts the icon into the notification area (1), takes it out (2), or gives it another
    // picture (3); any other type does nothing.
    void Ic(int type, const QIcon& icon);

    // Whether the icon is meant to be in the notification area.
    bool added() const { return added_; }
    // Whether the desktop has a notification area now. Replaceable for tests.
    bool trayAvailable() const;
    void setTrayProbe(std::function<bool()> probe) { probe_ = std::move(probe); }

    // While the icon is added but the desktop has no notification area, it is looked for
    // this often; once one comes up, the icon appears in it by itself.
    static constexpr int TrayPollMs = 2000;
    bool waitingForTray() const { return poll_.isActive(); }

    QSystemTrayIcon& systemTrayIcon() { return tray_; }

    // A balloon telling the user that the controller at `path` is attached but may not be
    // opened (`error` an errno value), and where to look.
    void showOpenFailure(const QString& path, int error);
    // What that balloon says.
    static QString openFailureMessage(const QString& path, int error);

signals:
    // Left click or double click on the icon: show the window if hidden, else hide it.
    // A double click toggles once, however the tray reports it.
    void toggleRequested();

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void pollTray();

    QSystemTrayIcon tray_;
    QTimer poll_;
    std::function<bool()> probe_;
    bool added_ = false;
    QElapsedTimer sinceTrigger_;
};

}  // namespace ui
