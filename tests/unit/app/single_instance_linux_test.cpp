#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <future>

#include "app/single_instance.hpp"
#include "support/program_app.hpp"

namespace {

using app::SingleInstance;
using Role = SingleInstance::Role;

TEST(SingleInstance, DemoKeyFollowsTheFileNotItsSpelling) {
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
        EXPECT_EQ(SingleInstance::demoKey(c.path) == SingleInstance::demoKey(base), c.same)
            << c.path.toStdString();
    // Short enough for a Unix socket path even in a deep runtime folder.
    EXPECT_LE(SingleInstance::demoKey(base).size(), 30);
    EXPECT_NE(SingleInstance::demoKey(base), SingleInstance::controllerKey());
}

// A start from a thread of its own, as from another process: this thread's loop lets a
// first start here answer it.
Role claimElsewhere(const QString& key, const QString& dir) {
    auto role = std::async(std::launch::async, [&] { return SingleInstance(key, dir).claim(); });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return role.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000));
    return role.get();
}

TEST(SingleInstance, SecondStartAsksTheFirstForItsWindow) {
    testApp();
    QTemporaryDir run;
    SingleInstance first("drevonix-a", run.path());
    ASSERT_EQ(first.claim(), Role::First);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    EXPECT_EQ(claimElsewhere("drevonix-a", run.path()), Role::Second);
    EXPECT_EQ(raised.count(), 1);

    // Another key is another program.
    SingleInstance elsewhere("drevonix-b", run.path());
    EXPECT_EQ(elsewhere.claim(), Role::First);
    QTest::qWait(50);
    EXPECT_EQ(raised.count(), 1);

    // A holder that takes the request and never answers (stopped, or hung; here one whose
    // thread waits): no window came up, and the start names who holds the lock instead.
    SingleInstance silent("drevonix-b", run.path());
    EXPECT_EQ(silent.claim(), Role::Failed);
    EXPECT_TRUE(silent.failure().startsWith(
        QStringLiteral("test_app (process %1) holds ").arg(QCoreApplication::applicationPid())))
        << qPrintable(silent.failure());
}

TEST(SingleInstance, ATypistNeverAsksForAWindowAndNamesTheHolder) {
    testApp();
    QTemporaryDir run;
    SingleInstance first("drevonix-a", run.path());
    ASSERT_EQ(first.claim(), Role::First);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    SingleInstance typist("drevonix-a", run.path());
    EXPECT_FALSE(typist.claimAsTypist());
    EXPECT_EQ(typist.holder(),
              QStringLiteral("test_app (process %1)").arg(QCoreApplication::applicationPid()));
    QTest::qWait(50);
    EXPECT_EQ(raised.count(), 0);

    // Free again: the typist's own.
    SingleInstance elsewhere("drevonix-b", run.path());
    EXPECT_TRUE(elsewhere.claimAsTypist());
}

TEST(SingleInstance, LockAndSocketLeftByACrashAreTakenOver) {
    testApp();
    QTemporaryDir run;
    const SingleInstance probe("drevonix-a", run.path());

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

    SingleInstance next("drevonix-a", run.path());
    EXPECT_EQ(next.claim(), Role::First);
    QSignalSpy raised(&next, &SingleInstance::raiseRequested);
    EXPECT_EQ(claimElsewhere("drevonix-a", run.path()), Role::Second);
    EXPECT_EQ(raised.count(), 1);

    // A live holder's lock, days old, is not: a copy without its flock, as on NFS.
    SingleInstance old("drevonix-old", run.path());
    ASSERT_TRUE(QFile::copy(probe.lockPath(), old.lockPath()));
    QFile copy(old.lockPath());
    copy.open(QIODevice::ReadWrite);
    copy.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime);
    EXPECT_FALSE(old.claimAsTypist());

    // A lock file without its holder's name (the maker ended before writing it) is taken
    // once a start would have written it, unless a live process holds it.
    const struct {
        const char* what;
        int ageSeconds;
        bool held;
        bool taken;
    } nameless[] = {
        {"left", 60, false, true}, {"being-written", 0, false, false}, {"held", 60, true, false}};
    for (const auto& c : nameless) {
        SingleInstance typist(c.what, run.path());
        QFile empty(typist.lockPath());
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        empty.setFileTime(QDateTime::currentDateTime().addSecs(-c.ageSeconds),
                          QFileDevice::FileModificationTime);
        empty.close();
        // flock() conflicts between open files, even of one process: a holder without a fork.
        const int held = c.held ? open(QFile::encodeName(typist.lockPath()), O_RDONLY) : -1;
        if (held >= 0) flock(held, LOCK_EX);
        EXPECT_EQ(typist.claimAsTypist(), c.taken) << c.what;
        if (held >= 0) close(held);
    }
}

