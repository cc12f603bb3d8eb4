#include "app/single_instance.hpp"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace app {
namespace {

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
// A typist's answer to it: there is no window to raise.
const QByteArray TypistAnswer = QByteArrayLiteral("typist\n");

}  // namespace

SingleInstance::SingleInstance(const QString& settingsPath, const QString& lockParent,
                               QObject* parent)
    : QObject(parent), key_(keyFor(settingsPath)) {
    dir_ = lockFolderIn(lockParent.isEmpty() ? defaultLockParents() : QStringList{lockParent},
                        &noFolder_);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString& settingsPath) {
    // The same file reached through another spelling of its path is the same file.
    QString canonical = QFileInfo(settingsPath).absoluteFilePath();
    const QFileInfo dirInfo(QFileInfo(canonical).absolutePath());
    if (dirInfo.exists())
        canonical = QDir(dirInfo.canonicalFilePath()).filePath(QFileInfo(canonical).fileName());
    QByteArray seed = userId();
    seed += '\n';
    seed += canonical.toUtf8();
    const QByteArray hash = QCryptographicHash::hash(seed, QCryptographicHash::Sha256).toHex();
    // Socket paths are short on Unix (108 bytes); 16 hex digits are plenty here.
    return QStringLiteral("drevonix-") + QString::fromLatin1(hash.left(16));
}

QString SingleInstance::lockPath() const {
    return QDir(dir_).filePath(key_ + QStringLiteral(".lock"));
}

QString SingleInstance::serverName() const {
    return QDir(dir_).filePath(key_ + QStringLiteral(".sock"));
}

bool SingleInstance::makeLock() {
    // Without a folder of our own, a lock elsewhere could be blocked or answered by others.
    if (dir_.isEmpty()) {
        failure_ = QStringLiteral(
                       "no folder of this user's own for the single-instance lock (%1); "
                       "not starting, since another copy could not be told apart")
                       .arg(noFolder_);
        return false;
    }
    lock_ = std::make_unique<QLockFile>(lockPath());
    // Held for the whole run: never stale by age, only when its process is gone.
    lock_->setStaleLockTime(0);
    return true;
}

bool SingleInstance::takeNamelessLock() {
    // A process ended between making the lock file and writing its name into it (a SIGTERM
    // as a service is stopped during its start) leaves a file Qt never takes for stale:
    // nothing would start again until it is removed by hand. Past the moment a live start
    // needs to write it, such a file goes, unless a running process still holds it open
    // and locked (removeStaleLockFile() fails then).
    constexpr qint64 WritingGraceMs = 2000;
    const auto nameless = [this] {
        const QFileInfo file(lockPath());
        return !lock_->getLockInfo(nullptr, nullptr, nullptr) && file.exists() &&
               qAbs(file.lastModified().msecsTo(QDateTime::currentDateTime())) >= WritingGraceMs;
    };
    if (!nameless()) return false;
    // Two starts may find it at once: one removes it and takes the lock; the other gives
    // up this time, and next time finds the new holder's name.
    QLockFile removing(lockPath() + QStringLiteral(".rmlock"));
    return removing.tryLock(0) && nameless() && lock_->removeStaleLockFile() && lock_->tryLock(0);
}

bool SingleInstance::tryTake() {
    if (!lock_->tryLock(0)) {
        if (lock_->error() != QLockFile::LockFailedError) {
            failure_ = QStringLiteral("cannot make the lock file %1").arg(lockPath());
            return false;
        }
        if (!takeNamelessLock()) return false;
    }
    // Without the socket a later start cannot reach us, but the lock still keeps it from
    // running a second key mapper: run all the same.
    if (!listen())
        qWarning("%s: cannot listen on %s: %s", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(serverName()), qPrintable(server_->errorString()));
    return true;
}

SingleInstance::Role SingleInstance::claim() {
    if (!makeLock()) return Role::Failed;
    // Two starts at the same moment: one wins the lock, the other must reach it. The
    // winner needs a moment to listen, so the loser retries for a bounded time.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        if (tryTake()) return Role::First;
        if (lock_->error() != QLockFile::LockFailedError) return Role::Failed;
        QByteArray reply;
        if (askFirst(&reply)) return reply == TypistAnswer ? Role::Typist : Role::Second;
        QThread::msleep(100);
    }
    const QString who = holder();
    failure_ = QStringLiteral("%1 holds %2 and does not answer")
                   .arg(who.isEmpty() ? QStringLiteral("another instance") : who, lockPath());
    return Role::Failed;
}

bool SingleInstance::claimAsTypist() {
    typist_ = true;
    return makeLock() && tryTake();
}

QString SingleInstance::holder() const {
    qint64 pid = 0;
    QString host;
    QString program;
    if (!lock_ || !lock_->getLockInfo(&pid, &host, &program)) return {};
    return QStringLiteral("%1 (process %2)").arg(program).arg(pid);
}

bool SingleInstance::listen() {
    // A socket left by a crashed process would make listen() fail; the lock says it is
    // no one's now.
    QLocalServer::removeServer(serverName());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName())) return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains(RaiseRequest.trimmed())) {
                    if (typist_)
                        s->write(TypistAnswer);  // hung up below, after it is written
                    else
                        emit raiseRequested();
                }
                s->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::askFirst(QByteArray* reply) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(500)) return false;
    socket.write(RaiseRequest);
    if (!socket.waitForBytesWritten(500)) return false;
    // Wait for the first to take it, so that our exit cannot cut the request short; a
    // typist answers before it hangs up.
    if (socket.waitForReadyRead(500)) *reply = socket.readAll();
    // The first may have hung up already (that ended the wait above): Qt warns on a wait
    // for a disconnection that has happened.
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(500);
    *reply += socket.readAll();
    return true;
}

}  // namespace app
