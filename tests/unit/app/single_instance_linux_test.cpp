#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/single_instance.hpp"
#include "app_test_main.hpp"

namespace {

using app::SingleInstance;
using Role = SingleInstance::Role;

TEST(SingleInstance, KeyFollowsTheFileNotItsSpelling) {
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath("a/b"));
    const QString base = tmp.path() + "/a/Control.ini";
    struct {
        QString path;
        bool same;
    } cases[] = {
        {tmp.path() + "/a/b/../Control.ini", true},
        {tmp.path() + "/a/./Control.ini", true},
        {tmp.path() + "/a/b/Control.ini", false},
        {tmp.path() + "/a/control.ini", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SingleInstance::keyFor(c.path) == SingleInstance::keyFor(base), c.same)
            << c.path.toStdString();
    // Short enough for a Unix socket path even in a deep runtime folder.
    EXPECT_LE(SingleInstance::keyFor(base).size(), 30);
}

TEST(SingleInstance, SecondStartAsksTheFirstForItsWindow) {
    testApp();
    QTemporaryDir run;
    const QString ini = run.path() + "/Control.ini";
    SingleInstance first(ini, run.path());
    ASSERT_EQ(first.claim(), Role::First);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    SingleInstance second(ini, run.path());
    EXPECT_EQ(second.claim(), Role::Second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised.count() == 1; }, 2000));

    // Another settings file is another program.
    SingleInstance elsewhere(run.path() + "/other/Control.ini", run.path());
    EXPECT_EQ(elsewhere.claim(), Role::First);
    QTest::qWait(50);
    EXPECT_EQ(raised.count(), 1);
}

TEST(SingleInstance, LockAndSocketLeftByACrashAreTakenOver) {
    testApp();
    QTemporaryDir run;
    const QString ini = run.path() + "/Control.ini";
    const SingleInstance probe(ini, run.path());

    // A process that took the lock and died without releasing it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile lock(probe.lockPath());
        lock.tryLock(0);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(QFile::exists(probe.lockPath()));
    QFile stale(probe.serverName());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    SingleInstance next(ini, run.path());
    EXPECT_EQ(next.claim(), Role::First);
    QSignalSpy raised(&next, &SingleInstance::raiseRequested);
    SingleInstance later(ini, run.path());
    EXPECT_EQ(later.claim(), Role::Second);
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised.count() == 1; }, 2000));
}

TEST(SingleInstance, RunsWhereNoSocketCanBeMade) {
    testApp();
    QTemporaryDir tmp;
    // Deeper than a Unix socket path may be: the lock alone must still let us run.
    const QString deep = tmp.path() + "/" + QString(120, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    SingleInstance first(deep + "/Control.ini", deep);
    EXPECT_EQ(first.claim(), Role::First);
    SingleInstance second(deep + "/Control.ini", deep);
    EXPECT_EQ(second.claim(), Role::Failed);
}

}  // namespace
