// The language for a desktop, and the texts a user meets first in the program's own
// Russian and in English: tab captions, the tray menu, the status panels through a plug
// and an unplug, the question after a failed save at the end; and every caption fits.
#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>

#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "support/program_app.hpp"
#include "support/qt_print.hpp"
#include "ui/language.hpp"
#include "ui/status_panels.hpp"
#include "ui/tform1.hpp"

namespace {

// Captions wider than their controls, by name.
QString clipped(const QWidget& page) {
    QStringList names;
    const auto check = [&](const QWidget* w, const QString& text, int room) {
        if (!text.isEmpty() && w->fontMetrics().horizontalAdvance(text) > room)
            names << w->objectName();
    };
    for (const QLabel* l : page.findChildren<QLabel*>()) check(l, l->text(), l->width());
    for (const QCheckBox* b : page.findChildren<QCheckBox*>())
        check(b, b->text(), b->width() - b->style()->pixelMetric(QStyle::PM_IndicatorWidth) - 4);
    for (const QPushButton* b : page.findChildren<QPushButton*>())
        check(b, b->text(), b->width() - 8);
    for (const QGroupBox* g : page.findChildren<QGroupBox*>())
        check(g, g->title(), g->width() - 16);
    // A legend line without dots ends before the edits beside it; the instructions fit.
    for (const QPlainTextEdit* m : page.findChildren<QPlainTextEdit*>())
        for (const QString& line : m->toPlainText().split(QLatin1Char('\n')))
            if (!line.endsWith(QLatin1Char('.'))) check(m, line, m->width() - 12);
    return names.join(QLatin1Char(' '));
}

// Fails the way a close that cannot save fails, inside an event handler.
class FailingClose : public QObject {
    bool event(QEvent*) override {
        throw ui::EndingSaveFailed("Unable to write to x", [] {});
    }
};

}  // namespace

TEST(Language, ChosenByTheDesktop) {
    // The desktop's languages, DREVONIX_LANG, the choice; "de" stands for a translation.
    // clang-format off
    const char* const cases[][3] = {
        {"C", "", "ru"}, {"", "", "ru"}, {"ru-RU,ru", "", "ru"}, {"fr-FR,fr", "", "en"},
        {"fr,de,en", "", "de"}, {"pt-BR,ru", "", "ru"}, {"en-GB", "RU", "ru"},
        {"ru-RU", "en_US.UTF-8", "en"}, {"ru-RU", "xx", "ru"}, {"C", "de", "de"}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(ui::chooseLanguage(QString::fromLatin1(c[0]).split(',', Qt::SkipEmptyParts), c[1],
                                     {"ru", "en", "de"}),
                  QString::fromLatin1(c[2]))
            << c[0] << " " << c[1];
    EXPECT_EQ(ui::availableLanguages().join(','), "ru,en");
    // DREVONIX_LANG over whatever this desktop is, either way.
    testApp();
    for (const char* forced : {"en", "ru"}) {
        qputenv("DREVONIX_LANG", forced);
        EXPECT_EQ(ui::useDesktopLanguage(), QString::fromLatin1(forced));
    }
    qunsetenv("DREVONIX_LANG");
    ui::useLanguage(QStringLiteral("ru"));
}

TEST(Language, TextsAndTheirRoom) {
    app::Application& application = testApp();
    QString asked;
    application.setQuestionPresenter([&](const QString&, const QString& text) {
        asked = text;
        return false;
    });
    application.setErrorPresenter([](const QString&, const QString&) {});
    // Tabs, menu, status panels (start, plugged, unplugged, refused), the question, and the
    // key table's first and last descriptions without a Control.ini.
    const std::pair<const char*, QStringList> languages[] = {
        {"ru",
         {"Индикаторы", "Параметры", "Кнопки", "Свернуть", "Развернуть", "Свернуть", "Выход",
          "Устройство не подключалось", "Устройство подключено", "Устройство отключено",
          "Нет доступа к hidraw3", "Настройки не сохранены. Завершить программу без сохранения?",
          "Старт", "Закрыть"}},
        {"en",
         {"Indicators", "Parameters", "Buttons", "Hide", "Restore", "Hide", "Exit",
          "Device never connected", "Device connected", "Device disconnected",
          "No access to hidraw3",
          "The settings were not saved. End the program without saving them?", "Start", "Close"}},
    };
    for (const auto& [language, texts] : languages) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(ui::useLanguage(QString::fromLatin1(language)));
        QTemporaryDir dir;
        ui::LifecycleOptions options;
        options.settingsPath = dir.filePath(QStringLiteral("Control.ini"));
        options.greet = [] {};
        emulator::ControllerEmulator emulator;
        emulator.unplug();
        emulator::SimulatedLibrary hid(emulator);
        ui::TForm1 form(hid, nullptr, options);
        const auto* tabs = form.findChild<QTabBar*>(QStringLiteral("TabControl1"));
        QStringList seen;
        for (int i = 0; i < tabs->count(); ++i) seen << tabs->tabText(i);
        seen << form.N1->text() << form.N2->text() << form.N4->text();
        const ui::StatusPanels& status = form.statusView();
        seen << status.panelText(0);
        emulator.plug();
        EXPECT_TRUE(QTest::qWaitFor([&] { return status.panelText(0) != seen.last(); }, 2000));
        seen << status.panelText(0);
        emulator.unplug();
        EXPECT_TRUE(QTest::qWaitFor([&] { return status.panelText(0) != seen.last(); }, 2000));
        seen << status.panelText(0)
             << device::status_text::accessRefused(QStringLiteral("/dev/hidraw3"));
        FailingClose closing;
        QEvent close(QEvent::Close);
        application.notify(&closing, &close);
        seen << asked;
        for (const char* desc : {"desc01", "desc12"})
            seen << form.findChild<QLineEdit*>(QString::fromLatin1(desc))->text();
        EXPECT_EQ(seen.join('|'), texts.join('|'));

        for (const QString& text : seen.mid(7, 4)) {  // a cut-off text gets a tooltip
            form.statusView().setPanelText(0, text);
            EXPECT_EQ(status.panel(0)->toolTip(), QString());
        }
        EXPECT_EQ(clipped(*tabs), QString());
    }
    ui::useLanguage(QStringLiteral("ru"));
    application.setQuestionPresenter(nullptr);
    application.setErrorPresenter(nullptr);
}
