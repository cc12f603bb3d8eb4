#include "keymap/emitters/emitter_choice.hpp"

#include <QCoreApplication>

#include <unistd.h>
#include <cerrno>

#include "keymap/emitters/uinput_emitter.hpp"
#include "keymap/emitters/xtest_emitter.hpp"

namespace keymap {

namespace {

// Under the name of whichever program chose: drevonix, drevonix-demo or drevonix-cli.
EmitterChoice say(EmitterChoice c) {
    qWarning("%s: %s", qPrintable(QCoreApplication::applicationName()), qPrintable(c.message));
    return c;
}

}  // namespace

EmitterChoice chooseEmitter(const QString& uinputPath, const QString& displayName) {
    const QString path = uinputPath.isEmpty() ? QStringLiteral("/dev/uinput") : uinputPath;
    QString uinputWhy;
    if (::access(path.toLocal8Bit().constData(), W_OK) == 0) {
        if (auto e = UinputEmitter::open(path, &uinputWhy))
            return say({std::move(e), QStringLiteral("uinput"),
                        QStringLiteral("keystrokes through uinput (%1)").arg(path)});
    } else if (errno == ENOENT) {
        // Not a permission problem: no udev rule would help, the kernel has no node there.
        uinputWhy = QStringLiteral("%1 does not exist").arg(path);
    } else {
        uinputWhy = QStringLiteral("no write access to %1").arg(path);
    }

    QString xWhy;
    if (auto e = XTestEmitter::open(displayName, &xWhy))
        return say({std::move(e), QStringLiteral("XTest"),
                    QStringLiteral("keystrokes through XTest (%1)").arg(uinputWhy)});

    return say({std::make_unique<NullEmitter>(), QStringLiteral("none"),
                QStringLiteral("keystrokes cannot be delivered: %1, and %2").arg(uinputWhy, xWhy)});
}

}  // namespace keymap
