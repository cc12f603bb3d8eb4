#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <vector>

#include "app/session_end.hpp"
#include "app/signal_watch.hpp"
#include "support/program_app.hpp"

namespace {

TEST(SessionEnd, EachSignalEndsTheSessionOnceThroughTheEventLoop) {
    testApp();
    app::SessionEnd end;
    ASSERT_TRUE(end.watchSignals());
    // Only one watcher per process: a second would steal the first one's pipe.
    app::SessionEnd other;
    EXPECT_FALSE(other.watchSignals());

    QSignalSpy spy(&end, &app::SessionEnd::sessionEnding);
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        spy.clear();
        ASSERT_EQ(std::raise(signo), 0);
        // Nothing happens inside the handler: the signal is seen only by the event loop.
        EXPECT_EQ(spy.count(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 2000)) << signo;
        QTest::qWait(20);
        EXPECT_EQ(spy.count(), 1) << signo;
        EXPECT_EQ(end.lastSignal(), signo);
    }

    // A burst of signals before the loop runs ends the session once.
    spy.clear();
    std::raise(SIGTERM);
    std::raise(SIGHUP);
    std::raise(SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 2000));
    QTest::qWait(20);
    EXPECT_EQ(spy.count(), 1);
}

TEST(SignalWatch, ABurstArrivesOnceAndAnEndIsNeverTakenForAReload) {
    testApp();
    app::SignalWatch watch;
    ASSERT_TRUE(watch.watch());
    QSignalSpy spy(&watch, &app::SignalWatch::arrived);
    struct {
        std::vector<int> burst;
        int arrives;
    } cases[] = {
        {{SIGHUP, SIGHUP}, SIGHUP},
        {{SIGHUP, SIGTERM}, SIGTERM},
        {{SIGTERM, SIGHUP}, SIGTERM},
        {{SIGINT, SIGHUP, SIGHUP}, SIGINT},
    };
    for (const auto& c : cases) {
        spy.clear();
        for (int signo : c.burst) ASSERT_EQ(std::raise(signo), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 2000));
        QTest::qWait(20);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).toInt(), c.arrives) << c.burst.front() << " " << c.burst.back();
    }
}

// keys' first moments, nothing watching yet: a SIGHUP meaning "read again" waits for the
// watch, one meaning "the terminal has gone" ends the process at once, with 0.
TEST(SignalWatch, AHangupBeforeTheWatchWaitsForItOrEnds) {
    for (const bool hangupEnds : {false, true}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            app::SignalWatch::handleFromStart(hangupEnds);
            std::raise(SIGHUP);
            testApp();
            app::SignalWatch watch;
            QSignalSpy spy(&watch, &app::SignalWatch::arrived);
            watch.watch();
            const bool seen = QTest::qWaitFor([&] { return spy.count() == 1; }, 2000);
            _exit(seen && watch.lastSignal() == SIGHUP ? 3 : 4);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(status, (hangupEnds ? 0 : 3) << 8) << hangupEnds;
    }
}

TEST(SessionEnd, WatchingAgainAfterTheFirstWatcherIsGone) {
    testApp();
    {
        app::SessionEnd first;
        ASSERT_TRUE(first.watchSignals());
    }
    app::SessionEnd second;
    ASSERT_TRUE(second.watchSignals());
    QSignalSpy spy(&second, &app::SessionEnd::sessionEnding);
    std::raise(SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 2000));
}

}  // namespace
