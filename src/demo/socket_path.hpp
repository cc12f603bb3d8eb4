#pragma once

#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <sys/un.h>
#endif

namespace demo {

// Why a control socket cannot be at `path`, empty when it can. Qt says only "Name error"
// for a Unix socket path longer than the system takes.
inline QString socketPathProblem(const QString& path) {
#ifdef Q_OS_UNIX
    constexpr qsizetype limit = sizeof(sockaddr_un::sun_path) - 1;  // and the closing zero
    if (const qsizetype bytes = QFile::encodeName(path).size(); bytes > limit)
        return QStringLiteral("the socket path %1 is too long: %2 bytes, at most %3")
            .arg(path)
            .arg(bytes)
            .arg(limit);
#else
    Q_UNUSED(path);
#endif
    return {};
}

}  // namespace demo
