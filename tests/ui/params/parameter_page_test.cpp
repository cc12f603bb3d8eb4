#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "device/commands.hpp"
#include "device/device_event_hook.hpp"
#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "params/parameter_fields.hpp"
#include "params/parameter_form.hpp"
#include "support/device_views.hpp"
#include "support/recording_library.hpp"
#include "support/wait.hpp"
#include "support/widget_app.hpp"
#include "ui/parameter_page.hpp"

namespace {

// The emulator's factory block, byte by byte.
const device::ParameterBlockBytes kFactoryBlock{
    0x03, 0x1f, 0x02, 0x14, 0x1e, 0x28, 0x3c, 0x14, 0x05, 0x03, 0xe8, 0x01, 0xf4,
    0x03, 0xe8, 0x01, 0xf4, 0x03, 0xe8, 0x01, 0xf4, 0x01, 0xf4, 0x02, 0x01, 0x00};

// The parameters page as the window's form lays it out: the edits partly inside group
// boxes, the check box and the two buttons.
struct Window {
    struct AppFirst {
        AppFirst() { testing_support::widgetApp(); }
    } appFirst;  // before any widget
    QWidget top;
    QWidget* Panel2;
    emulator::ControllerEmulator emulator;
    testing_support::RecordingLibrary hid{emulator};
    device::Report InReport{};
    device::Report OutReport{};
    device::Measurements latest;
    testing_support::NullStatus status;
    device::DeviceEventHook hook{hid, InReport, latest, status};
    std::unique_ptr<ui::ParameterPage> page;

    explicit Window(QChar separator) {
        top.setWindowTitle(QStringLiteral("Drevonix v2.2"));
        Panel2 = new QWidget(&top);
        Panel2->setObjectName(QStringLiteral("Panel2"));
        auto* group = new QWidget(Panel2);
        int y = 0;
        for (const auto& field : params::ParameterFields) {
            auto* e = new QLineEdit(y < 7 ? Panel2 : group);
            e->setObjectName(QString(field.name));
            e->setText(QString(field.defaultText));
            e->setGeometry(0, 22 * (y++ % 7), 41, 21);
        }
        auto* box = new QCheckBox(QStringLiteral("Игнорировать температуру"), Panel2);
        box->setObjectName(QStringLiteral("ignoreT"));
        auto* read = new QPushButton(QStringLiteral("Прочитать"), Panel2);
        read->setObjectName(QStringLiteral("Button_ReadData"));
        auto* write = new QPushButton(QStringLiteral("Записать"), Panel2);
        write->setObjectName(QStringLiteral("Button_WriteData"));

        page = std::make_unique<ui::ParameterPage>(Panel2, hid, OutReport, separator);
        hook.setParameterDisplay(page.get());
        hook.attach();
        hid.Connect();
        top.show();
        // Connected and read notifications on before anything is asked.
        testing_support::runFor(50);
    }

