#include "ui/parameter_page.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "params/alpha_bet.hpp"

namespace ui {

ParameterPage::ParameterPage(QWidget* Panel2, device::HidLibrary& hid, device::Report& OutReport,
                             QChar decimalSeparator)
    : QObject(Panel2), page_(Panel2), form_(hid, OutReport, *this, *this, decimalSeparator) {
    for (int i = 0; i < params::ParameterFieldCount; ++i) {
        const QString name = params::ParameterFields[static_cast<std::size_t>(i)].name;
        QLineEdit* e = Panel2->findChild<QLineEdit*>(name);
        if (!e) {
            qWarning("parameter page: no edit %s", qPrintable(name));
            continue;
        }
        e->installEventFilter(this);
        edits_[static_cast<std::size_t>(i)] = e;
    }
    ignoreT_ = Panel2->findChild<QCheckBox*>(QString(params::IgnoreTName));
    if (!ignoreT_) qWarning("parameter page: no check box ignoreT");

    if (auto* read = Panel2->findChild<QPushButton*>(QStringLiteral("Button_ReadData")))
        connect(read, &QPushButton::clicked, this, [this] { Button_ReadDataClick(); });
    if (auto* write = Panel2->findChild<QPushButton*>(QStringLiteral("Button_WriteData")))
        connect(write, &QPushButton::clicked, this, [this] { Button_WriteDataClick(); });
}

QChar ParameterPage::systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

QString ParameterPage::fieldText(int index) const {
    const QLineEdit* e = edit(index);
    return e ? e->text() : QString();
}

void ParameterPage::setFieldText(int index, const QString& text) {
    if (QLineEdit* e = edit(index)) e->setText(text);
}

bool ParameterPage::ignoreT() const {
    return ignoreT_ && ignoreT_->isChecked();
}

void ParameterPage::setIgnoreT(bool ticked) {
    if (ignoreT_) ignoreT_->setChecked(ticked);
}

void ParameterPage::show(const QString& text) {
    QWidget* window = page_->window();
    QString caption = window->windowTitle();
    if (caption.isEmpty()) caption = QApplication::applicationDisplayName();
    // A label breaks lines at '\n'; a '\r' before it would only show as a stray glyph.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, caption, shown, QMessageBox::Ok, window);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool ParameterPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // Ctrl and Ctrl+Shift never insert text in a line edit; some platforms report the
    // letter rather than the control character, and judging it would break copy and paste.
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    const QString typed = key->text();
    if (typed.isEmpty()) return false;  // arrows, Delete, Home: no character

    QString kept;
    for (QChar ch : typed) {
        const QChar passed = params::AlphaBet(ch);
        if (!passed.isNull()) kept.append(passed);
    }
    if (kept.size() == typed.size()) return false;
    // An input method may deliver several characters at once; insert those that pass.
    if (!kept.isEmpty())
        if (auto* e = qobject_cast<QLineEdit*>(watched)) e->insert(kept);
    return true;
}

}  // namespace ui
