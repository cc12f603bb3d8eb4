#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <iostream>
#include <random>
#include <thread>

#include "generation.hpp"
#include "settings/value_forms.hpp"

namespace {

using settings_test::FakeKeyTable;
using settings_test::FakeWindow;
using settings_test::readBytes;
using settings_test::writeBytes;

const QByteArray kForeign = "; car computer\r\n[Other]\r\nx=1\r\n";

// What a save of generation g makes of a file that held only the foreign lines.
QByteArray expectedFile(const QString& scratch, int g) {
    EXPECT_TRUE(writeBytes(scratch, kForeign));
    settings::IniFile ini(scratch);
    FakeKeyTable keys;
    FakeWindow window;
    settings_test::fillGeneration(keys, window, g);
    settings::Save_all(ini, keys, window, keymap::SystemSettings{});
    return readBytes(scratch);
}

struct Saver {
    pid_t pid = -1;
    int out = -1;
};

Saver startSaver(const QString& path) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    const QByteArray file = QFile::encodeName(path);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        execl(SETTINGS_SAVE_LOOP, SETTINGS_SAVE_LOOP, file.constData(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// Waits for the first finished save, at most 10 s.
bool firstSaveDone(const Saver& s) {
    pollfd p{s.out, POLLIN, 0};
    char byte = 0;
    return poll(&p, 1, 10000) == 1 && read(s.out, &byte, 1) == 1;
}

bool reap(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(PowerCut, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Control.ini");
    const QString scratch = dir.filePath("scratch/Control.ini");
    ASSERT_TRUE(QDir(dir.path()).mkdir("scratch"));
    ASSERT_TRUE(writeBytes(path, expectedFile(scratch, 0)));

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicros(0, 15000);
    std::cout << "random seed " << seed << '\n';

    int last = 0;
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        const Saver saver = startSaver(path);
        ASSERT_GT(saver.pid, 0);
        const bool started = firstSaveDone(saver);
        if (started) std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
        kill(saver.pid, SIGKILL);
        const bool reaped = reap(saver.pid);
        close(saver.out);
        ASSERT_TRUE(started) << "the saver never finished a save";
        ASSERT_TRUE(reaped) << "the killed saver did not end";

        const QByteArray onDisk = readBytes(path);
        settings::IniFile ini(path);
        FakeKeyTable keys;
        FakeWindow window;
        keymap::SystemSettings system;
        settings::load(ini, keys, window, system);
        const int g = settings::parseInteger(keys.text(1, keymap::KeyField::JCode)).value_or(-1);
        // The saver was killed after it had said a save was done: that save is on disk.
        ASSERT_GT(g, last) << "a finished save was lost, or the file went back";
        ASSERT_EQ(onDisk, expectedFile(scratch, g)) << "a torn file, generation " << g;
        last = g;
    }

    // Each start (the next saver's, the check's) removed what the kill before it left.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.size(), 1) << "left behind: " << left.join(' ').toStdString();
    std::cout << "saves: " << last << '\n';
    RecordProperty("saves", last);
}

}  // namespace
