#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "support/fake_hid_library.hpp"
#include "support/program_app.hpp"
#include "support/recording_emitter.hpp"
#include "support/recording_library.hpp"
#include "ui/lifecycle.hpp"
#include "ui/status_panels.hpp"
#include "ui/tform1.hpp"
#include "ui/tray_icon.hpp"

namespace {

QLineEdit* edit(QWidget& w, const char* name) {
    return w.findChild<QLineEdit*>(QString::fromLatin1(name));
}

bool trayShown(ui::TForm1& f) {
    return f.trayIcon() && f.trayIcon()->systemTrayIcon().isVisible();
}

// A window built over its own settings file, with the steps of start-up and shutdown
// noted as they begin and the error boxes collected instead of shown.
class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        ASSERT_TRUE(dir.isValid());
        ini = dir.filePath("Control.ini");
        auto& o = options;
        o.settingsPath = ini;
        o.today = [this] { return today; };
        o.greet = [this] { greeted.push_back(steps.size()); };
        o.trayProbe = [] { return true; };
        o.trace = [this](const char* step) {
            steps.emplace_back(step);
            if (onStep) onStep(step);
        };
        testApp().setErrorPresenter(
            [this](const QString&, const QString& text) { errors.push_back(text); });
        testApp().setQuestionPresenter([this](const QString&, const QString& text) {
            errors.push_back("? " + text);
            return endAnyway;
        });
    }
    void TearDown() override {
        form.reset();
        testApp().setErrorPresenter(nullptr);
        testApp().setQuestionPresenter(nullptr);
    }
    void build() { form = std::make_unique<ui::TForm1>(hid, nullptr, options); }

    QString file() const {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    void writeFile(const QByteArray& bytes) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static int count(const QString& text, const QString& what) { return text.count(what); }
    void run() { QTest::qWait(50); }

    QTemporaryDir dir;
    QString ini;
    QDate today{2024, 10, 11};
    std::vector<std::string> steps;
    std::function<void(const char*)> onStep;
    std::vector<std::size_t> greeted;
    std::vector<QString> errors;  // error boxes, and questions after "? "
    bool endAnyway = false;       // the answer to the questions
    emulator::ControllerEmulator emulator;
    testing_support::RecordingLibrary hid{emulator};
    ui::LifecycleOptions options;
    std::unique_ptr<ui::TForm1> form;
};

TEST_F(Lifecycle, FormCreateStepsInOrder) {
    writeFile("[Key 01]\r\nSymbol=XY\r\n[Position]\r\nLeft=321\r\nTop=123\r\n");
    today = QDate(2030, 10, 12);
    struct Seen {
        std::string step;
        QString panel0, symbol01;
        bool trayShown;
        int left;
    };
    std::vector<Seen> seen;
    onStep = [&](const char* step) {
        if (!ui::Form1) return;
        auto& f = *ui::Form1;
        seen.push_back(
            {step, f.statusView().panelText(0), edit(f, "smb01")->text(), trayShown(f), f.x()});
    };
    bool statusAtConnect = true;
    hid.onConnect = [&] {
        statusAtConnect =
            ui::Form1->statusView().panelText(0) == QStringLiteral("Устройство не подключалось");
    };
    build();

    const std::vector<std::string> order = {
        "LatestMeasurements", "DeviceEventHook", "Connect", "status", "load", "Ic(1)",
        "showAtStart",        "greeting"};
    EXPECT_EQ(steps, order);
    // The hook listens before Connect announces the devices; the status texts come after.
    EXPECT_TRUE(hid.hookedAtConnect);
    EXPECT_FALSE(statusAtConnect);
    ASSERT_EQ(seen.size(), order.size());
    const auto at = [&](const char* step) {
        for (const auto& s : seen)
            if (s.step == step) return s;
        return Seen{};
    };
    EXPECT_EQ(at("load").panel0, QStringLiteral("Устройство не подключалось"));
    EXPECT_NE(at("load").symbol01, QStringLiteral("XY"));
    EXPECT_EQ(at("Ic(1)").symbol01, QStringLiteral("XY"));
    EXPECT_EQ(at("Ic(1)").left, 321);
    EXPECT_FALSE(at("Ic(1)").trayShown);
    EXPECT_TRUE(at("showAtStart").trayShown);
    // The greeting comes last, with the icon already in the tray.
    ASSERT_EQ(greeted.size(), 1u);
    EXPECT_EQ(greeted[0], order.size());
    EXPECT_TRUE(at("greeting").trayShown);

    EXPECT_FALSE(form->showAtStart());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->LatestMeasurements.AccVolts, 0);
}

TEST_F(Lifecycle, GreetingOnlyOnTheTwelfthOfOctober) {
    struct {
        QDate date;
        std::size_t boxes;
    } cases[] = {
        {{2024, 10, 12}, 1}, {{2024, 10, 11}, 0}, {{2024, 10, 13}, 0}, {{2025, 12, 10}, 0}};
    for (const auto& c : cases) {
        today = c.date;
        greeted.clear();
        build();
        EXPECT_EQ(greeted.size(), c.boxes) << c.date.toString().toStdString();
        form.reset();
    }
}

