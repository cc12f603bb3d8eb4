// The simulator window drives the emulator the way its controls say, and shows what
// others (the control socket, the slow variation, the program's writes) did to it.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include "demo/simulator_window.hpp"
#include "device/conversions.hpp"
#include "emulator/controller_emulator.hpp"

class SimulatorWindowTest : public QObject {
    Q_OBJECT
private:
    template <typename T>
    T* child(const char* name) {
        return window_->findChild<T*>(QLatin1String(name));
    }

    std::unique_ptr<emulator::ControllerEmulator> emulator_;
    std::unique_ptr<demo::SimulatorWindow> window_;

private slots:
    void init() {
        emulator_ = std::make_unique<emulator::ControllerEmulator>();
        window_ = std::make_unique<demo::SimulatorWindow>(*emulator_);
    }
    void cleanup() {
        window_.reset();
        emulator_.reset();
    }

    void slidersSetRawTelemetry() {
        emulator_->setVariation(true);
        struct Case {
            const char* slider;
            int value;
        };
        for (const Case k :
             {Case{"simAcc", 1380}, Case{"simAtx", 1210}, Case{"simTemperature", 250},
              Case{"simTemperature", -400}, Case{"simAcc", 0}}) {
            child<QSlider>(k.slider)->setValue(k.value);
            QVERIFY(!emulator_->variation());
            QVERIFY(!child<QCheckBox>("simAuto")->isChecked());
        }
        // Each slider's last value, through the inverse of its conversion.
        const emulator::RawTelemetry t = emulator_->telemetry();
        QCOMPARE(t.acc, emulator::accRawFor(0));
        QCOMPARE(t.atx, emulator::atxRawFor(12.10L));
        QCOMPARE(t.temperature, emulator::temperatureRawFor(-40));
        QCOMPARE(std::abs(static_cast<double>(device::rawToAtxVolts(t.atx)) - 12.10) < 0.01, true);

        child<QCheckBox>("simAuto")->click();
        QVERIFY(emulator_->variation());
        child<QCheckBox>("simAuto")->click();
        QVERIFY(!emulator_->variation());
    }

