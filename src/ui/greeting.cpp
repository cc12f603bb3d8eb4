#include "ui/greeting.hpp"

#include <QMessageBox>

namespace ui {

bool isGreetingDay(const QDate& date) {
    return date.toString(QStringLiteral("MMdd")) == QLatin1String("1012");
}

void showGreeting() {
    QMessageBox box(QMessageBox::NoIcon, GreetingCaption, GreetingText, QMessageBox::Ok);
    box.exec();
}

}  // namespace ui
