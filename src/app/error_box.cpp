#include "app/error_box.hpp"

#include <QMessageBox>
#include <QPushButton>
#include <exception>

#include "ui/lifecycle.hpp"

namespace app {

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

void Application::showError(const QString& message) {
    const QString text = errorBoxText(message);
    if (presenter_) {
        presenter_(title(), text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title(), text, QMessageBox::Ok);
    box.exec();
}

bool Application::ask(const QString& text) {
    if (question_) return question_(title(), text);
    QMessageBox box(QMessageBox::Question, title(), text);
    QPushButton* yes = box.addButton(tr("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr("Нет"), QMessageBox::NoRole);
    // Running on is the safe answer: Enter and Escape keep the program.
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const ui::EndingSaveFailed& e) {
        event->ignore();
        showError(QString::fromUtf8(e.what()));
        if (ask(tr("Настройки не сохранены. Завершить программу без сохранения?")))
            e.endWithoutSaving();
    } catch (const std::exception& e) {
        // Ignoring the event abandons what it asked for: a close that failed to save
        // leaves the window open.
        event->ignore();
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        event->ignore();
        showError(QStringLiteral("Unknown error"));
    }
    return false;
}

}  // namespace app
