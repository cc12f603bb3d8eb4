#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "support/program_app.hpp"
#include "ui/greeting.hpp"
#include "ui/key_table_page.hpp"
#include "ui/tray_icon.hpp"

namespace {

TEST(Greeting, OnlyOnTheTwelfthOfOctober) {
    struct {
        QDate date;
        bool greet;
    } cases[] = {
        {{2026, 10, 12}, true},  {{1999, 10, 12}, true},  {{2024, 10, 11}, false},
        {{2024, 10, 13}, false}, {{2024, 12, 10}, false}, {{2024, 1, 12}, false},
        {{2024, 11, 12}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::isGreetingDay(c.date), c.greet) << c.date.toString().toStdString();
}

// The open message box, whatever its modality.
QMessageBox* openBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

TEST(Greeting, BoxHasTheCaptionOkAndNoIcon) {
    testApp();
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QAbstractButton*> buttons;
    QTimer::singleShot(0, [&] {
        auto* box = openBox();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons();
        EXPECT_EQ(box->parentWidget(), nullptr);
        box->accept();
    });
    ui::showGreeting();
    EXPECT_EQ(caption, QStringLiteral("От автора программы"));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    ASSERT_EQ(buttons.size(), 1);
}

// While a box waits for its OK, the tray icon (a window of its own) still takes clicks;
// the key-code box blocks only the main window it belongs to.
TEST(Boxes, BlockOnlyWhatTheyBelongTo) {
    testApp();
    QPushButton main(QStringLiteral("main")), tray(QStringLiteral("tray"));
    main.show();
    tray.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tray));
    struct {
        const char* what;
        std::function<void()> open;
        bool mainBlocked;
    } cases[] = {
        {"greeting", [] { ui::showGreeting(); }, false},
        {"key codes", [&] { ui::KeyTablePage::infoClick(&main); }, true},
    };
    for (const auto& c : cases) {
        QSignalSpy trayClicks(&tray, &QPushButton::clicked);
        QSignalSpy mainClicks(&main, &QPushButton::clicked);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            // Through the window system, where a modal box blocks what it blocks.
            for (QPushButton* b : {&tray, &main})
                QTest::mouseClick(b->windowHandle(), Qt::LeftButton, {}, b->rect().center());
            if (auto* box = openBox()) {
                seen = true;
                box->accept();
            }
        });
        c.open();
        EXPECT_TRUE(seen) << c.what;
        EXPECT_EQ(trayClicks.count(), 1) << c.what;
        EXPECT_EQ(mainClicks.count(), c.mainBlocked ? 0 : 1) << c.what;
    }
}

QIcon testIcon(Qt::GlobalColor color) {
    QPixmap p(16, 16);
    p.fill(color);
    return QIcon(p);
}

TEST(TrayIcon, IcTypes) {
    testApp();
    QMenu menu;
    ui::TrayIcon tray(&menu);
    tray.setTrayProbe([] { return true; });
    EXPECT_EQ(tray.systemTrayIcon().toolTip(), QStringLiteral("Drevonix"));
    EXPECT_EQ(tray.systemTrayIcon().contextMenu(), &menu);

    struct {
        int type;
        bool visibleAfter;
    } steps[] = {{0, false}, {3, false}, {1, true},  {4, true}, {-1, true},
                 {3, true},  {2, false}, {2, false}, {1, true}};
    for (const auto& s : steps) {
        tray.Ic(s.type, testIcon(Qt::red));
        EXPECT_EQ(tray.systemTrayIcon().isVisible(), s.visibleAfter) << "Ic(" << s.type << ")";
    }
}

TEST(TrayIcon, AppearsByItselfWhenATrayComesUpLater) {
    testApp();
    bool available = false;
    const auto probe = [&] { return available; };
    // One icon removed while it waited, and, started after it, one that keeps waiting:
    // once the second appears, the first one's poll would have run before.
    QMenu menu;
    ui::TrayIcon removed(&menu), waiting(&menu);
    removed.setTrayProbe(probe);
    waiting.setTrayProbe(probe);
    removed.Ic(1, testIcon(Qt::blue));
    removed.Ic(2, QIcon());
    removed.Ic(1, testIcon(Qt::blue));
    removed.Ic(2, QIcon());
    EXPECT_FALSE(removed.waitingForTray());
    waiting.Ic(1, testIcon(Qt::blue));
    EXPECT_FALSE(waiting.systemTrayIcon().isVisible());
    EXPECT_TRUE(waiting.waitingForTray());

    available = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return waiting.systemTrayIcon().isVisible(); },
                                ui::TrayIcon::TrayPollMs * 3));
    EXPECT_FALSE(waiting.waitingForTray());
    EXPECT_FALSE(removed.systemTrayIcon().isVisible()) << "came back with the tray";
}

TEST(TrayIcon, LeftClicksToggleOncePerClickOrDoubleClick) {
    testApp();
    using R = QSystemTrayIcon::ActivationReason;
    struct {
        const char* what;
        std::vector<R> reasons;
        int toggles;
    } cases[] = {
        {"click", {R::Trigger}, 1},
        // X11 and Windows report a double click's first click as a click of its own.
        {"double click", {R::Trigger, R::DoubleClick}, 1},
        {"triple click", {R::Trigger, R::DoubleClick, R::Trigger}, 2},
        {"double click alone", {R::DoubleClick}, 1},
        {"context", {R::Context}, 0},
        {"middle", {R::MiddleClick}, 0},
        {"unknown", {R::Unknown}, 0},
    };
    for (const auto& c : cases) {
        QMenu menu;
        ui::TrayIcon tray(&menu);
        QSignalSpy toggles(&tray, &ui::TrayIcon::toggleRequested);
        for (R reason : c.reasons) emit tray.systemTrayIcon().activated(reason);
        EXPECT_EQ(toggles.count(), c.toggles) << c.what;
    }
}

}  // namespace
