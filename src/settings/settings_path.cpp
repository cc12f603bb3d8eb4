#include "settings/settings_path.hpp"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace settings {
namespace {
const QString kFileName = QStringLiteral("Control.ini");
}

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
    return settingsPath(probeSettingsLocation(exeDir));
}

}  // namespace settings
