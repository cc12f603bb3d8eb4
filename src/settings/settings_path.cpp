#include "settings/settings_path.hpp"

#include <QDir>
#include <QFileInfo>

namespace settings {
namespace {
const QString kFileName = QStringLiteral("Control.ini");
}

QString settingsPath(const SettingsLocation& where) {
    if (where.fileInExeDir || where.exeDirWritable) return QDir(where.exeDir).filePath(kFileName);
    const QString config =
        !where.xdgConfigHome.isEmpty() && QDir::isAbsolutePath(where.xdgConfigHome)
            ? where.xdgConfigHome
            : QDir(where.home).filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("drevonix/") + kFileName);
}

SettingsLocation probeSettingsLocation(const QString& exeDir) {
    SettingsLocation where;
    where.exeDir = exeDir;
    where.fileInExeDir = QFileInfo::exists(QDir(exeDir).filePath(kFileName));
    const QFileInfo dir(exeDir);
    where.exeDirWritable = dir.isDir() && dir.isWritable();
    where.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    where.home = QDir::homePath();
    return where;
}

QString settingsPathFor(const QString& exeDir) {
    return settingsPath(probeSettingsLocation(exeDir));
}

}  // namespace settings
