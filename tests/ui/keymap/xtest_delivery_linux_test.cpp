#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QVBoxLayout>
#include <optional>

#include "keymap/emitters/emitter_choice.hpp"
#include "keymap/emitters/xtest_emitter.hpp"
#include "keymap/key_mapper.hpp"
#include "support/fake_key_table.hpp"
#include "support/manual_clock.hpp"
#include "support/wait.hpp"
#include "ui/key_table_page.hpp"

using testing_support::FakeKeyTable;

namespace {

// An Xvfb of our own on a display number it picks itself; stopped by its PID.
class Xvfb {
public:
    bool start(QString* why) {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (exe.isEmpty()) {
            *why = QStringLiteral("Xvfb is not installed");
            return false;
        }
        int fds[2];
        if (::pipe(fds) != 0) return false;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        pid_ = ::fork();
        if (pid_ == 0) {
            const QByteArray path = exe.toLocal8Bit();
            const QByteArray fd = QByteArray::number(fds[1]);
            ::execl(path.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0",
                    "1024x768x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        QByteArray number;
        pollfd p{fds[0], POLLIN, 0};
        // The server writes its display number once it accepts connections.
        while (!number.endsWith('\n') && ::poll(&p, 1, 10000) > 0) {
            char c[16];
            const ssize_t n = ::read(fds[0], c, sizeof c);
            if (n <= 0) break;
            number.append(c, n);
        }
        ::close(fds[0]);
        if (!number.endsWith('\n')) {
            *why = QStringLiteral("Xvfb did not start");
            stop();
            return false;
        }
        display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        return true;
    }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            ::usleep(100 * 1000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    const QString& display() const { return display_; }

private:
    pid_t pid_ = -1;
    QString display_;
};

Xvfb server;
QString skipReason;
QApplication* application = nullptr;

struct Seen {
    bool press;
    int key;
    Qt::KeyboardModifiers mods;
    quint32 scanCode;
    QString text;
};

// A window that keeps every key event it is given.
class Receiver final : public QWidget {
public:
    Receiver() {
        setFocusPolicy(Qt::StrongFocus);
        resize(200, 100);
    }
    std::vector<Seen> seen;

protected:
    void keyPressEvent(QKeyEvent* e) override { keep(true, e); }
    void keyReleaseEvent(QKeyEvent* e) override { keep(false, e); }

private:
    void keep(bool press, QKeyEvent* e) {
        if (!e->isAutoRepeat())
            seen.push_back({press, e->key(), e->modifiers(), e->nativeScanCode(), e->text()});
    }
};

void showFocused(QWidget& w, QWidget* focus) {
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 5000));
    focus->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(focus->hasFocus(), 5000);
}

std::unique_ptr<keymap::XTestEmitter> openEmitter() {
    QString error;
    auto e = keymap::XTestEmitter::open(server.display(), &error);
    EXPECT_TRUE(e) << error.toStdString();
    return e;
}

TEST(XTestDelivery, TypesTheTableIntoTheFocusedWindow) {
    if (!application) GTEST_SKIP() << skipReason.toStdString();
    Receiver receiver;
    showFocused(receiver, &receiver);
    auto emitter = openEmitter();
    ASSERT_TRUE(emitter);

    // The whole road: a wheel report, the table, the emitter, the X server, the window.
    FakeKeyTable table;
    for (auto& r : table.rows) r.jcode = QStringLiteral("0");
    table.rows[0] = {QStringLiteral("100"), {}, QStringLiteral("65"), {}, true, true, false};
    table.rows[1] = {QStringLiteral("200"), {}, QStringLiteral("66"), {}};
    table.rows[2] = {QStringLiteral("300"), {}, QStringLiteral("173"), {}};
    table.rows[3] = {QStringLiteral("300"), {}, QStringLiteral("176"), {}};
    table.rows[4] = {QStringLiteral("300"), {}, QStringLiteral("179"), {}};
    testing_support::ManualClock clock;
    keymap::KeyMapper mapper(table, *emitter, clock);
    for (std::int32_t code : {100, 200, 300}) {
        mapper.JoyCode(code);
        clock.advance(2000);
        mapper.Timer2Timer();
    }

    const struct {
        bool press;
        int key;
        Qt::KeyboardModifiers mods;  // checked for the non-modifier keys
        int evdev;
    } expected[] = {
        {true, Qt::Key_Shift, {}, KEY_LEFTSHIFT},
        {true, Qt::Key_Control, {}, KEY_LEFTCTRL},
        {true, Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier, KEY_A},
        {false, Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier, KEY_A},
        {false, Qt::Key_Control, {}, KEY_LEFTCTRL},
        {false, Qt::Key_Shift, {}, KEY_LEFTSHIFT},
        {true, Qt::Key_B, Qt::NoModifier, KEY_B},
        {false, Qt::Key_B, Qt::NoModifier, KEY_B},
        {true, Qt::Key_VolumeMute, Qt::NoModifier, KEY_MUTE},
        {false, Qt::Key_VolumeMute, Qt::NoModifier, KEY_MUTE},
        {true, Qt::Key_MediaNext, Qt::NoModifier, KEY_NEXTSONG},
        {false, Qt::Key_MediaNext, Qt::NoModifier, KEY_NEXTSONG},
        {true, Qt::Key_MediaPlay, Qt::NoModifier, KEY_PLAYPAUSE},
        {false, Qt::Key_MediaPlay, Qt::NoModifier, KEY_PLAYPAUSE},
    };
    const std::size_t count = std::size(expected);
    testing_support::waitUntil([&] { return receiver.seen.size() >= count; }, 5000);
    ASSERT_EQ(receiver.seen.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const Seen& s = receiver.seen[i];
        EXPECT_EQ(s.press, expected[i].press) << i;
        EXPECT_EQ(s.key, expected[i].key) << i;
        EXPECT_EQ(static_cast<int>(s.scanCode) - 8, expected[i].evdev) << i;
        if (expected[i].key != Qt::Key_Shift && expected[i].key != Qt::Key_Control) {
            EXPECT_EQ(s.mods, expected[i].mods) << i;
        }
    }
    EXPECT_EQ(receiver.seen[2].text, QString(QChar(1)));  // Ctrl+Shift+A is ^A
    EXPECT_EQ(receiver.seen[6].text, "b");
}

// The symbol edits of a key table page on a real X server: the VK comes from the
// physical key, through its X keycode.
struct CapturePage {
    QWidget window;
    std::vector<QLineEdit*> smb, val;
    std::unique_ptr<ui::KeyTablePage> page;

