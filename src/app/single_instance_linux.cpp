#include "app/single_instance.hpp"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace app {
namespace {

// Only a folder this user owns, that no one else may enter or write, and that is not a
// link, may hold the lock and the socket: in a shared folder another user could plant a
// lock that stops us, or a socket that takes our "raise" and tells us to exit.
bool isPrivateDir(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Creates the folder when it is missing; a name someone else holds is never taken over.
QString privateDir(const QString& path) {
    if (path.isEmpty()) return {};
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    return isPrivateDir(path) ? path : QString();
}

}  // namespace

QByteArray SingleInstance::userId() {
    return QByteArray::number(static_cast<qulonglong>(::getuid()));
}

QString SingleInstance::defaultRuntimeDir() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateDir(runtime)) return runtime;
    // Every start of this user must land on the same folder, so the names are fixed: a
    // squatted /tmp name moves us on to the user's own cache folder.
    const QString id = QString::fromLatin1(userId());
    QString dir = privateDir(QDir::tempPath() + QStringLiteral("/drevonix-") + id);
    if (dir.isEmpty()) {
        const QString cache =
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        if (!cache.isEmpty() && QDir().mkpath(cache))
            dir = privateDir(cache + QStringLiteral("/drevonix-") + id);
    }
    return dir;
}

}  // namespace app
