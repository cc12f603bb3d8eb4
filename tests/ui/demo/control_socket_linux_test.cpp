// The control socket over the real main window and the emulated controller: every
// command through a real local socket, answers in order, bad input, several clients.
#include <qcustomplot.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "demo/control_socket.hpp"
#include "demo/window_state.hpp"
#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "ui/tform1.hpp"

namespace {

// A client of the socket in the same thread: the server needs the event loop to answer.
class Client {
public:
    explicit Client(const QString& path) {
        socket_.connectToServer(path);
        QElapsedTimer t;
        t.start();
        while (socket_.state() != QLocalSocket::ConnectedState && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    bool connected() const { return socket_.state() == QLocalSocket::ConnectedState; }
    void send(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    // The next answer line, or "(none)" after `ms`.
    QString next(int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!socket_.canReadLine() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!socket_.canReadLine()) return QStringLiteral("(none)");
        QByteArray line = socket_.readLine();
        line.chop(1);
        return QString::fromUtf8(line);
    }
    QString ask(const QString& command, int ms = 5000) {
        send(command.toUtf8() + '\n');
        return next(ms);
    }
    bool silent(int ms) {
        QTest::qWait(ms);
        return !socket_.canReadLine();
    }

private:
    QLocalSocket socket_;
};

}  // namespace

class ControlSocketTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::unique_ptr<emulator::ControllerEmulator> emulator_;
    std::unique_ptr<emulator::SimulatedLibrary> hid_;
    std::unique_ptr<ui::TForm1> form_;
    std::unique_ptr<demo::ControlSocket> socket_;
    QString path_;
    int reports_ = 0;

    QString pathIn(const char* name) const { return dir_.filePath(QLatin1String(name)); }

private slots:
    void init() {
        emulator_ = std::make_unique<emulator::ControllerEmulator>(pathIn("controller.state"));
        hid_ = std::make_unique<emulator::SimulatedLibrary>(*emulator_);
        form_ = std::make_unique<ui::TForm1>(*hid_);
        reports_ = 0;
        connect(emulator_.get(), &emulator::ControllerEmulator::inputReport, this,
                [this](const device::Report& r) {
                    if (r[1] == device::ReportButtonCode) ++reports_;
                });
        socket_ = std::make_unique<demo::ControlSocket>(
            *emulator_, [this] { return static_cast<QWidget*>(form_.get()); });
        path_ = pathIn("sim.sock");
        QVERIFY2(socket_->listen(path_), qPrintable(socket_->errorString()));
        // The hook's first round: the controller announced, the status bar written.
        QTRY_COMPARE(demo::readControlState(form_.get(), "StatusBar.0").text,
                     QStringLiteral("Устройство подключено"));
    }
    void cleanup() {
        socket_.reset();
        form_.reset();
        hid_.reset();
        emulator_.reset();
    }

    void devicesFollowTheirCommands() {
        Client c(path_);
        QVERIFY(c.connected());
        QCOMPARE(c.ask("unplug"), QStringLiteral("ok"));
        QVERIFY(!emulator_->isPlugged());
        QTRY_COMPARE(c.ask("get StatusBar.0"), QStringLiteral("ok Устройство отключено"));
        QCOMPARE(c.ask("unplug"), QStringLiteral("ok"));  // nothing to do is no failure
        QCOMPARE(c.ask("plug"), QStringLiteral("ok"));
        QVERIFY(emulator_->isPlugged());
        QTRY_COMPARE(c.ask("get StatusBar.0"), QStringLiteral("ok Устройство подключено"));
        QCOMPARE(c.ask("other plug"), QStringLiteral("ok"));
        QVERIFY(emulator_->isOtherPlugged());
        QCOMPARE(c.ask("other unplug"), QStringLiteral("ok"));
        QVERIFY(!emulator_->isOtherPlugged());
    }

    void adcFixesTelemetryUntilAuto() {
        Client c(path_);
        emulator_->setVariation(true);
        QCOMPARE(c.ask("adc 100 200 65535"), QStringLiteral("ok"));
        QVERIFY(!emulator_->variation());
        QCOMPARE(emulator_->telemetry(), (emulator::RawTelemetry{100, 200, 65535}));
        QCOMPARE(c.ask("adc auto"), QStringLiteral("ok"));
        QVERIFY(emulator_->variation());
        QCOMPARE(c.ask("rate 250"), QStringLiteral("ok"));
        QCOMPARE(emulator_->rate(), 250);
    }