    CapturePage() {
        auto* layout = new QVBoxLayout(&window);
        for (int row = 1; row <= 2; ++row) {
            for (auto* list : {&smb, &val}) {
                auto* e = new QLineEdit(&window);
                e->setObjectName(QStringLiteral("%1%2")
                                     .arg(list == &smb ? "smb" : "val")
                                     .arg(row, 2, 10, QLatin1Char('0')));
                layout->addWidget(e);
                list->push_back(e);
            }
        }
        page = std::make_unique<ui::KeyTablePage>(&window);
    }
};

void tapVk(keymap::KeyEmitter& e, std::uint8_t vk) {
    e.key(vk, true);
    e.key(vk, false);
}

TEST(XTestDelivery, KeyCaptureReadsThePhysicalKey) {
    if (!application) GTEST_SKIP() << skipReason.toStdString();
    CapturePage p;
    showFocused(p.window, p.smb[1]);
    auto emitter = openEmitter();
    ASSERT_TRUE(emitter);

    const struct {
        std::uint8_t vk;
        QString symbol, value;
    } cases[] = {
        {65, QStringLiteral("A"), QStringLiteral("65")},
        {0x35, QStringLiteral("5"), QStringLiteral("53")},
        {0x70, QStringLiteral("p"), QStringLiteral("112")},
        {0xA1, QString(QChar(16)), QStringLiteral("16")},  // right Shift reads as Shift
        {0xAD, QString(QChar(0xAD)), QStringLiteral("173")},
        {0xBA, QString(QChar(0x0454)), QStringLiteral("186")},
        {0x5D, QStringLiteral("]"), QStringLiteral("93")},  // Menu, not the edit's menu
        // Keypad 1 with NumLock off (as the server starts) is End, as Windows says.
        {0x61, QStringLiteral("#"), QStringLiteral("35")},
    };
    for (const auto& c : cases) {
        p.val[1]->clear();
        tapVk(*emitter, c.vk);
        testing_support::waitUntil([&] { return !p.val[1]->text().isEmpty(); }, 5000);
        EXPECT_EQ(p.val[1]->text(), c.value) << int(c.vk);
        EXPECT_EQ(p.smb[1]->text(), c.symbol) << int(c.vk);
    }
    EXPECT_TRUE(p.val[0]->text().isEmpty());
}

// An X server that goes is noticed at once, not at the next press (where Xlib would end the
// program); keystrokes after it are dropped, and the end leaves the dead connection alone.
TEST(XTestDelivery, AServerThatGoesIsNoticedAtOnce) {
    if (!application) GTEST_SKIP() << skipReason.toStdString();
    Xvfb other;
    QString why;
    ASSERT_TRUE(other.start(&why)) << why.toStdString();
    const std::unique_ptr<Xvfb, void (*)(Xvfb*)> stopped(&other, [](Xvfb* x) { x->stop(); });
    auto e = keymap::XTestEmitter::open(other.display(), &why);
    ASSERT_TRUE(e) << why.toStdString();
    std::string lost;
    e->whenLost([&](const std::string& said) { lost = said; });
    other.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return lost == "the X display has gone"; }, 5000));
    e->key(0x41, true);
}

