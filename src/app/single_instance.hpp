#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

namespace app {

// One running program per user and settings file. Two would each map every wheel button
// to a keystroke, so every key would arrive twice; a second start brings the running
// program's window up instead.
//
// The lock file decides who is first (a lock left by a crashed process is taken over, one
// whose process lives never is, however old); the local socket carries the second start's
// request to the first. Where they live follows from the user alone, never from the
// environment: a typist started by a service, cron, su or ssh must find the lock of a
// window program started from the desktop. drevonix-cli keys,
// which types the wheel buttons without a window, takes the same lock as a typist: it has
// no window to bring up, and says so to a window program that asks.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `settingsPath` is the full path of the settings file. The lock and the socket go to
    // a folder of this user alone under `lockParent` (empty: the first of
    // defaultLockParents() where there is or can be one; on Linux drevonix-<uid>).
    explicit SingleInstance(const QString& settingsPath, const QString& lockParent = QString(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role { First, Second, Typist, Failed };

    // First: the lock is ours, and we listen for later starts when we can. Second: another
    // process holds the lock and has been asked to show its window. Typist: the holder is
    // a typist without a window. Failed: none of these (a lock we cannot take and no one
    // answering); the caller should not run a second key mapper.
    Role claim();

    // For a typist: takes the lock or gives up at once, never asking the holder for its
    // window. Once it is ours, a window program that asks is told that a typist runs.
    bool claimAsTypist();

    // Who holds the lock, e.g. "drevonix (process 1234)"; empty when the lock file does
    // not say.
    QString holder() const;

    // Why the last claim failed, when it was not simply that another program holds the lock
    // and answered: no folder for the lock, a lock file we cannot make, a holder that does
    // not answer. Empty otherwise.
    QString failure() const { return failure_; }

    // Where the lock goes when a caller names nothing: on Linux /tmp, then the user's cache
    // folder in the home that the password database gives (not $HOME).
    static QStringList defaultLockParents();
    // The lock's folder under the first of `parents` that has one only this user owns and
    // may enter; empty when none has, and `why` says what was found instead.
    static QString lockFolderIn(const QStringList& parents, QString* why);

    // The name shared by the lock file and the socket, from the user and the settings path.
    static QString keyFor(const QString& settingsPath);

    QString lockPath() const;
    QString serverName() const;

signals:
    // A later start asked for the window.
    void raiseRequested();

private:
    // Who runs us, as the system knows the user: the lock folder may be shared, and the
    // local socket's name space is the whole machine on Windows.
    static QByteArray userId();

    // The lock file, in our own folder; false when there is none.
    bool makeLock();
    // Takes the lock if it is free, then listens for later starts.
    bool tryTake();
    // Takes over a lock file that names no holder and that no running process holds.
    bool takeNamelessLock();
    bool listen();
    // Whether the holder answered; `reply` is what it said.
    bool askFirst(QByteArray* reply);

    QString key_;
    QString dir_;
    QString noFolder_;  // why dir_ is empty
    QString failure_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    bool typist_ = false;
};

}  // namespace app
