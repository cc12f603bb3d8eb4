#include "app/single_instance.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
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
    struct stat st {};
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        *why = QStringLiteral("cannot make %1: %2")
                   .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    else if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        *why = QStringLiteral("%1 is not a folder").arg(path);
    else if (st.st_uid != ::geteuid())
        *why = QStringLiteral("%1 belongs to user %2").arg(path).arg(st.st_uid);
    else if ((st.st_mode & 077) != 0)
        *why = QStringLiteral("%1 is open to other users").arg(path);
    else
        return true;
    return false;
}

// The home folder the system gives the user, whatever $HOME says.
QString homeOf(uid_t uid) {
    struct passwd pw {};
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

QStringList SingleInstance::defaultLockParents() {
    // Fixed places, so that every start of this user lands on the same folder. Not
    // /run/user/<uid>: it comes with the first login and goes with the last, so a typist
    // started at boot would lock elsewhere than a window program started after the login.
    // A /tmp name squatted by another user moves us on to the home folder.
    QStringList parents{QStringLiteral("/tmp")};
    if (const QString home = homeOf(::getuid()); !home.isEmpty())
        parents << home + QStringLiteral("/.cache");
    return parents;
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

}  // namespace app
