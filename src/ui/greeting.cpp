#include "ui/greeting.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>

namespace ui {

bool isGreetingDay(const QDate& date) {
    return date.toString(QStringLiteral("MMdd")) == QLatin1String("1012");
}

QString greetingCaption() {
    return QCoreApplication::translate("Greeting", "От автора программы");
}

QString greetingText() {
    return QCoreApplication::translate(
        "Greeting",
        "Сегодня 12 октября, и я хочу просто сказать вам спасибо за то, что вы пользуетесь "
        "этой программой.\nХороших вам дорог, тёплых дней и любимой музыки в пути!");
}

void showGreeting() {
    // The box belongs to no window, so it blocks none: while it waits for its OK the
    // timers, the device and the tray icon all work, as under Windows. Only the start
    // waits for it.
    QMessageBox box(QMessageBox::NoIcon, greetingCaption(), greetingText(), QMessageBox::Ok);
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
}

}  // namespace ui
