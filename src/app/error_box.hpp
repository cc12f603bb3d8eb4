#pragma once

#include <QApplication>
#include <QString>
#include <functional>

#include "common/version.hpp"

namespace app {

// The text an error box shows for an error message: a full stop is added unless the
// message already ends in '.' or in a character below it in code order ('!' or a blank
// keep the message as it is; '?' and every letter get the full stop).
QString errorBoxText(const QString& message);

// The application object with the top-level error handler: an exception that escapes an
// event handler is shown in an error box, the action that raised it is abandoned, and
// the program runs on.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    // The application title, the caption of the program's own error boxes.
    static QString title() { return common::programTitle(); }

    // Shows an error box with the title, an error icon and OK (replaceable for tests).
    using ErrorPresenter = std::function<void(const QString& caption, const QString& text)>;
    void setErrorPresenter(ErrorPresenter presenter) { presenter_ = std::move(presenter); }
    void showError(const QString& message);

    // Asks a yes-or-no question with the title (replaceable for tests); true for "Да".
    using QuestionPresenter = std::function<bool(const QString& caption, const QString& text)>;
    void setQuestionPresenter(QuestionPresenter presenter) { question_ = std::move(presenter); }
    bool ask(const QString& text);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    ErrorPresenter presenter_;
    QuestionPresenter question_;
};

}  // namespace app
