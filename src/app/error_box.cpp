#include "app/error_box.hpp"

#include <QMessageBox>
#include <exception>

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

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
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