    void holdSendsUntilRelease() {
        Client c(path_);
        QCOMPARE(c.ask("rate 500"), QStringLiteral("ok"));
        QCOMPARE(c.ask("hold 700"), QStringLiteral("ok"));
        QVERIFY(emulator_->isHeld());
        QTRY_VERIFY(reports_ >= 20);
        QCOMPARE(c.ask("release"), QStringLiteral("ok"));
        QVERIFY(!emulator_->isHeld());
        const int atRelease = reports_;
        QTest::qWait(100);
        QCOMPARE(reports_, atRelease);
        QCOMPARE(c.ask("unplug"), QStringLiteral("ok"));
        QCOMPARE(c.ask("hold 700"), QStringLiteral("error: the controller is unplugged"));
        QCOMPARE(c.ask("burst 700 5"), QStringLiteral("error: the controller is unplugged"));
    }

    void burstAnswersAfterItsLastReport() {
        Client c(path_);
        QCOMPARE(c.ask("rate 1000"), QStringLiteral("ok"));
        struct Case {
            int count;
        };
        for (const Case k : {Case{1}, Case{25}, Case{300}}) {
            reports_ = 0;
            // The next command waits behind the burst and is answered after it.
            c.send(QStringLiteral("burst 700 %1\nblock\n").arg(k.count).toUtf8());
            QCOMPARE(c.next(), QStringLiteral("ok"));
            QCOMPARE(reports_, k.count);
            QVERIFY(c.next().startsWith(QLatin1String("ok ")));
            QTest::qWait(30);
            QCOMPARE(reports_, k.count);
        }
    }

    void burstCutShortIsAnError() {
        Client a(path_), b(path_);
        QCOMPARE(a.ask("rate 100"), QStringLiteral("ok"));
        a.send("burst 700 1000\n");
        QTRY_VERIFY(reports_ >= 3);
        // Another client's command reaches its answer while the first one still waits.
        QCOMPARE(b.ask("get tab"), QStringLiteral("ok 0"));
        QVERIFY(a.silent(50));
        QCOMPARE(b.ask("release"), QStringLiteral("ok"));
        const QString cut = a.next();
        QVERIFY2(cut.startsWith(QLatin1String("error: burst cut short after ")), qPrintable(cut));
        QVERIFY(cut.endsWith(QLatin1String(" of 1000 reports")));
        // An unplug in the middle cuts it short too.
        a.send("burst 700 1000\n");
        QTRY_VERIFY(emulator_->isBursting());
        QCOMPARE(b.ask("unplug"), QStringLiteral("ok"));
        QVERIFY(a.next().startsWith(QLatin1String("error: burst cut short")));
    }

