#include "settings/settings_path.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace settings {
namespace {
const QString kFileName = QStringLiteral("Control.ini");

#ifdef Q_OS_UNIX
// Whether another user may change what a path leads to: a folder on the way (or a link)
// that is not root's, or that others may write. Such a user could swap the file or a
// folder for a link between root's check and root's open, and root would read or write
// through it. A sticky folder (/tmp) is fine above the last one: others can make entries
// there but not replace root's. Gives the first such folder; empty when there is none.
QString changeableByOthers(const QString& folder) {
    QString dir = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // Folders still to be made are made by root.
    while (!QFileInfo::exists(dir) && !QFileInfo(dir).isSymLink() && dir != u'/')
        dir = QFileInfo(dir).path();
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (canonical.isEmpty()) return dir;
    for (QString walk : {dir, canonical}) {
        for (bool last = true;; last = false) {
            struct stat st = {};
            if (::lstat(QFile::encodeName(walk).constData(), &st) != 0) return walk;
            const bool othersWrite =
                S_ISDIR(st.st_mode) &&
                ((st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && st.st_gid != 0));
            if (st.st_uid != 0 || (othersWrite && (last || !(st.st_mode & S_ISVTX)))) return walk;
            if (walk == u'/') break;
            walk = QFileInfo(walk).path();
        }
    }
    return {};
}
#endif
}  // namespace

QString settingsPath(const SettingsLocation& where) {
    const bool installed = !where.installBinDir.isEmpty() &&
                           QDir::cleanPath(where.exeDir) == QDir::cleanPath(where.installBinDir);
    if (!installed && (where.fileInExeDir || where.exeDirWritable))
        return QDir(where.exeDir).filePath(kFileName);
    const QString config =
        !where.xdgConfigHome.isEmpty() && QDir::isAbsolutePath(where.xdgConfigHome)
            ? where.xdgConfigHome
            : QDir(where.home).filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("drevonix/") + kFileName);
}

QString defaultInstallBinDir() {
#ifdef DREVONIX_INSTALL_BINDIR
    return QStringLiteral(DREVONIX_INSTALL_BINDIR);
#else
    return {};
#endif
}

SettingsLocation probeSettingsLocation(const QString& exeDir, const QString& installBinDir) {
    SettingsLocation where;
    where.exeDir = exeDir;
    where.fileInExeDir = QFileInfo::exists(QDir(exeDir).filePath(kFileName));
#ifdef Q_OS_WIN
    // A folder's attributes say nothing about its access list (Program Files is "writable"
    // by them): only making a file there tells. The user's folder is the roaming AppData.
    QTemporaryFile probe(QDir(exeDir).filePath(QStringLiteral("drevonix-XXXXXX.tmp")));
    where.exeDirWritable = probe.open();
    where.xdgConfigHome = qEnvironmentVariable("APPDATA");
#else
    const QFileInfo dir(exeDir);
    where.exeDirWritable = dir.isDir() && dir.isWritable();
    where.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
#endif
    where.home = QDir::homePath();
    // Both sides resolved, so that /bin/drevonix on a merged-/usr system or a prefix
    // reached through a link still counts as installed.
    const QString exeCanonical = QFileInfo(exeDir).canonicalFilePath();
    if (!exeCanonical.isEmpty()) where.exeDir = exeCanonical;
    if (!installBinDir.isEmpty())
        where.installBinDir = QFileInfo(installBinDir).canonicalFilePath();
    return where;
}

QString settingsPathFor(const QString& exeDir) {
    SettingsLocation where = probeSettingsLocation(exeDir);
    QString path = settingsPath(where);
#ifdef Q_OS_UNIX
    // Root never reads or writes settings through a folder another user can change: it
    // keeps its own, in its config folder, or in its home's when that one is not safe
    // either ($XDG_CONFIG_HOME kept by su, for example).
    if (::geteuid() != 0) return path;
    const QString unsafe = changeableByOthers(QFileInfo(path).path());
    if (unsafe.isEmpty()) return path;
    where.fileInExeDir = where.exeDirWritable = false;
    path = settingsPath(where);
    if (!changeableByOthers(QFileInfo(path).path()).isEmpty()) {
        const passwd* pw = ::getpwuid(0);
        where.xdgConfigHome.clear();
        where.home = pw ? QFile::decodeName(pw->pw_dir) : QStringLiteral("/root");
        path = settingsPath(where);
    }
    // Asked for twice at a start; said once.
    static QString said;
    if (said != unsafe)
        qWarning(
            "%s: %s can be changed by another user; run as root, the program keeps "
            "its settings in %s",
            qPrintable(QCoreApplication::applicationName()), qPrintable(unsafe), qPrintable(path));
    said = unsafe;
#endif
    return path;
}

}  // namespace settings
