// What the demo adds around the main window: the socket from the environment, the key
// mapper's WindowActive and report count behind it, and the simulator window that follows
// the main window.
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "demo/control_socket.hpp"
#include "demo/demo_support.hpp"
#include "demo/simulator_window.hpp"
#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "ui/tform1.hpp"

class DemoSupportTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    static QString ask(demo::ControlSocket& socket, const char* command) {
        QString answer;
        const QString now = socket.execute(command, [&answer](const QString& a) { answer = a; });
        return now.isEmpty() ? answer : now;
    }

private slots:
    void noSocketWithoutTheVariable() {
        qunsetenv(demo::ControlSocket::EnvironmentVariable);
        emulator::ControllerEmulator emulator;
        demo::DemoSupport support(emulator, [] { return static_cast<QWidget*>(nullptr); });
        QTest::qWait(50);
        QVERIFY(!support.socket());
    }

#ifndef Q_OS_WIN  // a Windows pipe name has no folders that could be missing
    void unusablePathLeavesTheDemoWithoutSocket() {
        qputenv(demo::ControlSocket::EnvironmentVariable,
                QFile::encodeName(dir_.filePath(QStringLiteral("no/such/dir/sock"))));
        emulator::ControllerEmulator emulator;
        demo::DemoSupport support(emulator, [] { return static_cast<QWidget*>(nullptr); });
        QTest::qWait(50);
        QVERIFY(!support.socket());
    }
#endif

    void socketAndSimulatorAroundTheMainWindow() {
        const QString path = dir_.filePath(QStringLiteral("demo.sock"));
        qputenv(demo::ControlSocket::EnvironmentVariable, QFile::encodeName(path));
        emulator::ControllerEmulator emulator;
        emulator::SimulatedLibrary hid(emulator);
        std::unique_ptr<ui::TForm1> form;
        demo::DemoSupport support(emulator, [&form] { return static_cast<QWidget*>(form.get()); });
        // Not before the loop runs: a second start never gets that far.
        QVERIFY(!support.socket());
        QTRY_VERIFY(support.socket());
        QCOMPARE(support.socket()->path(), path);
        // Asked before the window exists.
        QCOMPARE(ask(*support.socket(), "get WindowActive"),
                 QStringLiteral("error: the main window is not up yet"));
        form = std::make_unique<ui::TForm1>(hid);
        QCOMPARE(ask(*support.socket(), "get WindowActive"), QStringLiteral("ok 0"));
        // The press going on, as the key mapper counts it (a code no row answers).
        QCOMPARE(ask(*support.socket(), "get ReportCount"), QStringLiteral("ok 0"));
        form->keyMapper().JoyCode(30000);
        form->keyMapper().JoyCode(30000);
        QCOMPARE(ask(*support.socket(), "get ReportCount"), QStringLiteral("ok 2"));

        // Hidden at start with the main window; up beside it once the main window shows.
        QTest::qWait(50);
        QVERIFY(!support.simulator().isVisible());
        form->show();
        QTRY_VERIFY(support.simulator().isVisible());
        QVERIFY(support.simulator().frameGeometry().left() != form->frameGeometry().left());
        // It stays when the main window goes to the tray, so wheel presses go on.
        form->hide();
        QTest::qWait(50);
        QVERIFY(support.simulator().isVisible());

        form->show();
        form->activateWindow();
        QTRY_COMPARE(ask(*support.socket(), "get WindowActive"), QStringLiteral("ok 1"));
        form.reset();
        for (const char* command : {"get WindowActive", "get ReportCount"})
            QCOMPARE(ask(*support.socket(), command),
                     QStringLiteral("error: the main window is not up yet"));
    }
};

QTEST_MAIN(DemoSupportTest)
#include "demo_support_test.moc"
