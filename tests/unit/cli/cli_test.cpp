#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <csignal>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <string>
#include <vector>

#include "support/event_loop.hpp"

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    qint64 elapsedMs = 0;
};

enum class Stdout { Pipe, Full, Closed };

// Runs the tool and waits for it, at most `timeoutMs`; a hanging tool is killed and fails.
// With `signo`, the tool gets that signal a moment after its start.
CliRun cli(const QStringList& args, int timeoutMs = 15000,
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
           [[maybe_unused]] int signo = 0, [[maybe_unused]] Stdout to = Stdout::Pipe) {
    QProcess p;
    p.setProcessEnvironment(env);
#ifndef _WIN32
    if (to == Stdout::Full) p.setStandardOutputFile(QStringLiteral("/dev/full"));
    if (to == Stdout::Closed) p.setChildProcessModifier([] { ::close(1); });
#endif
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(DREVONIX_CLI), args);
    CliRun r;
    if (!p.waitForStarted(5000)) {
        ADD_FAILURE() << "drevonix-cli did not start";
        return r;
    }
#ifndef _WIN32
    if (signo && !p.waitForFinished(300)) ::kill(static_cast<pid_t>(p.processId()), signo);
#endif
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        ADD_FAILURE() << "drevonix-cli did not end within " << timeoutMs
                      << " ms: " << args.join(QLatin1Char(' ')).toStdString();
        return r;
    }
    r.elapsedMs = clock.elapsed();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    QByteArray out = p.readAllStandardOutput();
    QByteArray err = p.readAllStandardError();
#ifdef Q_OS_WIN
    // A Windows console program ends its lines with CR LF.
    out.replace("\r\n", "\n");
    err.replace("\r\n", "\n");
#endif
    r.out = out.toStdString();
    r.err = err.toStdString();
    return r;
}

QStringList split(const char* args) {
    return QString::fromUtf8(args).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

const std::string kFactoryRaw =
    "03 1f 02 14 1e 28 3c 14 05 03 e8 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 02 01 00\n";

TEST(Cli, ReadRawShowsTheEmulatorsFactoryBlock) {
    // Whatever the locale says (none at all in cron or a service), nothing on stderr: Qt
    // complains there about a codeset that is not UTF-8 unless the program chose UTF-8.
    const struct {
        const char* name;
        const char* value;
    } locales[] = {{"LANG", "C.UTF-8"}, {"LC_ALL", "C"}, {"LC_ALL", "POSIX"}, {"LANG", ""}};
    for (const auto& l : locales) {
        SCOPED_TRACE(std::string(l.name) + "=" + l.value);
        auto env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"})
            env.remove(QString::fromLatin1(name));
        if (*l.value) env.insert(QString::fromLatin1(l.name), QString::fromLatin1(l.value));
        const CliRun r = cli(split("--simulate read --raw"), 15000, env);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, kFactoryRaw);
        EXPECT_EQ(r.err, "");
    }
}

TEST(Cli, ReadPrintsTheSeventeenValuesInFormOrder) {
    const CliRun r = cli(split("--simulate read"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "eACC=12.00\neTRM=0\neN1=30\neN2=40\neN3=60\neN4=20\neN5=5\neMB_SW_P=1000\n"
              "eMB_SW_D=500\neMNT_SW_P=1000\neMNT_SW_D=500\neMNT_SRS_P1=1000\neMNT_SRS_P2=500\n"
              "eMNT_SRS_D=500\neMNT_SRS_X=2\neMNT_SRS_Y=1\nignoreT=0\n");
}

TEST(Cli, WatchPrintsSetRawValuesOnceASecond) {
    // 784 reads 11.81 V as ACC, 800 reads 12.10 V as ATX, 512 is -10 degrees.
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));  // never a comma
    env.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
    const CliRun r =
        cli(split("--simulate --sim-telemetry 784,800,512 watch --count 2"), 15000, env);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "acc=11.81 atx=12.10 temp=-10.0\nacc=11.81 atx=12.10 temp=-10.0\n");
    EXPECT_GE(r.elapsedMs, 900) << "the second request went out early";

    const CliRun zero = cli(split("--simulate --sim-telemetry=0,0,0 watch --count=1"));
    EXPECT_EQ(zero.out, "acc=0.33 atx=0.38 temp=-260.0\n");
}