// The tray works while the greeting holds the start, so "Выход" may come before the
// message loop runs; the program must know it has ended.
TEST_F(Lifecycle, ExitDuringTheGreetingEndsTheStart) {
    today = {2024, 10, 12};
    options.greet = [] { ui::Form1->N4Click(); };
    build();
    EXPECT_TRUE(form->ended());
    EXPECT_FALSE(trayShown(*form));
    EXPECT_EQ(count(file(), "[Key 01]"), 1);
}

TEST_F(Lifecycle, NoTrayShowsTheWindowAtStart) {
    options.trayProbe = [] { return false; };
    build();
    EXPECT_TRUE(form->showAtStart());
    EXPECT_FALSE(trayShown(*form));
}

TEST_F(Lifecycle, CloseSavesOnceAfterRemovingTheIcon) {
    build();
    form->show();
    steps.clear();
    QString atRemoval = QStringLiteral("-");
    onStep = [&](const char* step) {
        if (std::string(step) == "Ic(2)") atRemoval = file();
    };
    EXPECT_TRUE(form->close());
    EXPECT_EQ(steps, (std::vector<std::string>{"Ic(2)", "Save_all"}));
    EXPECT_TRUE(atRemoval.isEmpty());  // nothing saved before the icon went
    EXPECT_FALSE(trayShown(*form));
    const QString saved = file();
    EXPECT_EQ(count(saved, "\r\n["), 13);
    EXPECT_TRUE(saved.startsWith("[Key 01]\r\n"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(Lifecycle, ExitSavesOnce) {
    build();
    edit(*form, "smb05")->setText(QStringLiteral("Q"));
    steps.clear();
    QString first;
    onStep = [&](const char* step) {
        if (std::string(step) == "Ic(2)") first = file();
    };
    form->N4->trigger();
    // The item's action runs once the menu has closed, from the event loop.
    EXPECT_TRUE(steps.empty());
    run();
    EXPECT_EQ(steps, (std::vector<std::string>{"Save_all", "Ic(2)"}));
    EXPECT_TRUE(
        first.contains("[Key 05]\r\nJ.Code=1024\r\nShift=0\r\nCtrl=0\r\nAlt=0\r\nSymbol=Q\r\n"));
    EXPECT_EQ(file(), first);
    EXPECT_FALSE(trayShown(*form));
    EXPECT_TRUE(errors.empty());
}

// Not under wine: there a file's read-only attribute is its Unix mode, which root (our CI)
// writes through.
#ifndef Q_OS_WIN
TEST_F(Lifecycle, ReadOnlySettingsFileKeepsTheProgramRunning) {
    const QByteArray old = "[Key 01]\r\nSymbol=OLD\r\n";
    writeFile(old);
    ASSERT_TRUE(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString expected = QStringLiteral("Unable to write to %1.").arg(ini);

    // "Выход": the error, and nothing else happens: icon and window stay.
    build();
    form->show();
    form->N4->trigger();
    run();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], expected);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(trayShown(*form));

    // Closing the window: the error, the window stays open, the icon stays gone.
    EXPECT_FALSE(form->close());
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[2], expected);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(trayShown(*form));
    EXPECT_EQ(file().toLatin1(), old);

    // Once the file can be written again, the close goes through.
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(errors.size(), 4u);
    EXPECT_TRUE(file().contains("Symbol=OLD"));
}
#endif

// After the error box the user may end without saving ("Да") or keep the program ("Нет").
TEST_F(Lifecycle, AFailedSaveAtTheEndOffersToEndWithoutSaving) {
    const QByteArray old = "[Key 01]\r\nSymbol=OLD\r\n";
    const QString question =
        QStringLiteral("? Настройки не сохранены. Завершить программу без сохранения?");
    struct {
        const char* what;
        std::function<void(ui::TForm1&)> end;
        bool answer;
        bool ended, tray;
    } cases[] = {
        {"Выход, Нет", [](ui::TForm1& f) { f.N4->trigger(); }, false, false, true},
        {"Выход, Да", [](ui::TForm1& f) { f.N4->trigger(); }, true, true, false},
        {"close box, Нет", [](ui::TForm1& f) { f.close(); }, false, false, false},
        {"close box, Да", [](ui::TForm1& f) { f.close(); }, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(ini);
        writeFile(old);
        ASSERT_TRUE(QFile::setPermissions(ini, QFile::ReadOwner));
        errors.clear();
        endAnyway = c.answer;
        build();
        form->show();
        c.end(*form);
        ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() >= 2; }, 5000));
        EXPECT_EQ(errors[1], question);
        // The answer's close, if any, comes from the event loop.
        EXPECT_EQ(QTest::qWaitFor([&] { return form->ended(); }, c.ended ? 5000 : 200), c.ended);
        EXPECT_EQ(form->isVisible(), !c.ended);
        EXPECT_EQ(trayShown(*form), c.tray);
        EXPECT_EQ(errors.size(), 2u);
        EXPECT_EQ(file().toLatin1(), old);
        form.reset();
    }
}

