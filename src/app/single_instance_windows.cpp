#include "app/single_instance.hpp"

#include <QDir>
#include <vector>

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

namespace app {

QByteArray SingleInstance::userId() {
    // The user's SID: names repeat across domains and may be changed, a SID does neither.
    QByteArray id;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> buf(size);
        LPWSTR text = nullptr;
        if (size != 0 && GetTokenInformation(token, TokenUser, buf.data(), size, &size) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid, &text)) {
            id = QString::fromWCharArray(text).toUtf8();
            LocalFree(text);
        }
        CloseHandle(token);
    }
    // Without a SID the name still keeps different users apart on one machine.
    if (id.isEmpty()) id = qgetenv("USERNAME");
    return id;
}

// %TEMP% is the machine's own: no other machine sees the lock.
QByteArray SingleInstance::machineId() {
    return {};
}

// Qt's runtime location here is the profile's root folder; %TEMP% is per user as well,
// and nobody looks there.
QStringList SingleInstance::defaultLockParents() {
    return {QDir::tempPath()};
}

// The user's own %TEMP% is private already: the lock goes straight into it.
QString SingleInstance::lockFolderIn(const QStringList& parents, QString* why) {
    for (const QString& parent : parents)
        if (QDir().mkpath(parent)) return parent;
    *why = QStringLiteral("cannot make %1").arg(parents.join(QStringLiteral(", ")));
    return {};
}

// Nothing ages %TEMP% behind a running program's back.
void SingleInstance::pinFolder() {}
void SingleInstance::unpinFolder() {}

}  // namespace app