TEST(XTestDelivery, ChosenWhenUinputIsOutOfReach) {
    if (!application) GTEST_SKIP() << skipReason.toStdString();
    const auto c = keymap::chooseEmitter(QStringLiteral("/nonexistent/uinput"), server.display());
    EXPECT_EQ(c.backend, "XTest");
    EXPECT_EQ(c.message, "keystrokes through XTest (/nonexistent/uinput does not exist)");
    Receiver receiver;
    showFocused(receiver, &receiver);
    tapVk(*c.emitter, 0x5A);
    testing_support::waitUntil([&] { return receiver.seen.size() >= 2; }, 5000);
    ASSERT_EQ(receiver.seen.size(), 2u);
    EXPECT_EQ(receiver.seen[0].key, Qt::Key_Z);
}

QString findSetxkbmap() {
    return QStandardPaths::findExecutable(QStringLiteral("setxkbmap"));
}

bool setLayout(const char* layout) {
    return QProcess::execute(findSetxkbmap(), {QStringLiteral("-display"), server.display(),
                                               QStringLiteral("-layout"), QLatin1String(layout)}) ==
           0;
}

// Keeps the Qt keys pressed in a widget.
class PressedKeys final : public QObject {
public:
    std::vector<int> keys;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) keys.push_back(static_cast<QKeyEvent*>(e)->key());
        return QObject::eventFilter(o, e);
    }
};

TEST(XTestDelivery, CyrillicLayoutGivesTheSameVirtualKey) {
    if (!application) GTEST_SKIP() << skipReason.toStdString();
    if (findSetxkbmap().isEmpty()) GTEST_SKIP() << "setxkbmap is not installed";
    // Russian first, US as the second group: the letter keys type Cyrillic, and XTest still
    // finds the physical A key through the second group.
    ASSERT_TRUE(setLayout("ru,us"));
    CapturePage p;
    PressedKeys pressed;
    p.smb[0]->installEventFilter(&pressed);
    showFocused(p.window, p.smb[0]);
    auto emitter = openEmitter();
    ASSERT_TRUE(emitter);
    tapVk(*emitter, 65);
    testing_support::waitUntil([&] { return !p.val[0]->text().isEmpty(); }, 5000);
    EXPECT_EQ(p.val[0]->text(), "65");
    EXPECT_EQ(p.smb[0]->text(), "A");
    ASSERT_EQ(pressed.keys.size(), 1u);
    EXPECT_NE(pressed.keys[0], Qt::Key_A) << "the layout typed a Latin letter";
    emitter.reset();
    EXPECT_TRUE(setLayout("us"));
}

TEST(XTestDelivery, KeysymMissingFromTheKeymapBorrowsASpareKeycode) {
    if (!application) GTEST_SKIP() << skipReason.toStdString();
    if (findSetxkbmap().isEmpty()) GTEST_SKIP() << "setxkbmap is not installed";
    const QString xmodmap = QStandardPaths::findExecutable(QStringLiteral("xmodmap"));
    if (xmodmap.isEmpty()) GTEST_SKIP() << "xmodmap is not installed";
    // Russian alone: no keycode types a Latin "a".
    ASSERT_TRUE(setLayout("ru"));
    Receiver receiver;
    showFocused(receiver, &receiver);
    auto emitter = openEmitter();
    ASSERT_TRUE(emitter);
    tapVk(*emitter, 65);
    // Apart in time: a release and a press of one key at one instant read as auto-repeat.
    testing_support::waitUntil([&] { return receiver.seen.size() >= 2; }, 5000);
    tapVk(*emitter, 65);  // the borrowed keycode stays bound while the emitter lives
    testing_support::waitUntil([&] { return receiver.seen.size() >= 4; }, 5000);
    ASSERT_EQ(receiver.seen.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(receiver.seen[i].press, i % 2 == 0) << i;
        EXPECT_EQ(receiver.seen[i].key, Qt::Key_A) << i;
    }
    EXPECT_EQ(receiver.seen[0].text, "a");
    EXPECT_EQ(receiver.seen[0].scanCode, receiver.seen[2].scanCode);

    // At the end the keymap is as it was: no keycode types "a" any more.
    emitter.reset();
    QProcess dump;
    dump.start(xmodmap, {QStringLiteral("-display"), server.display(), QStringLiteral("-pke")});
    ASSERT_TRUE(dump.waitForFinished(10000));
    const QString map = QString::fromLatin1(dump.readAllStandardOutput());
    EXPECT_TRUE(map.contains(QStringLiteral("keycode")));
    EXPECT_FALSE(map.contains(
        QRegularExpression(QStringLiteral("= (.* )?a( |$)"), QRegularExpression::MultilineOption)));
    EXPECT_TRUE(setLayout("us"));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!GTEST_FLAG_GET(list_tests)) {
        if (server.start(&skipReason)) {
            qputenv("DISPLAY", server.display().toLocal8Bit());
            qputenv("QT_QPA_PLATFORM", "xcb");
            application = new QApplication(argc, argv);
        }
    }
    const int rc = RUN_ALL_TESTS();
    delete application;
    server.stop();
    return rc;
}
