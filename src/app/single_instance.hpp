#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

namespace app {

// One program per user on a machine types the real controller: hidraw gives every reader
// every report, so two would each map every wheel button to a keystroke, and every key
// would arrive twice. A second start brings the running program's window up instead.
//
// The lock file decides who is first (a lock left by a crashed process is taken over, one
// whose process lives never is, however old); the local socket carries the second start's
// request to the first. The lock's name and folder follow from the user and the machine
// alone, never from the settings path or the environment: a typist started by a service,
// cron, su or ssh must find the lock of a window program started from the desktop, whatever
// HOME, XDG_CONFIG_HOME or XDG_RUNTIME_DIR say there. drevonix-cli keys, which types the
// wheel buttons without a window, takes the same lock as a typist: it has no window to
// bring up, and says so to a window program that asks. The demo types an emulator, not the
// controller: its lock is one per settings file, apart from the real one.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` names the lock file and the socket: controllerKey() or demoKey(). They go to a
    // folder of this user alone under `lockParent` (empty: the first of defaultLockParents()
    // where there is or can be one; on Linux drevonix-<uid>).
    explicit SingleInstance(const QString& key = controllerKey(),
                            const QString& lockParent = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role { First, Second, Typist, Failed };

    // First: the lock is ours, and we listen for later starts when we can. Second: another
    // process holds the lock and has brought its window up. Typist: the holder is a typist
    // without a window. Failed: none of these (a lock we cannot take, a holder that does not
    // answer); the caller should not run a second key mapper.
    Role claim();

    // For a typist: takes the lock or gives up at once, never asking the holder for its
    // window. Once it is ours, a window program that asks is told that a typist runs.
    bool claimAsTypist();

    // Who holds the lock, e.g. "drevonix (process 1234)"; empty when the lock file does
    // not say.
    QString holder() const;
    // The holder's process id; 0 when the lock file does not say.
    qint64 holderPid() const;

    // Why the last claim failed, when it was not simply that another program holds the lock
    // and answered: no folder for the lock, a lock file we cannot make, a holder that does
    // not answer. Empty otherwise.
    QString failure() const { return failure_; }

    // Where the lock's folder goes when a caller names none: on Linux the user's cache
    // folder in the home that the password database gives (not $HOME), then /tmp.
    static QStringList defaultLockParents();
    // The lock's folder under the first of `parents` that has one only this user owns and
    // may enter; empty when none has, and `why` says what was found instead.
    static QString lockFolderIn(const QStringList& parents, QString* why);

    // The name of the lock of the programs that type the real controller: the user's, and
    // the machine's where a home folder is shared between machines.
    static QString controllerKey();
    // The demo's: one per settings file.
    static QString demoKey(const QString& settingsPath);

    QString lockPath() const;
    QString serverName() const;

signals:
    // A later start asked for the window.
    void raiseRequested();

private:
    // Who runs us, as the system knows the user: the lock folder may be shared, and the
    // local socket's name space is the whole machine on Windows.
    static QByteArray userId();
    // What tells this machine from others sharing the home folder; empty when unknown.
    static QByteArray machineId();

    // The lock file, in our own folder; false when there is none.
    bool makeLock();
    // Takes the lock if it is free, then listens for later starts.
    bool tryTake();
    // Takes over a lock file that names no holder and that no running process holds.
    bool takeNamelessLock();
    bool listen();
    // Whether the holder answered; `reply` is what it said.
    bool askFirst(QByteArray* reply);
    // Keeps the system's clean-up of old files (systemd-tmpfiles) out of the lock's folder
    // while we hold the lock: a lock file never changes its time.
    void pinFolder();
    void unpinFolder();

    QString key_;
    QString dir_;
    QString noFolder_;  // why dir_ is empty
    QString failure_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    bool typist_ = false;
    int folderFd_ = -1;
};

}  // namespace app
