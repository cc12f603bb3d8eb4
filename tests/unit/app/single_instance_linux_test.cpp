#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/single_instance.hpp"
#include "support/program_app.hpp"

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

TEST(SingleInstance, ATypistNeverAsksForAWindowAndNamesTheHolder) {
    testApp();
    QTemporaryDir run;
    const QString ini = run.path() + "/Control.ini";
    SingleInstance first(ini, run.path());
    ASSERT_EQ(first.claim(), Role::First);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    SingleInstance typist(ini, run.path());
    EXPECT_FALSE(typist.claimAsTypist());
    EXPECT_EQ(typist.holder(),
              QStringLiteral("test_app (process %1)").arg(QCoreApplication::applicationPid()));
    QTest::qWait(50);
    EXPECT_EQ(raised.count(), 0);

    // Free again: the typist's own.
    SingleInstance elsewhere(run.path() + "/other/Control.ini", run.path());
    EXPECT_TRUE(elsewhere.claimAsTypist());
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

// Without a usable XDG_RUNTIME_DIR the lock goes to a folder only we own and may enter;
// whatever someone else left at the name in /tmp is passed over, never used or followed.
enum class Squat { None, Link, Open, File, Foreign };

QString runtimeFolderFor(const QTemporaryDir& root, const QString& xdg, Squat squat) {
    QDir base(root.path());
    base.mkpath("tmp");
    base.mkpath("cache");
    base.mkpath("mine");
    ::chmod(qPrintable(base.filePath("mine")), 0700);
    qputenv("TMPDIR", base.filePath("tmp").toUtf8());
    qputenv("XDG_CACHE_HOME", base.filePath("cache").toUtf8());
    if (xdg.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", xdg.toUtf8());
    const QString name = base.filePath("tmp/drevonix-" + QString::number(::getuid()));
    switch (squat) {
        case Squat::None:
            break;
        case Squat::Link:
            QFile::link(base.filePath("mine"), name);
            break;
        case Squat::Open:
            base.mkpath(name);
            ::chmod(qPrintable(name), 0777);
            break;
        case Squat::File:
            QFile(name).open(QIODevice::WriteOnly);
            ::chmod(qPrintable(name), 0);
            break;
        case Squat::Foreign:
            base.mkpath(name);
            ::chmod(qPrintable(name), 0700);
            EXPECT_EQ(::chown(qPrintable(name), 65534, 65534), 0);
            break;
    }
    SingleInstance instance(base.filePath("Control.ini"));
    EXPECT_EQ(instance.claim(), Role::First);
    const QString folder = QFileInfo(instance.lockPath()).path();
    qunsetenv("TMPDIR");
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("XDG_RUNTIME_DIR");
    return folder;
}

TEST(SingleInstance, FallbackFolderIsOursAlone) {
    testApp();
    QTemporaryDir root;
    const QString uid = QString::number(::getuid());
    const QString open = root.filePath("open");
    QDir().mkpath(open);
    ::chmod(qPrintable(open), 0777);
    struct {
        QString xdg;
        Squat squat;
        QString expected;
    } cases[] = {
        {"", Squat::None, "tmp/drevonix-" + uid},
        {root.filePath("mine"), Squat::None, "mine"},
        {open, Squat::None, "tmp/drevonix-" + uid},
        {root.filePath("absent"), Squat::None, "tmp/drevonix-" + uid},
        {"", Squat::Link, "cache/drevonix-" + uid},
        {"", Squat::Open, "cache/drevonix-" + uid},
        {"", Squat::File, "cache/drevonix-" + uid},
    };
    for (const auto& c : cases) {
        const QString folder = runtimeFolderFor(root, c.xdg, c.squat);
        EXPECT_EQ(folder, root.filePath(c.expected)) << c.xdg.toStdString() << int(c.squat);
        struct stat st {};
        ASSERT_EQ(::lstat(qPrintable(folder), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u) << folder.toStdString();
        QDir(root.filePath("tmp")).removeRecursively();
        QDir(root.filePath("cache")).removeRecursively();
    }
}

// Every fallback taken by someone else: neither a window nor a typist takes a lock at all
// (a lock with no folder would land in the working directory, open to anyone there).
TEST(SingleInstance, NoPrivateFolderMeansNoLockAnywhere) {
    testApp();
    QTemporaryDir root;
    const QString uid = QString::number(::getuid());
    QDir base(root.path());
    for (const char* folder : {"tmp", "cache", "cwd"}) base.mkpath(folder);
    for (const char* squat : {"tmp/drevonix-", "cache/drevonix-"})
        QFile(base.filePath(squat + uid)).open(QIODevice::WriteOnly);
    qputenv("TMPDIR", base.filePath("tmp").toUtf8());
    qputenv("XDG_CACHE_HOME", base.filePath("cache").toUtf8());
    qunsetenv("XDG_RUNTIME_DIR");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(base.filePath("cwd"));
    SingleInstance window(base.filePath("Control.ini"));
    EXPECT_EQ(window.claim(), Role::Failed);
    SingleInstance typist(base.filePath("Control.ini"));
    EXPECT_FALSE(typist.claimAsTypist());
    QDir::setCurrent(cwd);
    qunsetenv("TMPDIR");
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_TRUE(QDir(base.filePath("cwd")).isEmpty());
}

TEST(SingleInstance, FallbackPassesOverAnotherUsersFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    testApp();
    QTemporaryDir root;
    EXPECT_EQ(runtimeFolderFor(root, "", Squat::Foreign),
              root.filePath("cache/drevonix-" + QString::number(::getuid())));
}

}  // namespace
