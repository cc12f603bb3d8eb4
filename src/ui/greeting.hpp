#pragma once

#include <QDate>
#include <QString>

namespace ui {

// The day of the author's greeting, 12 October of any year.
bool isGreetingDay(const QDate& date);

QString greetingCaption();
QString greetingText();

// The greeting box: no owner window, OK and no icon; modal to nothing. Returns when it is
// closed (or the program ends).
void showGreeting();

}  // namespace ui
