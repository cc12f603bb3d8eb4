// Switching to the parameters tab re-reads the controller's block, and the answer fills
// the form whichever page is in front when it arrives.
#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "ui/lifecycle.hpp"
#include "ui/tform1.hpp"

namespace {

class TabReadTest : public QObject {
    Q_OBJECT

    std::unique_ptr<emulator::ControllerEmulator> emulator_;
    std::unique_ptr<emulator::SimulatedLibrary> hid_;
    std::unique_ptr<ui::TForm1> form_;
    QTemporaryDir dir_;

    template <class T>
    T* control(const char* name) {
        return form_->findChild<T*>(QString::fromLatin1(name));
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        ui::LifecycleOptions options;
        options.settingsPath = dir_.filePath(QStringLiteral("Control.ini"));
        options.greet = [] {};
        options.trayProbe = [] { return false; };
        emulator_ = std::make_unique<emulator::ControllerEmulator>();
        // A block that differs from the form's initial texts in every kind of field.
        device::RawParameterBlock block = device::factoryParameterBlock();
        block.u1 = 876;  // 13.125 V
        block.n[0] = 0;  // shown as it came, though below the accepted range
        block.timing[6] = 4321;
        block.ignoreT = 1;
        device::Report command{};
        device::writeParameterBlock(command, block);
        emulator_->receive(command);
        hid_ = std::make_unique<emulator::SimulatedLibrary>(*emulator_);
        form_ = std::make_unique<ui::TForm1>(*hid_, nullptr, options);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() {
        form_.reset();
        hid_.reset();
        emulator_.reset();
    }

    void readFillsTheForm_data() {
        QTest::addColumn<int>("tabWhenTheAnswerComes");
        QTest::newRow("parameters page in front") << 1;
        QTest::newRow("buttons page in front") << 2;
        QTest::newRow("indicators page in front") << 0;
    }
    void readFillsTheForm() {
        QFETCH(int, tabWhenTheAnswerComes);
        auto* tabs = control<QTabBar>("TabControl1");
        auto* eACC = control<QLineEdit>("eACC");
        auto* eN1 = control<QLineEdit>("eN1");
        auto* eD = control<QLineEdit>("eMNT_SRS_D");
        auto* ignoreT = control<QCheckBox>("ignoreT");
        QCOMPARE(eN1->text(), QStringLiteral("30"));

        tabs->setCurrentIndex(1);
        // The read empties the form at once; the answer comes later from the event loop.
        QCOMPARE(eACC->text(), QString());
        QCOMPARE(eN1->text(), QString());
        QVERIFY(!ignoreT->isChecked());
        QCOMPARE(form_->OutReport[1], device::CmdReadParameters);
        if (tabWhenTheAnswerComes != 1) tabs->setCurrentIndex(tabWhenTheAnswerComes);

        const QString sep = QLocale().decimalPoint();
        QTRY_COMPARE_WITH_TIMEOUT(eACC->text(), QStringLiteral("13") + sep + QStringLiteral("13"),
                                  3000);
        QCOMPARE(eN1->text(), QStringLiteral("0"));
        QCOMPARE(eD->text(), QStringLiteral("4321"));
        QVERIFY(ignoreT->isChecked());
        QCOMPARE(tabs->currentIndex(), tabWhenTheAnswerComes);
    }

    void everyVisitLosesUnsavedEdits() {
        auto* tabs = control<QTabBar>("TabControl1");
        auto* eN2 = control<QLineEdit>("eN2");
        tabs->setCurrentIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(eN2->text(), QStringLiteral("40"), 3000);
        eN2->setText(QStringLiteral("77"));
        tabs->setCurrentIndex(0);
        QCOMPARE(eN2->text(), QStringLiteral("77"));
        tabs->setCurrentIndex(1);
        QCOMPARE(eN2->text(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(eN2->text(), QStringLiteral("40"), 3000);
    }
};

}  // namespace

QTEST_MAIN(TabReadTest)
#include "tab_read_test.moc"
