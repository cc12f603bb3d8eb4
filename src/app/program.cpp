#include "app/program.hpp"

#include <QApplication>

#include "keymap/emitter_choice.hpp"
#include "ui/tform1.hpp"

namespace app {

void setUpApplication(QApplication& application) {
    application.setApplicationDisplayName(QStringLiteral("Drevonix v2.2"));
    application.setApplicationVersion(QStringLiteral("2.2"));
}

int runProgram(QApplication& application, device::HidLibrary& hid) {
    const keymap::EmitterChoice keys = keymap::chooseEmitter();
    ui::TForm1 window(hid, keys.emitter.get());
    application.setWindowIcon(window.windowIcon());
    // Shown at start until the program lives in the tray.
    window.show();
    return application.exec();
}

}  // namespace app