    void blockReadsAsTheCommandLineToolPrintsIt() {
        // A block other than the factory's, stored in the controller's state file.
        device::RawParameterBlock block = device::factoryParameterBlock();
        block.u1 = 0x0321;
        block.n = {1, 2, 3, 4, 250};
        block.ignoreT = 1;
        device::Report out{};
        device::writeParameterBlock(out, block);
        emulator_->receive(out);
        Client c(path_);
        const QString answer = c.ask("block");
        QCOMPARE(answer,
                 QStringLiteral("ok ") + device::formatBlockBytes(device::blockBytesOf(block)));
        QVERIFY(
            QRegularExpression(QStringLiteral("^ok( [0-9a-f]{2}){26}$")).match(answer).hasMatch());
#ifdef DREVONIX_CLI_EXE
        QProcess cli;
        cli.start(QStringLiteral(DREVONIX_CLI_EXE),
                  {QStringLiteral("--simulate=") + emulator_->statePath(), QStringLiteral("read"),
                   QStringLiteral("--raw")});
        QVERIFY(cli.waitForFinished(20000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed(), answer.mid(3));
#endif
    }

    void getReadsControlsAndPseudoNames() {
        Client c(path_);
        auto* ignoreT = form_->findChild<QCheckBox*>(QStringLiteral("ignoreT"));
        auto* jcode05 = form_->findChild<QLineEdit*>(QStringLiteral("jcode05"));
        QVERIFY(ignoreT && jcode05);
        ignoreT->setChecked(true);
        jcode05->setText(QStringLiteral("700"));
        auto* chart2 = form_->findChild<QCustomPlot*>(QStringLiteral("Chart2"));
        QVERIFY(chart2);
        chart2->yAxis->setRange(-7.5, 42.25);
        struct Case {
            const char* command;
            const char* answer;
        };
        for (const Case k : {
                 Case{"get eACC", "ok 12"},
                 Case{"get ignoreT", "ok 1"},
                 Case{"get jcode05", "ok 700"},
                 Case{"get Button_WriteData", "ok Записать"},
                 Case{"get N4", "ok Выход"},
                 Case{"get StatusBar.2", "ok VID 0x04D8"},
                 Case{"get StatusBar.3", "ok PID 0x003F"},
                 Case{"get StatusBar.4", "ok"},
                 Case{"get Chart2.min", "ok -7.5"},
                 Case{"get Chart2.max", "ok 42.25"},
                 Case{"get tab", "ok 0"},
                 Case{"get window.visible", "ok 0"},
                 Case{"get window.active", "ok 0"},
                 Case{"get nosuch", "error: no control named nosuch"},
                 Case{"get Timer1", "error: Timer1 has no state to read"},
                 Case{"get StatusBar.5", "error: status panels are StatusBar.0 to StatusBar.4"},
                 Case{"get Nothing.count", "error: no series Nothing"},
             }) {
            QCOMPARE(c.ask(QString::fromUtf8(k.command)), QString::fromUtf8(k.answer));
        }
        QCOMPARE(
            c.ask("get StatusBar.1"),
            QStringLiteral("ok ") + QLatin1String(emulator::ControllerEmulator::productName()));
        // A text over several lines comes back on one.
        const QString memo = c.ask("get Memo2");
        QVERIFY(memo.startsWith(QLatin1String("ok 1) ")));
        QVERIFY(memo.contains(QLatin1String("\\n2) ")));
        // The chart fills at every tick.
        QTRY_COMPARE_WITH_TIMEOUT(c.ask("get Series1.count"), QStringLiteral("ok 255"), 3000);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(c.ask("get window.visible"), QStringLiteral("ok 1"));
    }

    void windowActiveIsWhatTheWindowPublishes() {
        QWidget bare;
        QCOMPARE(demo::readControlState(&bare, "WindowActive").ok, false);
        bare.setProperty("WindowActive", true);
        QCOMPARE(demo::readControlState(&bare, "WindowActive").text, QStringLiteral("1"));
        bare.setProperty("WindowActive", false);
        QCOMPARE(demo::readControlState(&bare, "WindowActive").text, QStringLiteral("0"));
        QCOMPARE(demo::readControlState(nullptr, "tab").ok, false);
    }

    void quitTriggersTheExitItem() {
        QAction* exit = demo::exitAction(form_.get());
        QVERIFY(exit);
        QCOMPARE(exit->objectName(), QStringLiteral("N4"));
        QSignalSpy triggered(exit, &QAction::triggered);
        Client c(path_);
        QCOMPARE(c.ask("quit"), QStringLiteral("ok"));
        QTRY_COMPARE(triggered.count(), 1);
    }

    void badInputGetsOneErrorEach() {
        Client c(path_);
        QCOMPARE(c.ask("frobnicate"), QStringLiteral("error: unknown command"));
        c.send("\xff\xfe\n");
        QCOMPARE(c.next(), QStringLiteral("error: not UTF-8"));
        c.send("block\r\n");
        QVERIFY(c.next().startsWith(QLatin1String("ok ")));
        // An endless line is refused once, and the line after it is served.
        c.send(QByteArray(demo::ControlSocket::MaxLineBytes * 3, 'x'));
        QCOMPARE(c.next(), QStringLiteral("error: line too long"));
        c.send(QByteArray(100, 'x') + "\nget tab\n");
        QCOMPARE(c.next(), QStringLiteral("ok 0"));
        QVERIFY(c.silent(50));
        // A line just over the bound arriving at once.
        c.send(QByteArray(demo::ControlSocket::MaxLineBytes + 1, 'y') + "\nget tab\n");
        QCOMPARE(c.next(), QStringLiteral("error: line too long"));
        QCOMPARE(c.next(), QStringLiteral("ok 0"));
        // Several commands in one write are answered one by one, in order.
        c.send("rate 10\nrate 0\nget tab\n");
        QCOMPARE(c.next(), QStringLiteral("ok"));
        QCOMPARE(c.next(), QStringLiteral("error: N must be a whole number from 1 to 8000"));
        QCOMPARE(c.next(), QStringLiteral("ok 0"));
        QCOMPARE(emulator_->rate(), 10);
    }

    void clientsComeAndGo() {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 5; ++i) clients.push_back(std::make_unique<Client>(path_));
        for (auto& c : clients) QCOMPARE(c->ask("get tab"), QStringLiteral("ok 0"));
        QTRY_COMPARE(socket_->clientCount(), 5);
        // One leaving in the middle of its burst costs the others nothing.
        clients[0]->send("burst 7 100000\n");
        QTRY_VERIFY(emulator_->isBursting());
        clients.erase(clients.begin());
        QTRY_COMPARE(socket_->clientCount(), 4);
        QCOMPARE(clients[0]->ask("release"), QStringLiteral("ok"));
        QCOMPARE(clients[1]->ask("get tab"), QStringLiteral("ok 0"));
        // Clients that hang up before their answers are written.
        for (int i = 0; i < 20; ++i) {
            QLocalSocket s;
            s.connectToServer(path_);
            QVERIFY(s.waitForConnected(1000));
            s.write(QByteArray("get tab\nblock\nget Memo1\n").repeated(i + 1));
            s.flush();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5 * (i % 3));
            s.abort();
        }
        QTRY_COMPARE(socket_->clientCount(), 4);
        QCOMPARE(clients[2]->ask("get tab"), QStringLiteral("ok 0"));
        // One that sends and never reads is dropped once its answers pile up (8 MB of
        // commands would pile up 100 MB); the others go on.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, QFile::encodeName(path_).constData());
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        QTRY_COMPARE(socket_->clientCount(), 5);
        const QByteArray blocks = QByteArray("block\n").repeated(1000);
        for (qint64 sent = 0; sent < 8'000'000 && socket_->clientCount() == 5;) {
            sent += std::max<ssize_t>(
                0, ::send(fd, blocks.constData(), blocks.size(), MSG_NOSIGNAL | MSG_DONTWAIT));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        ::close(fd);
        QCOMPARE(socket_->clientCount(), 4);
        QCOMPARE(clients[3]->ask("get tab"), QStringLiteral("ok 0"));
    }