// Same user and Control.ini, one lock, whatever the environment: cron, su and ssh set
// XDG_RUNTIME_DIR, TMPDIR, HOME and XDG_CACHE_HOME differently or not at all.
TEST(SingleInstance, OneLockWhateverTheEnvironmentSays) {
    testApp();
    QTemporaryDir tmp;
    const QByteArray home = qgetenv("HOME");
    const QString key = SingleInstance::demoKey(tmp.filePath("Control.ini"));
    SingleInstance typist(key);
    ASSERT_TRUE(typist.claimAsTypist());
    for (const QString& value : {tmp.path(), QStringLiteral("/nonexistent"), QString()}) {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "HOME", "XDG_CACHE_HOME"})
            value.isEmpty() ? qunsetenv(name) : qputenv(name, value.toUtf8());
        EXPECT_FALSE(SingleInstance(key).claimAsTypist()) << qPrintable(value);
    }
    qputenv("HOME", home);
}

TEST(SingleInstance, RunsWhereNoSocketCanBeMade) {
    testApp();
    QTemporaryDir tmp;
    // Deeper than a Unix socket path may be: the lock alone must still let us run.
    const QString deep = tmp.path() + "/" + QString(120, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    SingleInstance first("drevonix-a", deep);
    EXPECT_EQ(first.claim(), Role::First);
    SingleInstance second("drevonix-a", deep);
    EXPECT_EQ(second.claim(), Role::Failed);
}

// The lock goes to a folder only we own and may enter; whatever someone else left at its
// name is never used or followed, and never sends us elsewhere either: a second start that
// went elsewhere would not see the first one's lock.
enum class Squat { None, Link, Open, File, Foreign };

QString runtimeFolderFor(const QTemporaryDir& root, Squat squat) {
    QDir base(root.path());
    base.mkpath("tmp");
    base.mkpath("mine");
    ::chmod(qPrintable(base.filePath("mine")), 0700);
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
    QString why;
    return SingleInstance::lockFolderIn({base.filePath("tmp")}, &why);
}

TEST(SingleInstance, LockFolderIsOursAlone) {
    testApp();
    QTemporaryDir root;
    const QString uid = QString::number(::getuid());
    struct {
        Squat squat;
        QString expected;
    } cases[] = {
        {Squat::None, "tmp/drevonix-" + uid},
        {Squat::Link, ""},
        {Squat::Open, ""},
        {Squat::File, ""},
        {Squat::Foreign, ""},  // giving a folder to another user needs root
    };
    for (const auto& c : cases) {
        if (c.squat == Squat::Foreign && ::geteuid() != 0) continue;
        const QString folder = runtimeFolderFor(root, c.squat);
        EXPECT_EQ(folder, c.expected.isEmpty() ? "" : root.filePath(c.expected)) << int(c.squat);
        struct stat st = {};
        if (!folder.isEmpty()) {
            ASSERT_EQ(::lstat(qPrintable(folder), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u) << folder.toStdString();
        }
        QDir(root.filePath("tmp")).removeRecursively();
    }
}

// Every place taken by someone else or impossible (a home that is no folder): neither a
// window nor a typist takes a lock at all (a lock with no folder would land in the working
// directory, open to anyone there), and each says why, not that another copy runs.
TEST(SingleInstance, NoPrivateFolderMeansNoLockAnywhere) {
    testApp();
    QTemporaryDir root;
    const QString uid = QString::number(::getuid());
    QDir base(root.path());
    for (const char* folder : {"tmp", "cwd"}) base.mkpath(folder);
    for (const char* squat : {"tmp/drevonix-", "home"})
        QFile(base.filePath(squat + uid)).open(QIODevice::WriteOnly);
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(base.filePath("cwd"));
    SingleInstance window("drevonix-a", base.filePath("tmp"));
    EXPECT_EQ(window.claim(), Role::Failed);
    SingleInstance typist("drevonix-a", base.filePath("tmp"));
    EXPECT_FALSE(typist.claimAsTypist());
    QDir::setCurrent(cwd);
    EXPECT_TRUE(QDir(base.filePath("cwd")).isEmpty());
    QString why;
    EXPECT_EQ(
        SingleInstance::lockFolderIn({base.filePath("home" + uid), base.filePath("tmp")}, &why),
        "");
    for (const QString& said : {window.failure(), typist.failure(), why})
        EXPECT_TRUE(said.contains("tmp/drevonix-" + uid + " is not a folder")) << qPrintable(said);
    EXPECT_TRUE(why.contains("cannot make " + base.filePath("home" + uid) + "/drevonix-" + uid +
                             ": Not a directory; "))
        << qPrintable(why);
}

}  // namespace
