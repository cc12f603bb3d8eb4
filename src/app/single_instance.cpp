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
// A window program's: its window is up. (Before this answer existed, a window program
// hung up without a word; a hang-up still counts as that.)
const QByteArray RaisedAnswer = QByteArrayLiteral("raised\n");
// How long a holder that took our request may take to answer: a busy one (a save to a
// slow card, a modal box's nested loop starting) answers late, a stopped one never.
constexpr int AnswerWaitMs = 5000;

}  // namespace

SingleInstance::SingleInstance(const QString& key, const QString& lockParent, QObject* parent)
    : QObject(parent), key_(key) {
    dir_ = lockFolderIn(lockParent.isEmpty() ? defaultLockParents() : QStringList{lockParent},
                        &noFolder_);
}

SingleInstance::~SingleInstance() {
    unpinFolder();
}

QString SingleInstance::controllerKey() {
    QString key = QStringLiteral("drevonix-") + QString::fromUtf8(userId());
    // A home folder shared by several machines (NFS) must not let a typist on one stop the
    // window program on another: each has its own controller.
    if (const QByteArray machine = machineId(); !machine.isEmpty())
        key += u'-' +
               QString::fromLatin1(
                   QCryptographicHash::hash(machine, QCryptographicHash::Sha256).toHex().left(8));
    return key;
}

QString SingleInstance::demoKey(const QString& settingsPath) {
    // The same file reached through another spelling of its path is the same file.
    QString canonical = QFileInfo(settingsPath).absoluteFilePath();
    const QFileInfo dirInfo(QFileInfo(canonical).absolutePath());
    if (dirInfo.exists())
        canonical = QDir(dirInfo.canonicalFilePath()).filePath(QFileInfo(canonical).fileName());
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex();
    // Socket paths are short on Unix (108 bytes); 16 hex digits are plenty here.
    return QStringLiteral("drevonix-demo-") + QString::fromLatin1(hash.left(16));
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
    pinFolder();
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
    // Silence is no answer: no window was brought up, and a second key mapper would type
    // every key twice.
    const QString who = holder();
    failure_ = QStringLiteral("%1 holds %2 and does not answer; not starting a second copy")
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

qint64 SingleInstance::holderPid() const {
    qint64 pid = 0;
    if (!lock_ || !lock_->getLockInfo(&pid, nullptr, nullptr)) return 0;
    return pid;
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
                    if (!typist_) emit raiseRequested();
                    s->write(typist_ ? TypistAnswer : RaisedAnswer);  // hung up below, once written
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
    socket.flush();
    // A stopped holder's socket still takes the connection and the request (the system
    // queues both): only its answer, or its hanging up, tells that it lives.
    QElapsedTimer clock;
    clock.start();
    while (!reply->endsWith('\n') && socket.state() == QLocalSocket::ConnectedState &&
           clock.elapsed() < AnswerWaitMs) {
        socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, AnswerWaitMs - clock.elapsed())));
        *reply += socket.readAll();
    }
    return reply->endsWith('\n') || socket.state() == QLocalSocket::UnconnectedState;
}

}  // namespace app