    // drevonix-demo-ctl refuses, before it connects, what it could not send as one command
    // or wait for right.
    void ctlRefusesWhatItCannotSendRight_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("line break") << QStringList{"get tab\nquit"} << "one line";
        QTest::newRow("nan") << QStringList{"--timeout", "nan", "get tab"} << "--timeout";
        QTest::newRow("tiny") << QStringList{"--timeout", "0.0001", "get tab"} << "--timeout";
        QTest::newRow("long path")
            << QStringList{"--socket", pathIn(QByteArray(120, 's').constData()), "get tab"}
            << "too long: ";
    }
    void ctlRefusesWhatItCannotSendRight() {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        QProcess ctl;
        ctl.start(QStringLiteral(DREVONIX_DEMO_CTL_EXE),
                  QStringList{"--socket", pathIn("none.sock")} + args);
        QVERIFY(ctl.waitForFinished(10000));
        const QString err = QString::fromUtf8(ctl.readAllStandardError());
        QVERIFY2(ctl.exitCode() == 2 && err.contains(named), qPrintable(err));
    }

    void listenTakesOnlyStaleSockets() {
        // A socket file whose program has gone.
        const QString stale = pathIn("stale.sock");
        {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            const QByteArray p = QFile::encodeName(stale);
            std::memcpy(addr.sun_path, p.constData(), static_cast<std::size_t>(p.size()));
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            ::close(fd);
        }
        demo::ControlSocket second(*emulator_, [] { return static_cast<QWidget*>(nullptr); });
        QVERIFY2(second.listen(stale), qPrintable(second.errorString()));
        Client c(stale);
        QCOMPARE(c.ask("get tab"), QStringLiteral("error: the main window is not up yet"));

        // One that a running demo answers on is left to it.
        demo::ControlSocket third(*emulator_, [] { return static_cast<QWidget*>(nullptr); });
        QVERIFY(!third.listen(path_));
        QVERIFY(third.errorString().contains(QLatin1String("in use")));
        Client still(path_);
        QCOMPARE(still.ask("get tab"), QStringLiteral("ok 0"));

        // A relative path is taken from the current folder, not the temporary one.
        const QString here = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        demo::ControlSocket relative(*emulator_, [] { return static_cast<QWidget*>(nullptr); });
        const bool listening = relative.listen(QStringLiteral("relative.sock"));
        QDir::setCurrent(here);
        QVERIFY2(listening, qPrintable(relative.errorString()));
        QCOMPARE(relative.path(), pathIn("relative.sock"));
        QVERIFY(QFileInfo::exists(pathIn("relative.sock")));

        // A file that is no socket is never removed.
        const QString plain = pathIn("notes.txt");
        QFile f(plain);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        QVERIFY(!third.listen(plain));
        QVERIFY(third.errorString().contains(QLatin1String("not a socket")));
        QVERIFY(QFile::exists(plain));
        // A path longer than a socket takes says so, and the limit.
        QVERIFY(!third.listen(pathIn(QByteArray(120, 'l').constData())));
        QVERIFY2(third.errorString().contains(QLatin1String("too long: ")) &&
                     third.errorString().contains(QLatin1String("at most 107")),
                 qPrintable(third.errorString()));
    }
};

QTEST_MAIN(ControlSocketTest)
#include "control_socket_linux_test.moc"
