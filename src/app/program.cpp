#include "app/program.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>

#include "app/error_box.hpp"
#include "app/session_end.hpp"
#include "app/single_instance.hpp"
#include "device/open_failure.hpp"
#include "keymap/emitters/emitter_choice.hpp"
#include "settings/settings_path.hpp"
#include "ui/language.hpp"
#include "ui/tform1.hpp"
#include "ui/tray_icon.hpp"

namespace app {

void setUpApplication(QApplication& application) {
    // No display name: Qt would append it to every caption (" — Drevonix v2.2" after
    // "От автора программы"). The title is the main window's caption and the error boxes'.
    application.setApplicationVersion(QStringLiteral(DREVONIX_VERSION));
    // Before any window exists: each takes its texts as it is built.
    ui::useDesktopLanguage();
}

void explainOpenFailures(device::HidLibrary& hid, ui::TForm1& window) {
    // The first status panel says "connected" for a controller we may not open (it is
    // attached); the user learns the rest here.
    QObject::connect(&hid, &device::HidLibrary::openFailed, &window,
                     [&hid, &window](device::HidLibrary::Handle h) {
                         const QString path = hid.devicePath(h);
                         const int error = hid.openError(h);
                         qWarning("%s: %s", qPrintable(QCoreApplication::applicationName()),
                                  qPrintable(device::openFailureText(path, error)));
                         if (ui::TrayIcon* tray = window.trayIcon())
                             tray->showOpenFailure(path, error);
                     });
}

namespace {

// What stops the typist `pid`: its service when the user manager runs it (a kill would
// have it started again), the process itself when it was started by hand.
QString howToStop(qint64 pid) {
#ifdef Q_OS_WIN
    return QStringLiteral("taskkill /PID %1").arg(pid);
#else
    QFile cgroup(QStringLiteral("/proc/%1/cgroup").arg(pid));
    if (cgroup.open(QIODevice::ReadOnly) && cgroup.readAll().contains("/drevonix-keys.service"))
        return QStringLiteral("systemctl --user stop drevonix-keys");
    return QStringLiteral("kill %1").arg(pid);
#endif
}

}  // namespace

int runProgram(Application& application, device::HidLibrary& hid, bool emulated) {
    // A running program is brought up instead of starting a second key mapper.
    SingleInstance instance(emulated ? SingleInstance::demoKey(settings::settingsPathFor(
                                           QCoreApplication::applicationDirPath()))
                                     : SingleInstance::controllerKey());
    switch (instance.claim()) {
        case SingleInstance::Role::First:
            break;
        case SingleInstance::Role::Second:
            // A start from a terminal that seems to do nothing would leave the user guessing.
            qWarning("%s: already running; its window has been brought up",
                     qPrintable(QCoreApplication::applicationName()));
            return 0;
        case SingleInstance::Role::Typist: {
            // drevonix-cli keys types the wheel buttons already; a second key mapper would
            // type every key twice, and there is no window to bring up instead.
            const QString holder = instance.holder();
            qWarning("drevonix: the wheel buttons are typed already by %s",
                     qPrintable(holder.isEmpty() ? QStringLiteral("drevonix-cli keys") : holder));
            const qint64 pid = instance.holderPid();
            QMessageBox box(
                QMessageBox::Information, Application::title(),
                pid == 0 ? Application::tr("Кнопки руля уже переводит в нажатия клавиш "
                                           "drevonix-cli keys. Второй экземпляр нажимал бы "
                                           "каждую клавишу дважды, поэтому программа "
                                           "закрывается.\n\nЧтобы работать с окном, "
                                           "остановите его: systemctl --user stop "
                                           "drevonix-keys.")
                         : Application::tr("Кнопки руля уже переводит в нажатия клавиш "
                                           "drevonix-cli keys (процесс %1). Второй экземпляр "
                                           "нажимал бы каждую клавишу дважды, поэтому "
                                           "программа закрывается.\n\nЧтобы работать с "
                                           "окном, остановите его: %2.")
                               .arg(pid)
                               .arg(howToStop(pid)),
                QMessageBox::Ok);
            box.exec();
            return 1;
        }
        case SingleInstance::Role::Failed:
            qWarning("%s: %s", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(instance.failure()));
            return 1;
    }
    // The program lives in the tray: a message box closing while the window is hidden
    // must not end it. Only the main window's close does.
    application.setQuitOnLastWindowClosed(false);

    const keymap::EmitterChoice keys = keymap::chooseEmitter();
    ui::TForm1 window(hid, keys.emitter.get());
    // "Выход" chosen while the greeting held the start: a quit before the loop runs is lost.
    if (window.ended()) return 0;
    application.setWindowIcon(window.windowIcon());
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window,
                     &ui::TForm1::bringToFront);
    // The first open comes from the event loop, after this.
    explainOpenFailures(hid, window);

    // After FormCreate: until then there is nothing to save, and main() has an ending
    // signal end the start at once, with status 0.
    SessionEnd sessionEnd;
    sessionEnd.watchSignals();
    sessionEnd.watchSessionManager(application, window);
    QObject::connect(&sessionEnd, &SessionEnd::sessionEnding, &window, [&](int signo) {
        if (signo == 0) {
            window.WMEndSessionQuery();
            return;
        }
        // The system is going down: nobody is there to close an error box, and the session
        // would wait for its kill timeout. A failed save goes to stderr, and the program
        // ends all the same (the system would kill it a little later anyway).
        bool failed = false;
        application.setErrorPresenter([&failed](const QString&, const QString& text) {
            failed = true;
            qWarning("%s: %s", qPrintable(QCoreApplication::applicationName()), qPrintable(text));
        });
        window.WMEndSessionQuery();
        QCoreApplication::exit(failed ? 1 : 0);
    });

    if (window.showAtStart()) window.show();
    return application.exec();
}

}  // namespace app
