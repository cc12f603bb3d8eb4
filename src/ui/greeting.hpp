#pragma once

#include <QDate>
#include <QString>

namespace ui {

// The day of the author's greeting, 12 October of any year.
bool isGreetingDay(const QDate& date);

inline const QString GreetingCaption = QStringLiteral("От автора программы");
inline const QString GreetingText = QStringLiteral(
    "Сегодня 12 октября, и я хочу просто сказать вам спасибо за то, что вы пользуетесь "
    "этой программой.\nХороших вам дорог, тёплых дней и любимой музыки в пути!");

// The greeting box: no owner window, OK and no icon; modal to nothing. Returns when it is
// closed (or the program ends).
void showGreeting();

}  // namespace ui