    QLineEdit* edit(const char* name) const {
        return Panel2->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const {
        return Panel2->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QStringList texts() const {
        QStringList t;
        for (int i = 0; i < params::ParameterFieldCount; ++i) t << page->fieldText(i);
        return t;
    }
};

TEST(ParameterPageKeys, TypedCharactersAreFilteredOnEveryEdit) {
    Window w(QLatin1Char(','));
    struct {
        QString typed;
        bool inserted;
    } cases[] = {
        {QStringLiteral("a"), false}, {QStringLiteral("A"), false}, {QStringLiteral("z"), false},
        {QStringLiteral("ж"), false}, {QStringLiteral("Ё"), false}, {QStringLiteral(" "), false},
        {QStringLiteral("/"), false}, {QStringLiteral("+"), false}, {QStringLiteral("*"), false},
        {QStringLiteral("-"), true},  {QStringLiteral(","), true},  {QStringLiteral("."), true},
        {QStringLiteral("7"), true},
    };
    for (const auto& field : params::ParameterFields) {
        QLineEdit* e = w.edit(QString(field.name).toLatin1().constData());
        ASSERT_NE(e, nullptr);
        for (const auto& c : cases) {
            SCOPED_TRACE((QString(field.name) + QStringLiteral(" typed ") + c.typed).toStdString());
            e->clear();
            e->setFocus();
            const QChar ch = c.typed.front();
            if (ch.unicode() < 0x80)
                QTest::keyClick(e, ch.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, c.typed, Qt::NoModifier);
            EXPECT_EQ(e->text(), c.inserted ? c.typed : QString());
        }
    }

    // Editing keys still work, and a composed text keeps only what passes.
    QLineEdit* e = w.edit("eN1");
    e->setText(QStringLiteral("123"));
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Backspace);
    EXPECT_EQ(e->text(), QStringLiteral("12"));
    QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QStringLiteral("4я5"), Qt::NoModifier);
    EXPECT_EQ(e->text(), QStringLiteral("1245"));
}

TEST(ParameterPageKeys, PastedTextIsNotFiltered) {
    Window w(QLatin1Char(','));
    QLineEdit* e = w.edit("eACC");
    e->clear();
    e->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("ab 12"));
    if (QApplication::clipboard()->text() != QStringLiteral("ab 12"))
        GTEST_SKIP() << "no clipboard on this platform";
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(e->text(), QStringLiteral("ab 12"));
}

// The tab switch runs the read: the form is emptied and command 1 goes out; the
// controller's answer refills it, in the locale's notation. (That it does so whichever
// page is in front is the whole window's test.)
TEST(ParameterPageRead, ClearsSendsCommandOneAndTheAnswerRefillsTheForm) {
    for (const QChar sep : {QChar(QLatin1Char(',')), QChar(QLatin1Char('.'))}) {
        SCOPED_TRACE(QString(sep).toStdString());
        Window w(sep);
        device::RawParameterBlock block = device::factoryParameterBlock();
        block.u1 = 876;
        block.t1 = 492;
        block.n[0] = 0;
        block.timing[6] = 4321;
        block.y = 200;
        block.ignoreT = 1;
        device::Report command{};
        device::writeParameterBlock(command, block);
        w.emulator.receive(command);
        ASSERT_EQ(w.emulator.parameterBlock(), block);

        w.page->Button_ReadDataClick();  // what TabControl1Change does for tab 1

        EXPECT_EQ(w.texts(), QStringList(QList<QString>(params::ParameterFieldCount)));
        EXPECT_FALSE(w.page->ignoreTBox()->isChecked());
        ASSERT_EQ(w.hid.sent.size(), 1u);
        EXPECT_EQ(w.hid.sent[0][1], device::CmdReadParameters);

        const QString u1 = QStringLiteral("13") + sep + QStringLiteral("13");
        ASSERT_TRUE(testing_support::waitUntil([&] { return w.page->fieldText(0) == u1; }, 3000));
        EXPECT_EQ(w.texts(), (QStringList{u1, "-20", "0", "40", "60", "20", "5", "1000", "500",
                                          "1000", "500", "1000", "500", "4321", "2", "200"}));
        EXPECT_TRUE(w.page->ignoreTBox()->isChecked());
    }
}

TEST(ParameterPageRead, TheButtonRunsTheRead) {
    Window w(QLatin1Char(','));
    w.page->ignoreTBox()->setChecked(true);
    QTest::mouseClick(w.button("Button_ReadData"), Qt::LeftButton);
    EXPECT_FALSE(w.page->ignoreTBox()->isChecked());
    ASSERT_EQ(w.hid.sent.size(), 1u);
    EXPECT_EQ(w.hid.sent[0][1], device::CmdReadParameters);
    EXPECT_TRUE(testing_support::waitUntil(
        [&] { return w.page->fieldText(0) == QStringLiteral("12,00"); }, 3000));
}