    void showsWhatOthersSet() {
        // As the control socket's "adc 100 200 65535" would.
        emulator_->setTelemetry({100, 200, 65535});
        window_->refresh();
        QCOMPARE(child<QSlider>("simAcc")->value(), demo::SimulatorWindow::sliderForAccRaw(100));
        QCOMPARE(child<QSlider>("simAtx")->value(), demo::SimulatorWindow::sliderForAtxRaw(200));
        // Beyond the slider's range the knob stops at the end; the label tells the truth.
        QCOMPARE(child<QSlider>("simTemperature")->value(),
                 child<QSlider>("simTemperature")->maximum());
        QStringList labels;
        for (QLabel* l : window_->findChildren<QLabel*>()) labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("1.79 V = 100")));
        QVERIFY(labels.contains(QStringLiteral("31739.5 °C = 65535")));
        // Beside the main window the two read alike: with the locale's decimal separator.
        QLocale::setDefault(QLocale(QLocale::Russian));
        window_->refresh();
        QLocale::setDefault(QLocale::system());
        labels.clear();
        for (QLabel* l : window_->findChildren<QLabel*>()) labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("1,79 V = 100")));
        // Refreshing wrote nothing back into the emulator.
        QCOMPARE(emulator_->telemetry(), (emulator::RawTelemetry{100, 200, 65535}));

        emulator_->setRate(250);
        emulator_->unplug();
        emulator_->plugOther();
        window_->refresh();
        QCOMPARE(child<QSpinBox>("simRate")->value(), 250);
        QCOMPARE(emulator_->rate(), 250);
        QVERIFY(!child<QCheckBox>("simPlugged")->isChecked());
        QVERIFY(child<QCheckBox>("simOtherPlugged")->isChecked());
    }

    void devicesAndRateFollowTheControls() {
        child<QCheckBox>("simPlugged")->click();
        QVERIFY(!emulator_->isPlugged());
        child<QCheckBox>("simPlugged")->click();
        QVERIFY(emulator_->isPlugged());
        child<QCheckBox>("simOtherPlugged")->click();
        QVERIFY(emulator_->isOtherPlugged());
        child<QSpinBox>("simRate")->setValue(123);
        QCOMPARE(emulator_->rate(), 123);
    }

    void wheelButtonsSendTheirCodesWhileHeld() {
        QList<int> codes;
        connect(emulator_.get(), &emulator::ControllerEmulator::inputReport, this,
                [&codes](const device::Report& r) {
                    if (r[1] == device::ReportButtonCode) codes << device::decodeButtonCode(r);
                });
        // Defaults well apart; the first one is the key table's default code.
        QCOMPARE(window_->wheelCode(0)->value(), 1024);
        for (int i = 1; i < demo::SimulatorWindow::WheelButtons; ++i)
            QVERIFY(window_->wheelCode(i)->value() - window_->wheelCode(i - 1)->value() > 50);

        window_->wheelCode(4)->setValue(700);
        QTest::mousePress(window_->wheelButton(4), Qt::LeftButton);
        QVERIFY(emulator_->isHeld());
        QTRY_VERIFY(codes.size() >= 5);
        QTest::mouseRelease(window_->wheelButton(4), Qt::LeftButton);
        QVERIFY(!emulator_->isHeld());
        QVERIFY(std::all_of(codes.begin(), codes.end(), [](int c) { return c == 700; }));
        const auto sent = codes.size();
        QTest::qWait(50);
        QCOMPARE(codes.size(), sent);
    }

    void blockShownLive() {
        auto* hex = child<QLabel>("simBlockHex");
        const auto shown = [hex] { return hex->text().simplified(); };
        QCOMPARE(shown(), device::formatBlockBytes(emulator_->blockBytes()));
        device::RawParameterBlock block = device::factoryParameterBlock();
        block.u1 = 0x0200;
        block.x = 9;
        device::Report out{};
        device::writeParameterBlock(out, block);
        emulator_->receive(out);
        QCOMPARE(shown(), device::formatBlockBytes(device::blockBytesOf(block)));
        QStringList labels;
        for (QLabel* l : window_->findChildren<QLabel*>()) labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("9")));
        QVERIFY(labels.contains(QStringLiteral("7.79 V")));  // (512 + 20) / 1024 * 15
        // T1 as the parameter page shows it: the factory's 0x0214 is -0.2 degrees, shown 0.
        QVERIFY(labels.contains(QStringLiteral("0 °C")));
    }

    void placedBesideTheMainWindow() {
        // Russian (the widest) on a 1024 px screen: beside the main window's frame, 491 px
        // at x 102 as its form places it, with the gap and our own 2 px frame.
        QVERIFY2(window_->sizeHint().width() <= 1024 - (102 + 491) - 8 - 2,
                 qPrintable(QString::number(window_->sizeHint().width())));
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget main;
        main.setFixedSize(200, 150);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        const int w = window_->frameGeometry().width();
        QVERIFY2(w + 200 + 8 <= room.width(), "the screen is too small for this test");
        struct Case {
            int mainX;
            int expectedX;
        };
        for (const Case k : {Case{room.left(), room.left() + 200 + 8},
                             Case{room.right() + 1 - 200, room.right() + 1 - 200 - 8 - w}}) {
            main.move(k.mainX, room.top() + 20);
            window_->placeBeside(main);
            QCOMPARE(window_->frameGeometry().left(), k.expectedX);
            QCOMPARE(window_->frameGeometry().top(), room.top());
            QVERIFY(room.contains(window_->frameGeometry()));
        }
    }

    void takesNoFocusUnlessTold() {
        QVERIFY(window_->takesNoFocus());
        QVERIFY(child<QCheckBox>("simNoFocus")->isChecked());
        child<QCheckBox>("simNoFocus")->click();
        QVERIFY(!window_->takesNoFocus());
    }
};

QTEST_MAIN(SimulatorWindowTest)
#include "simulator_window_test.moc"