TEST(Cli, ButtonsPrintTheFirstReportOfEachPress) {
    struct Case {
        const char* args;
        std::string out;
    } cases[] = {
        {"--simulate --sim-press 700:50 --sim-press 4660:200 --sim-press 0:1 buttons",
         "code=700\ncode=4660\ncode=0\n"},
        {"--simulate --sim-press 700:5 --sim-press 800:5 --sim-press 900:5 buttons --count 2",
         "code=700\ncode=800\n"},
        {"--simulate --sim-press=700:5 --sim-press 800:5 --sim-press=900:5 buttons --count=2",
         "code=700\ncode=800\n"},
        {"--simulate buttons", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r = cli(split(c.args));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(Cli, WriteRoundTripsThroughTheStateFile) {
    QTemporaryDir dir;
    const QString state = QStringLiteral("--simulate=") + dir.filePath(QStringLiteral("block"));
    struct Step {
        QStringList write;
        std::string raw;
    } steps[] = {
        {{QStringLiteral("eACC=15"), QStringLiteral("eTRM=-20"), QStringLiteral("eMB_SW_P=5000"),
          QStringLiteral("eMNT_SRS_X=10")},
         "03 ec 01 ec 1e 28 3c 14 05 13 88 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 0a 01 00\n"},
        // Names not given keep what the controller has; fractions round as the form does.
        {{QStringLiteral("eN1=30.6"), QStringLiteral("eN2=179.6"), QStringLiteral("eTRM=.")},
         "03 ec 02 14 1f b4 3c 14 05 13 88 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 0a 01 00\n"},
        {{QStringLiteral("ignoreT=1")},
         "03 ec 02 14 1f b4 3c 14 05 13 88 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 0a 01 01\n"},
        {{QStringLiteral("ignoreT=0"), QStringLiteral("eMNT_SRS_Y=10")},
         "03 ec 02 14 1f b4 3c 14 05 13 88 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 0a 0a 00\n"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.write.join(QLatin1Char(' ')).toStdString());
        const CliRun w = cli(QStringList{state, QStringLiteral("write")} + s.write);
        EXPECT_EQ(w.exitCode, 0) << w.err;
        EXPECT_EQ(w.out, "");
        const CliRun r = cli({state, QStringLiteral("read"), QStringLiteral("--raw")});
        EXPECT_EQ(r.out, s.raw);
    }
    const CliRun shown = cli({state, QStringLiteral("read")});
    EXPECT_NE(shown.out.find("eACC=15.00\neTRM=0\neN1=31\neN2=180\n"), std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("eMNT_SRS_Y=10\nignoreT=0\n"), std::string::npos) << shown.out;
}

// The README's backup and restore: what read prints, write takes back to the same bytes,
// also where the form would show T1 rounded (raw 533 is 0.25 degrees).
TEST(Cli, BackupRestoresTheBlockByteForByte) {
    QTemporaryDir dir;
    const QString state = QStringLiteral("--simulate=") + dir.filePath(QStringLiteral("block"));
    ASSERT_EQ(cli({state, "write", "eTRM=0.3", "eACC=13.37", "eN4=99", "ignoreT=1"}).exitCode, 0);
    const std::string raw = cli({state, "read", "--raw"}).out;
    ASSERT_NE(raw.find(" 02 15 "), std::string::npos) << raw;  // T1 = 533
    const CliRun backup = cli({state, "read"});
    EXPECT_NE(backup.out.find("eACC=13.37\neTRM=0.3\n"), std::string::npos) << backup.out;

    ASSERT_EQ(cli({state, "write", "eTRM=-7", "eACC=10", "eN4=1", "ignoreT=0"}).exitCode, 0);
    const CliRun restore = cli(QStringList{state, "write"} +
                               QString::fromStdString(backup.out).split('\n', Qt::SkipEmptyParts));
    EXPECT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(cli({state, "read", "--raw"}).out, raw);
}

TEST(Cli, RefusedWritesSendNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("block"));
    const QString state = QStringLiteral("--simulate=") + path;
    ASSERT_EQ(cli({state, QStringLiteral("write"), QStringLiteral("eN5=7")}).exitCode, 0);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    struct Case {
        QStringList pairs;
        const char* named;  // the message names the field (and its range)
    } cases[] = {
        {{QStringLiteral("eACC=15.01")}, "eACC"},
        {{QStringLiteral("eACC=12,5")}, "10 to 15"},
        {{QStringLiteral("eTRM=-21")}, "-20 to 20"},
        {{QStringLiteral("eN1=0")}, "1 to 180"},
        {{QStringLiteral("eN1=180.4")}, "eN1"},
        {{QStringLiteral("eN1=0.6")}, "eN1"},
        {{QStringLiteral("eMB_SW_P=5001")}, "1 to 5000"},
        {{QStringLiteral("eMNT_SRS_X=11")}, "1 to 10"},
        {{QStringLiteral("eN2=")}, "eN2"},
        {{QStringLiteral("eN2=1e9999")}, "eN2"},
        {{QStringLiteral("eN3=40"), QStringLiteral("eN4=999")}, "eN4"},  // one bad: none sent
        {{QStringLiteral("ignoreT=2")}, "ignoreT"},
        {{QStringLiteral("eBOGUS=1")}, "eBOGUS"},
        {{QStringLiteral("eN1")}, "eN1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pairs.join(QLatin1Char(' ')).toStdString());
        const CliRun r = cli(QStringList{state, QStringLiteral("write")} + c.pairs);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_EQ(r.out, "");
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();

    // A block the emulator could not keep is no success.
    const CliRun lost =
        cli({QStringLiteral("--simulate=") + dir.filePath(QStringLiteral("no/such/dir")),
             QStringLiteral("write"), QStringLiteral("eN1=5")});
    EXPECT_EQ(lost.exitCode, 2);
    EXPECT_NE(lost.err.find("no/such/dir"), std::string::npos) << lost.err;
    EXPECT_NE(cli({state, QStringLiteral("read"), QStringLiteral("--raw")}).out.find("3c 14 07"),
              std::string::npos);
}

// Fields a write does not name keep the controller's values: those must be in range too.
TEST(Cli, OutOfRangeValuesKeptFromTheControllerAreNeverSent) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("block"));
    const QString state = QStringLiteral("--simulate=") + path;
    const auto stored = [&path] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    };
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("03 1f 02 14 00 28 3c 14 05 ff ff 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 ff 01 00\n");
    }
    const std::string before = stored();
    const std::string named =
        "eN1=0 (range 1 to 180), eMB_SW_P=65535 (range 1 to 5000), eMNT_SRS_X=255 (range 1 to 10)";
    struct Case {
        QStringList args;
        int exitCode;
        const char* out;  // found in the output
    } cases[] = {
        {{"write", "eN2=50"}, 2, ""},
        {{"write", "eN1=5", "eMB_SW_P=5000"}, 2, ""},
        {{"read"}, 0, "eN1=0\neN2=40\n"},  // a backup all the same, with a warning
        {{"read", "--raw"}, 0, "03 1f 02 14 00 28"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CliRun r = cli(QStringList{state} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        if (c.args.size() == 3) {
            EXPECT_NE(r.err.find("eMNT_SRS_X=255 (range 1 to 10)"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("eMB_SW_P"), std::string::npos) << r.err;
        } else {
            EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
        }
        EXPECT_EQ(stored(), before);
    }
    // Named with values in range, the same block goes out.
    const CliRun fixed = cli({state, "write", "eN1=1", "eMB_SW_P=5000", "eMNT_SRS_X=10"});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.err;
    EXPECT_EQ(stored(),
              "03 1f 02 14 01 28 3c 14 05 13 88 01 f4 03 e8 01 f4 03 e8 01 f4 01 f4 0a 01 00\n");
}

TEST(Cli, ExitStatusesOfTheDeviceState) {
    struct Case {
        const char* args;
        int exitCode;
        std::string out;
        const char* err;
        qint64 waitsMs = 0;  // the bounded wait for an answer that never comes
        int signo = 0;       // what runs until stopped ends with 0; a short command never
    } cases[] = {
        {"--simulate status", 0, "connected Power Controller Emulator\n", ""},
        {"--simulate --sim-unplugged status", 1, "not connected\n", ""},
        {"--simulate --sim-unplugged read", 1, "", "no controller attached"},
        {"--simulate --sim-unplugged read --raw", 1, "", "no controller attached"},
        {"--simulate --sim-unplugged watch", 1, "", "no controller attached"},
        {"--simulate --sim-unplugged buttons", 1, "", "no controller attached"},
        {"--simulate --sim-unplugged write eN1=5", 1, "", "no controller attached"},
        {"--simulate --sim-unplugged write eN1=0", 2, "", "eN1"},
        {"--simulate --sim-mute status", 0, "connected Power Controller Emulator\n", ""},
        {"--simulate --sim-mute read", 3, "", "no parameter block", 2000},
        {"--simulate --sim-mute read --raw", 3, "", "no parameter block"},
        {"--simulate --sim-mute watch --count 5", 3, "", "no measurements", 1000},
        {"--simulate --sim-mute write eN1=5", 3, "", "no parameter block"},
#ifndef _WIN32
        {"--simulate --sim-mute watch --count 5", 0, "", "", 0, SIGTERM},
        {"--simulate --sim-mute watch --count 5", 0, "", "", 0, SIGHUP},
        {"--simulate --sim-mute watch --count 5", 0, "", "", 0, SIGINT},
        {"--simulate --sim-mute read", -2, "", "", 0, SIGTERM},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r =
            cli(split(c.args), 15000, QProcessEnvironment::systemEnvironment(), c.signo);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        // It gave the answer its time: a lower bound, which a slow machine only helps to
        // meet. That it does not wait for ever, cli()'s own bound checks.
        if (c.waitsMs) {
            EXPECT_GE(r.elapsedMs, c.waitsMs - 100);
        }
    }
}

TEST(Cli, BadArgumentsNameWhatIsWrong) {
    // State files that would hold the first read for good.
    QTemporaryDir tmp;
    const std::string state = tmp.filePath("state").toStdString();
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(state.c_str(), 0600), 0);
#endif
    struct Case {
        std::string args;
        const char* named;
    } cases[] = {
#ifndef _WIN32
        {"--simulate=" + state + " read", "not a regular file"},
#endif
        {"--simulate=" + tmp.path().toStdString() + " status", "not a regular file"},
        {"", "no command"},
        {"--simulate", "no command"},
        {"frob", "frob"},
        {"--simulate frob", "frob"},
        {"--bogus status", "--bogus"},
        {"--simulate status extra", "extra"},
        {"--simulate watch --count 0", "--count"},
        {"--simulate watch --count x", "--count"},
        {"--simulate watch --count -3", "--count"},
        {"--simulate watch --count", "--count"},
        {"--simulate watch --count=", "--count"},
        {"--simulate --sim-press= buttons", "--sim-press"},
        {"--simulate read --count 2", "--count"},
        {"--simulate status --raw", "--raw"},
        {"--simulate= read", "--simulate"},
        {"--simulate --sim-telemetry 1,2 watch", "--sim-telemetry"},
        {"--simulate --sim-telemetry 1,2,65536 watch", "--sim-telemetry"},
        {"--simulate --sim-telemetry a,b,c watch", "--sim-telemetry"},
        {"--simulate --sim-press 700 buttons", "--sim-press"},
        {"--simulate --sim-press 700:0 buttons", "--sim-press"},
        {"--simulate --sim-press 70000:5 buttons", "--sim-press"},
        {"--sim-press 700:5 buttons", "needs --simulate"},
        {"--sim-unplugged status", "needs --simulate"},
        {"--simulate write", "NAME=VALUE"},
        {"--simulate keys", "--simulate"},
        {"status --verbose", "--verbose"},
        {"keys extra", "extra"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r = cli(split(c.args.c_str()), 5000);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    }
}

#ifndef _WIN32
// A backup on a full disk or a closed standard output is no success; the endless commands
// end at the first line lost (or cli()'s bound fails them); a failure keeps its own status.
TEST(Cli, LostOutputIsNoSuccess) {
    const char* const presses =
        "--simulate --sim-press 700:5 --sim-press 701:5 --sim-press 702:5 --sim-press 703:5 "
        "--sim-press 704:5 --sim-press 705:5 --sim-press 706:5 buttons";
    const std::pair<const char*, int> cases[] = {
        {"--help", 4},
        {"--simulate read", 4},
        {"--simulate read --raw", 4},
        {"--simulate status", 4},
        {"--simulate watch", 4},
        {presses, 4},
        {"--simulate write eN1=5", 0},
        {"--simulate --sim-unplugged status", 1},
    };
    for (const Stdout to : {Stdout::Full, Stdout::Closed}) {
        for (const auto& [args, exitCode] : cases) {
            SCOPED_TRACE(args);
            const CliRun r =
                cli(split(args), 8000, QProcessEnvironment::systemEnvironment(), 0, to);
            EXPECT_EQ(r.exitCode, exitCode) << r.err;
            EXPECT_EQ(r.err.find("cannot write to standard output") != std::string::npos,
                      exitCode != 0)
                << r.err;
        }
    }
}

// Run as root, the state file is never reached through a link planted at its name.
TEST(Cli, RootFollowsNoLinkAsTheStateFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root";
    QTemporaryDir dir;
    QFile target(dir.filePath(QStringLiteral("root-only")));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly) && target.write("secret\n") == 7);
    target.close();
    ASSERT_TRUE(QFile::link(target.fileName(), dir.filePath(QStringLiteral("state"))));
    const CliRun r = cli({QStringLiteral("--simulate=") + dir.filePath(QStringLiteral("state")),
                          QStringLiteral("write"), QStringLiteral("eN1=5")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "secret\n");
}
#endif

TEST(Cli, HelpListsEveryCommandAndVersionNamesTheRelease) {
    for (const char* args : {"--help", "help", "--simulate read --help"}) {
        const CliRun r = cli(split(args));
        EXPECT_EQ(r.exitCode, 0);
        for (const char* word :
             {"status", "read --raw", "watch [--count N]", "buttons [--count N]",
              "write NAME=VALUE", "keys [--verbose]", "--simulate[=STATE]",
              "--sim-telemetry ACC,ATX,TEMP", "--sim-press CODE:REPORTS", "--sim-unplugged",
              "0  done", "1  no controller", "2  bad arguments", "3  no answer",
              "4  the output could not be written"})
            EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
    // help2man makes the manual page from these two.
    for (const char* args : {"--version", "status --version", "--simulate --version"}) {
        const CliRun r = cli(split(args));
        EXPECT_EQ(r.exitCode, 0) << args;
        EXPECT_EQ(r.out, "drevonix-cli " DREVONIX_VERSION "\n") << args;
    }
}

}  // namespace
