#include "app/single_instance.hpp"

#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace app {

QByteArray SingleInstance::userId() {
    return QByteArray::number(static_cast<qulonglong>(::getuid()));
}

QString SingleInstance::defaultRuntimeDir() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

}  // namespace app
