#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

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

TEST(DemoProcess, EndOfSessionSignalsSaveTheSettingsAndEndTheProgram) {
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        DemoRun run;
        QProcess* p = run.start();
        ASSERT_TRUE(p->waitForStarted(10000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return catches(p->processId(), signo); }, 20000))
            << "signal " << signo << " is not handled";
        EXPECT_FALSE(QFile::exists(run.ini));
        ::kill(static_cast<pid_t>(p->processId()), signo);
        ASSERT_TRUE(p->waitForFinished(15000)) << signo;
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit) << signo;
        EXPECT_EQ(p->exitCode(), 0) << signo;
        QFile f(run.ini);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << signo;
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return catches(p->processId(), SIGTERM); }, 20000));
    ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(15000)) << "held up by the error";
    EXPECT_EQ(p->exitCode(), 1);
    EXPECT_TRUE(p->readAllStandardError().contains(
        "drevonix: Unable to write to " + QFileInfo(run.ini).absoluteFilePath().toLocal8Bit()));
}

TEST(DemoProcess, SecondStartLeavesTheFirstRunning) {
    DemoRun run;
    QProcess* first = run.start();
    ASSERT_TRUE(first->waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return catches(first->processId(), SIGTERM); }, 20000));

    // Both with the socket in the environment: the second says what it did, not that
    // the first one's socket is taken.
    QProcess* second = run.start(QProcess::SeparateChannels);
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitCode(), 0);
    const QByteArray said = second->readAllStandardError();
    EXPECT_TRUE(said.contains("drevonix-demo: already running; its window has been brought up\n"))
        << said.toStdString();
    EXPECT_FALSE(said.contains("socket")) << said.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(run.ini));  // the second neither loaded nor saved anything

    ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_TRUE(QFile::exists(run.ini));
}

#endif

}  // namespace
