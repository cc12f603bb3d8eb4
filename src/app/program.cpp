#include "app/program.hpp"

#include <QApplication>

#include "app/session_end.hpp"
#include "app/single_instance.hpp"
#include "keymap/emitters/emitter_choice.hpp"
#include "settings/settings_path.hpp"
#include "ui/tform1.hpp"

namespace app {

void setUpApplication(QApplication& application) {
    application.setApplicationDisplayName(QStringLiteral("Drevonix v2.2"));
    application.setApplicationVersion(QStringLiteral("2.2"));
}

int runProgram(QApplication& application, device::HidLibrary& hid) {
    // A running program is brought up instead of starting a second key mapper.
    SingleInstance instance(settings::settingsPathFor(QCoreApplication::applicationDirPath()));
    switch (instance.claim()) {
        case SingleInstance::Role::First:
            break;
        case SingleInstance::Role::Second:
            return 0;
        case SingleInstance::Role::Failed:
            qWarning("drevonix: another instance holds %s and does not answer",
                     qPrintable(instance.lockPath()));
            return 1;
    }
    // The program lives in the tray: a message box closing while the window is hidden
    // must not end it. Only the main window's close does.
    application.setQuitOnLastWindowClosed(false);

    const keymap::EmitterChoice keys = keymap::chooseEmitter();
    ui::TForm1 window(hid, keys.emitter.get());
    application.setWindowIcon(window.windowIcon());
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window,
                     &ui::TForm1::bringToFront);

    // After FormCreate: until then there is nothing to save, and the default action of
    // the signals ends the start cleanly.
    SessionEnd sessionEnd;
    sessionEnd.watchSignals();
    sessionEnd.watchSessionManager(application);
    QObject::connect(&sessionEnd, &SessionEnd::sessionEnding, &window, [&window](int signo) {
        window.WMEndSessionQuery();
        // A signal ends the session whether or not the settings could be saved; the
        // system would kill us a little later anyway.
        if (signo != 0) QCoreApplication::quit();
    });

    if (window.showAtStart()) window.show();
    return application.exec();
}

}  // namespace app
