#include "app/single_instance.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <vector>

namespace app {
namespace {

// Only a folder this user owns, that no one else may enter or write, and that is not a
// link, may hold the lock and the socket: in a shared folder another user could plant a
// lock that stops us, or a socket that takes our "raise" and tells us to exit. Creates
// the folder when it is missing; a name someone else holds is never taken over.
bool makePrivateDir(const QString& path, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        *why = QStringLiteral("cannot make %1: %2")
                   .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    else if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        *why = QStringLiteral("%1 is not a folder").arg(path);
    else if (st.st_uid != ::geteuid())
        *why = QStringLiteral("%1 belongs to user %2").arg(path).arg(st.st_uid);
    else if ((st.st_mode & 077) != 0)
        *why = QStringLiteral("%1 is open to other users").arg(path);
    else if (::access(name.constData(), W_OK) != 0)  // a read-only home, say
        *why = QStringLiteral("cannot write in %1: %2")
                   .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    else
        return true;
    return false;
}

// The home folder the system gives the user, whatever $HOME says.
QString homeOf(uid_t uid) {
    struct passwd pw = {};
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) != 0 || !found || !pw.pw_dir)
        return {};
    return QFile::decodeName(pw.pw_dir);
}

}  // namespace

QByteArray SingleInstance::userId() {
    return QByteArray::number(static_cast<qulonglong>(::getuid()));
}

QByteArray SingleInstance::machineId() {
    // systemd's, 32 hex digits; the one file every process of the machine sees alike.
    QFile id(QStringLiteral("/etc/machine-id"));
    return id.open(QIODevice::ReadOnly) ? id.read(32) : QByteArray();
}

QStringList SingleInstance::defaultLockParents() {
    // Fixed places, so that every start of this user lands on the same folder, where no
    // other user may make, remove or age anything. First the home the system gives the user:
    // not /run/user/<uid>, which comes with the first login and goes with the last, so a
    // typist started before the login (cron, a service) would lock elsewhere than a window
    // program started after it; not /tmp first, where another user may take the name before
    // us and old files are cleaned up. /tmp serves users without a home of their own (system
    // accounts) or with a read-only one; it is the last place, so a name taken there stops
    // us rather than sending us elsewhere, and the lock pins its folder against the clean-up.
    QStringList parents;
    const uid_t uid = ::getuid();
    const QString home = homeOf(uid);
    struct stat st = {};
    if (!home.isEmpty() && ::stat(QFile::encodeName(home).constData(), &st) == 0 &&
        S_ISDIR(st.st_mode) && st.st_uid == uid)
        parents << home + QStringLiteral("/.cache");
    return parents << QStringLiteral("/tmp");
}

QString SingleInstance::lockFolderIn(const QStringList& parents, QString* why) {
    QStringList found;
    for (const QString& parent : parents) {
        if (!QFileInfo::exists(parent)) QDir().mkpath(parent);
        const QString dir = parent + QStringLiteral("/drevonix-") + QString::fromLatin1(userId());
        QString problem;
        if (makePrivateDir(dir, &problem)) return dir;
        found << problem;
    }
    if (found.isEmpty()) found << QStringLiteral("no place to look");
    *why = found.join(QStringLiteral("; "));
    return {};
}

void SingleInstance::pinFolder() {
    // systemd-tmpfiles passes over a folder someone holds a BSD lock on.
    if (folderFd_ >= 0) return;
    folderFd_ = ::open(QFile::encodeName(dir_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ >= 0) ::flock(folderFd_, LOCK_SH | LOCK_NB);
}

void SingleInstance::unpinFolder() {
    if (folderFd_ >= 0) ::close(folderFd_);
    folderFd_ = -1;
}

}  // namespace app
