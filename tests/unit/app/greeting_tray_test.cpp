#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app_test_main.hpp"
#include "ui/greeting.hpp"
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

TEST(Greeting, BoxHasTheCaptionOkAndNoIcon) {
    testApp();
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QAbstractButton*> buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
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
    QMenu menu;
    ui::TrayIcon tray(&menu);
    bool available = false;
    tray.setTrayProbe([&] { return available; });
    tray.Ic(1, testIcon(Qt::blue));
    EXPECT_FALSE(tray.systemTrayIcon().isVisible());
    EXPECT_TRUE(tray.waitingForTray());

    available = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.systemTrayIcon().isVisible(); },
                                ui::TrayIcon::TrayPollMs * 3));
    EXPECT_FALSE(tray.waitingForTray());

    // Removed while still waiting: it must not come back when the tray does.
    available = false;
    tray.Ic(2, QIcon());
    tray.Ic(1, testIcon(Qt::blue));
    tray.Ic(2, QIcon());
    available = true;
    EXPECT_FALSE(tray.waitingForTray());
    QTest::qWait(50);
    EXPECT_FALSE(tray.systemTrayIcon().isVisible());
}

TEST(TrayIcon, LeftClicksToggleOncePerActivation) {
    testApp();
    QMenu menu;
    ui::TrayIcon tray(&menu);
    QSignalSpy toggles(&tray, &ui::TrayIcon::toggleRequested);
    struct {
        QSystemTrayIcon::ActivationReason reason;
        int toggles;
    } cases[] = {
        {QSystemTrayIcon::Trigger, 1}, {QSystemTrayIcon::DoubleClick, 1},
        {QSystemTrayIcon::Context, 0}, {QSystemTrayIcon::MiddleClick, 0},
        {QSystemTrayIcon::Unknown, 0},
    };
    for (const auto& c : cases) {
        toggles.clear();
        emit tray.systemTrayIcon().activated(c.reason);
        EXPECT_EQ(toggles.count(), c.toggles) << c.reason;
    }
}

}  // namespace
