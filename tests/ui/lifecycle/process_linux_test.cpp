#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>

#include "app/single_instance.hpp"
#include "support/program_app.hpp"

namespace {

#ifdef DREVONIX_DEMO_EXE

// The demo program copied into a folder of its own, so that its Control.ini (beside the
// executable) and its runtime files are this test's alone. No display: offscreen.
class DemoRun {
public:
    DemoRun() {
        testApp();
        bin = dir.filePath("bin");
        QDir().mkpath(bin);
        QDir().mkpath(dir.filePath("run"));
        QFile::setPermissions(dir.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        exe = bin + "/drevonix-demo";
        QFile::copy(QStringLiteral(DREVONIX_DEMO_EXE), exe);
        ini = bin + "/Control.ini";
    }
    QProcess* start(QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", dir.path());
        env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        env.remove("SESSION_MANAGER");
        env.insert("DREVONIX_SIM_SOCKET", dir.filePath("run/sim.sock"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(channels);
        p->start(exe, {});
        processes.emplace_back(p);
        return p;
    }
    // drevonix-demo-ctl COMMAND on `socket` (default the demo's); its status and what it said.
    std::pair<int, QByteArray> ctl(const QString& command, const QString& socket = "run/sim.sock") {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(DREVONIX_DEMO_CTL_EXE), {"--socket", dir.filePath(socket), command});
        const bool ended = p.waitForFinished(20000);
        return {ended ? p.exitCode() : -1, p.readAll()};
    }
    ~DemoRun() {
        for (auto& p : processes) {
            if (p->state() == QProcess::NotRunning) continue;
            p->kill();
            p->waitForFinished(5000);
        }
    }
    QTemporaryDir dir;
    QString bin, exe, ini;
    std::vector<std::unique_ptr<QProcess>> processes;
};

// The program has its signal handlers in place: only then may the test end its session.
bool catches(qint64 pid, int signo) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signo - 1) & 1);
    }
    return false;
}

// Running, the program saves and ends with 0. A moment after the start (the start waits
// for a lock holder that never answers) it ends with 0 at once, nothing to save yet.
TEST(DemoProcess, EndOfSessionSignalsSaveTheSettingsAndEndTheProgram) {
    for (int signo : {SIGTERM, SIGHUP, SIGINT, -SIGTERM, -SIGHUP, -SIGINT}) {
        DemoRun run;
        QLockFile held(app::SingleInstance(app::SingleInstance::demoKey(run.ini)).lockPath());
        ASSERT_TRUE(signo > 0 || held.tryLock(0));
        QProcess* p = run.start();
        ASSERT_TRUE(p->waitForStarted(10000));
        ASSERT_TRUE(signo < 0
                        ? QTest::qWaitFor([&] { return catches(p->processId(), -signo); }, 2500)
                        : QTest::qWaitFor([&] { return run.ctl("get tab").first == 0; }, 20000))
            << "signal " << signo << " is not handled";
        EXPECT_FALSE(QFile::exists(run.ini));
        ::kill(static_cast<pid_t>(p->processId()), std::abs(signo));
        ASSERT_TRUE(p->waitForFinished(15000)) << signo;
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << signo;
        EXPECT_EQ(p->exitCode(), 0) << signo;
        QFile f(run.ini);
        ASSERT_EQ(f.open(QIODevice::ReadOnly), signo > 0) << signo;
        if (signo < 0) continue;
        const QByteArray saved = f.readAll();
        EXPECT_EQ(saved.count("\r\n["), 13) << signo;
        EXPECT_EQ(saved.count('='), 89) << signo;
    }
}

// At shutdown nobody is there to close an error box: the failure goes to stderr, and the
// program ends without holding up the session.
TEST(DemoProcess, FailedSaveOnASignalEndsTheProgram) {
    DemoRun run;
    QFile ini(run.ini);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    ASSERT_TRUE(QFile::setPermissions(run.ini, QFile::ReadOwner));
    QProcess* p = run.start(QProcess::SeparateChannels);
    ASSERT_TRUE(p->waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.ctl("get tab").first == 0; }, 20000));
    ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(15000)) << "held up by the error";
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_TRUE(
        p->readAllStandardError().contains("drevonix-demo: Unable to write to " +
                                           QFileInfo(run.ini).absoluteFilePath().toLocal8Bit()));
}

TEST(DemoProcess, SecondStartLeavesTheFirstRunning) {
    DemoRun run;
    // The client waits for a socket that is not there yet (a script pasting the README's
    // lines), a few seconds; then it says nobody listens.
    EXPECT_EQ(run.ctl("get tab", "none.sock"),
              std::make_pair(2, "drevonix-demo-ctl: no drevonix-demo is listening on " +
                                    run.dir.filePath("none.sock").toUtf8() + "\n"));
    QProcess* first = run.start();
    ASSERT_TRUE(first->waitForStarted(10000));
    ASSERT_EQ(run.ctl("get tab").first, 0);

    // Both with the socket in the environment: the second says what it did, not that
    // the first one's socket is taken.
    QProcess* second = run.start(QProcess::SeparateChannels);
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitCode(), 0);
    const QByteArray said = second->readAllStandardError();
    EXPECT_TRUE(said.contains("drevonix-demo: already running; its window has been brought up\n"))
        << said.toStdString();
    EXPECT_FALSE(said.toLower().contains("socket")) << said.toStdString();  // Qt's too
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(run.ini));  // the second neither loaded nor saved anything

    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_TRUE(QFile::exists(run.ini));
}

#endif

}  // namespace