// Writing a form that a read left empty: one message with the program's caption, no
// icon and only OK; timers keep running under it; the defaults go out with command 2.
TEST(ParameterPageWrite, EmptyFormShowsTheMessageOnceAndSendsTheDefaults) {
    Window w(QLatin1Char(','));
    // Another block in the controller, so that the write visibly replaces it.
    device::RawParameterBlock other = device::factoryParameterBlock();
    other.n = {1, 2, 3, 4, 5};
    device::Report command{};
    device::writeParameterBlock(command, other);
    w.emulator.receive(command);
    for (int i = 0; i < params::ParameterFieldCount; ++i) w.page->setFieldText(i, QString());

    struct Seen {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::Critical;
        int buttons = 0;
        QStringList fieldsWhileOpen;
    };
    std::vector<Seen> boxes;
    QTimer closer;
    QElapsedTimer openFor;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (!openFor.isValid()) openFor.start();
        if (openFor.elapsed() < 200) return;  // let the telemetry timer tick meanwhile
        boxes.push_back({box->windowTitle(), box->text(), box->icon(),
                         static_cast<int>(box->buttons().size()), w.texts()});
        openFor.invalidate();
        box->button(QMessageBox::Ok)->click();
    });
    closer.start();
    QTimer telemetryTick;
    QObject::connect(&telemetryTick, &QTimer::timeout,
                     [&] { device::RequestADC(w.hid, w.OutReport); });
    telemetryTick.start(20);

    QTest::mouseClick(w.button("Button_WriteData"), Qt::LeftButton);
    telemetryTick.stop();
    closer.stop();

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Drevonix v2.2"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Один или несколько параметров введены с ошибками.\n"
                                            "Исправлены и записаны значения по-умолчанию."));
    EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(boxes[0].buttons, 1);
    const QStringList defaults = {"12",  "0",    "30",  "40",   "60",  "20",  "5", "1000",
                                  "500", "1000", "500", "1000", "500", "500", "2", "1"};
    EXPECT_EQ(boxes[0].fieldsWhileOpen, defaults);
    EXPECT_EQ(w.texts(), defaults);

    // The block's bytes are the form's unit test; here, that the write went out after the
    // ticks and reached the controller.
    ASSERT_GE(w.hid.sent.size(), 2u);  // telemetry requests, then the write
    EXPECT_EQ(w.hid.sent.back()[1], device::CmdWriteParameters);
    for (std::size_t i = 0; i + 1 < w.hid.sent.size(); ++i)
        EXPECT_EQ(w.hid.sent[i][1], device::CmdRequestTelemetry);
    EXPECT_EQ(w.emulator.blockBytes(), kFactoryBlock);
}

TEST(ParameterPageWrite, AValidFormIsWrittenWithoutAMessage) {
    Window w(QLatin1Char('.'));
    w.edit("eACC")->setText(QStringLiteral("15"));
    w.edit("eN1")->setText(QStringLiteral("30.6"));
    w.page->ignoreTBox()->setChecked(true);
    bool sawBox = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            sawBox = true;
            box->button(QMessageBox::Ok)->click();
        }
    });
    watch.start(10);
    QTest::mouseClick(w.button("Button_WriteData"), Qt::LeftButton);
    watch.stop();
    EXPECT_FALSE(sawBox);
    // 15 V, eN1 31, the check box on; the rest as from the factory.
    const device::ParameterBlockBytes expected{0x03, 0xec, 0x02, 0x14, 0x1f, 0x28, 0x3c, 0x14, 0x05,
                                               0x03, 0xe8, 0x01, 0xf4, 0x03, 0xe8, 0x01, 0xf4, 0x03,
                                               0xe8, 0x01, 0xf4, 0x01, 0xf4, 0x02, 0x01, 0x01};
    EXPECT_EQ(w.emulator.blockBytes(), expected);
}

}  // namespace

namespace {

TEST(ParameterPageLifetime, ControlsOutliveThePageSafely) {
    Window w(QLatin1Char(','));
    w.hook.setParameterDisplay(nullptr);
    w.page.reset();
    QLineEdit* e = w.edit("eN1");
    e->clear();
    e->setFocus();
    QTest::keyClick(e, 'a');  // no filter any more, and no dangling one either
    EXPECT_EQ(e->text(), QStringLiteral("a"));
    QTest::mouseClick(w.button("Button_ReadData"), Qt::LeftButton);
    EXPECT_TRUE(w.hid.sent.empty());
}

}  // namespace