// The [System] numbers of the file steer the running key mapper: start-up hands them on.
TEST_F(Lifecycle, SystemSettingsSteerTheKeyMapper) {
    const std::vector<std::int32_t> held(8, 501);  // eight reports of one press
    struct {
        const char* system;  // the file's [System] lines
        std::vector<std::int32_t> codes;
        int taps;
    } cases[] = {
        {"", held, 1},                               // first repeat only after 200 reports
        {"Val.First=3\r\nVal.Next=2\r\n", held, 4},  // reports 1, 4, 6 and 8
        {"", {504}, 1},                              // tolerance 5
        {"Differ=2\r\n", {502}, 0},
        {"Differ=2\r\n", {501}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.system) + " codes " + std::to_string(c.codes.size()) + " from " +
                     std::to_string(c.codes[0]));
        // Only row 01 is near the codes sent; its key is A.
        writeFile(QByteArray("[Key 01]\r\nJ.Code=500\r\n[System]\r\n") + c.system);
        testing_support::FakeHidLibrary controller{7};
        testing_support::RecordingEmitter typed;
        form = std::make_unique<ui::TForm1>(controller, &typed, options);
        for (const std::int32_t code : c.codes) {
            device::Report report{};
            report[1] = device::ReportButtonCode;
            report[2] = static_cast<std::uint8_t>(code & 0xFF);
            report[3] = static_cast<std::uint8_t>(code >> 8);
            controller.reads.push_back(report);
            emit controller.DeviceNotifyMessage(device::NotifyRead, 7);
        }
        std::vector<testing_support::RecordingEmitter::Event> expected;
        for (int t = 0; t < c.taps; ++t) expected.insert(expected.end(), {{65, true}, {65, false}});
        EXPECT_EQ(typed.events, expected);
        form.reset();
    }
}

// A refused open is explained on stderr as it happens (the wording is the open-failure
// test's).
TEST_F(Lifecycle, AControllerThatMayNotBeOpenedIsExplained) {
    testing_support::FakeHidLibrary controller{7};
    controller.openErrors[7] = EACCES;
    form = std::make_unique<ui::TForm1>(controller, nullptr, options);
    app::explainOpenFailures(controller, *form);
    static std::vector<QString> said;
    said.clear();
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& m) {
            if (type == QtWarningMsg && m.contains("found the controller")) said.push_back(m);
        });
    emit controller.openFailed(7);
    qInstallMessageHandler(before);
    ASSERT_EQ(said.size(), 1u);
    // Named after the running program: here the test's.
    EXPECT_TRUE(said[0].startsWith(QCoreApplication::applicationName() +
                                   ": found the controller at /dev/hidraw7 but may not open it: "
                                   "Permission denied;"))
        << said[0].toStdString();
}

TEST_F(Lifecycle, TrayClicksAndMenuShowAndHide) {
    build();
    auto& tray = form->trayIcon()->systemTrayIcon();
    struct {
        const char* what;
        std::function<void()> act;
        bool visibleAfter;
    } steps_[] = {
        {"left click", [&] { emit tray.activated(QSystemTrayIcon::Trigger); }, true},
        {"right click", [&] { emit tray.activated(QSystemTrayIcon::Context); }, true},
        {"left click again", [&] { emit tray.activated(QSystemTrayIcon::Trigger); }, false},
        {"Развернуть", [&] { form->N1->trigger(); }, true},
        {"Развернуть while shown", [&] { form->N1->trigger(); }, true},
        {"Свернуть", [&] { form->N2->trigger(); }, false},
        {"Свернуть while hidden", [&] { form->N2->trigger(); }, false},
        {"Развернуть", [&] { form->N1->trigger(); }, true},
        {"tab Свернуть", [&] { form->findChild<QTabBar*>("TabControl1")->setCurrentIndex(3); },
         false},
        {"Развернуть", [&] { form->N1->trigger(); }, true},
        {"minimised from the taskbar", [&] { form->showMinimized(); }, true},
        {"Развернуть on the minimised window", [&] { form->N1->trigger(); }, true},
    };
    for (const auto& s : steps_) {
        s.act();
        run();
        EXPECT_EQ(form->isVisible(), s.visibleAfter) << s.what;
        // Only the taskbar's own step leaves it minimised.
        EXPECT_EQ(form->isMinimized(), std::string(s.what) == "minimised from the taskbar")
            << s.what;
    }
    EXPECT_FALSE(QFile::exists(ini));  // showing and hiding saves nothing
}

}  // namespace
