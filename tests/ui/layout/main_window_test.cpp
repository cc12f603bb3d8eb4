// The main window against its layout: names, kinds, parents, geometry, texts, focus order,
// the status bar, the menu, and the behaviour of the tab strip.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <memory>

#include "emulator/controller_emulator.hpp"
#include "emulator/simulated_library.hpp"
#include "ui/lifecycle.hpp"
#include "ui/status_panels.hpp"
#include "ui/tform1.hpp"

namespace {

const QString Memo1Text = QStringLiteral(
    "U1 - Минимально возможное напряжение запуска/работы системы, В ...............\n"
    "\n"
    "T1 - Минимально возможная температура запуска системы, грд. С .....................\n"
    "\n"
    "N1 - Время ожидания запуска БП (появления напряжения на входе\n"
    "\"АТХ IN\" не менее времени запуска БП), с "
    "..............................................................\n"
    "\n"
    "N2 - Время включения усилителя, с "
    "..........................................................................\n"
    "\n"
    "N3 - Время до начала выключения системы при понижении напряжения\n"
    "на входе \"ACC IN\" ниже U1 (просадка напряжения в бортовой сети), с ...............\n"
    "\n"
    "N4 - Время ожидания выключения БП (пропадания напряжения на входе\n"
    "\"ATX IN\" не менее времени выключения БП + время завершения работы ОС), с\n"
    "\n"
    "N5 - Время до начала выключения системы при пропадании напряжения\n"
    "на входе \"ACC IN\", c "
    ".............................................................................................."
    ".....");

const QString Memo2Text = QStringLiteral(
    "1) Установите курсор в поле Joy Code.\n"
    "2) Нажмите на джойстике кнопку (поле Joy Code получит значение).\n"
    "3) Определите сочетание системных клавиш (Shift, Ctrl, Alt).\n"
    "4) Установите курсор в поле Sym и нажмите кнопку на клавиатуре\n"
    "    (в поле Sym пропишется изображение системного символа).\n"
    "5) Поле Val не редактируется; содержит код виртуальной клавиши.\n"
    "6) При необходимости отредактируйте описание комбинации кнопок.");

QString row(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// What the user reads on a control: caption, title or text.
QString textOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    if (auto* m = qobject_cast<const QPlainTextEdit*>(w)) return m->toPlainText();
    return {};
}

// The order Tab walks through the key table, as the layout lists it.
QStringList keyTableFocusOrder() {
    QStringList order;
    for (int n = 1; n <= 6; ++n) order << "jcode" + row(n);
    for (int n = 1; n <= 6; ++n) order << "shift" + row(n);
    for (int n = 6; n >= 1; --n) order << "ctrl" + row(n);
    for (int n = 6; n >= 1; --n) order << "alt" + row(n);
    for (int n = 1; n <= 6; ++n) order << "smb" + row(n);
    order << "jcode07"
          << "jcode09"
          << "jcode08"
          << "jcode10"
          << "jcode11"
          << "jcode12"
          << "shift07"
          << "ctrl07"
          << "alt07"
          << "smb07"
          << "shift08"
          << "ctrl08"
          << "alt08"
          << "smb08"
          << "shift09"
          << "ctrl09"
          << "alt09"
          << "shift10"
          << "ctrl10"
          << "alt10"
          << "smb09"
          << "smb10"
          << "shift11"
          << "ctrl11"
          << "shift12"
          << "ctrl12"
          << "alt12"
          << "alt11"
          << "smb11"
          << "smb12";
    for (int n = 1; n <= 12; ++n) order << "desc" + row(n);
    return order;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<emulator::ControllerEmulator> emulator_;
    std::unique_ptr<emulator::SimulatedLibrary> hid_;
    std::unique_ptr<ui::TForm1> form_;
    QTemporaryDir settingsDir_;
    bool trayAvailable_ = false;
    ui::LifecycleOptions options_;

    template <class T = QWidget>
    T* control(const QString& name) {
        return form_->findChild<T*>(name);
    }

    void showOnTab(int index) {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        control<QTabBar>("TabControl1")->setCurrentIndex(index);
    }

private slots:
    void init() {
        // Every window starts from the defaults and saves nowhere that matters; no greeting.
        QVERIFY(settingsDir_.isValid());
        QFile::remove(settingsDir_.filePath(QStringLiteral("Control.ini")));
        options_.settingsPath = settingsDir_.filePath(QStringLiteral("Control.ini"));
        options_.greet = [] {};
        trayAvailable_ = false;
        options_.trayProbe = [this] { return trayAvailable_; };
        emulator_ = std::make_unique<emulator::ControllerEmulator>();
        emulator_->unplug();
        hid_ = std::make_unique<emulator::SimulatedLibrary>(*emulator_);
        form_ = std::make_unique<ui::TForm1>(*hid_, nullptr, options_);
    }
    void cleanup() {
        form_.reset();
        hid_.reset();
        emulator_.reset();
    }

    void windowIsFixedAndTitled() {
        QCOMPARE(ui::Form1, form_.get());
        QCOMPARE(form_->windowTitle(), QStringLiteral("Drevonix v2.2"));
        QVERIFY(!form_->windowIcon().isNull());
        QCOMPARE(form_->size(), QSize(489, 460));
        QCOMPARE(form_->minimumSize(), QSize(489, 460));
        QCOMPARE(form_->maximumSize(), QSize(489, 460));
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        for (const QSize attempt : {QSize(800, 600), QSize(200, 100), QSize(489, 600)}) {
            form_->resize(attempt);
            QCOMPARE(form_->size(), QSize(489, 460));
        }
        QCOMPARE(control("TabControl1")->geometry(), QRect(0, 0, 489, 441));
        QCOMPARE(control("StatusBar")->geometry(), QRect(0, 441, 489, 19));
    }

    void controls_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        const auto add = [](const char* name, const char* kind, const char* parent, QRect r,
                            const QString& text) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(parent) << r
                                << text;
        };
        const auto s = [](const char* utf8) { return QString::fromUtf8(utf8); };
        for (const char* panel : {"Panel1", "Panel2", "Panel3"})
            add(panel, "QWidget", "TabControl1", QRect(4, 24, 481, 413), QString());
        // Indicators
        add("Button1", "QPushButton", "Panel1", QRect(8, 8, 145, 49), s("13,42 v"));
        add("Button2", "QPushButton", "Panel1", QRect(168, 8, 145, 49), s("12,14 v"));
        add("Button3", "QPushButton", "Panel1", QRect(328, 8, 145, 49), s("29,2 C"));
        add("Label1", "QLabel", "Panel1", QRect(32, 56, 88, 13), s("Напряжение АСС"));
        add("Label2", "QLabel", "Panel1", QRect(192, 56, 88, 13), s("Напряжение АTX"));
        add("Label3", "QLabel", "Panel1", QRect(368, 56, 67, 13), s("Температура"));
        add("Chart1", "QCustomPlot", "Panel1", QRect(0, 72, 481, 169), QString());
        add("Chart2", "QCustomPlot", "Panel1", QRect(0, 240, 481, 169), QString());
        // Parameters
        add("Memo1", "QPlainTextEdit", "Panel2", QRect(8, 8, 425, 233), Memo1Text);
        add("eACC", "QLineEdit", "Panel2", QRect(424, 3, 41, 21), s("12"));
        add("eTRM", "QLineEdit", "Panel2", QRect(424, 27, 41, 21), s("0"));
        add("ignoreT", "QCheckBox", "Panel2", QRect(277, 48, 160, 17),
            s("Игнорировать температуру"));
        add("eN1", "QLineEdit", "Panel2", QRect(424, 68, 41, 21), s("30"));
        add("eN2", "QLineEdit", "Panel2", QRect(424, 92, 41, 21), s("40"));
        add("eN3", "QLineEdit", "Panel2", QRect(424, 136, 41, 21), s("60"));
        add("eN4", "QLineEdit", "Panel2", QRect(424, 172, 41, 21), s("20"));
        add("eN5", "QLineEdit", "Panel2", QRect(424, 212, 41, 21), s("5"));
        add("GroupBox1", "QGroupBox", "Panel2", QRect(8, 240, 225, 65), s("Кнопка MB SW:"));
        add("Label4", "QLabel", "GroupBox1", QRect(8, 16, 148, 13),
            s("Пауза перед \"нажатием\", мс"));
        add("Label5", "QLabel", "GroupBox1", QRect(8, 40, 149, 13),
            s("Длительность \"нажатия\", мс"));
        add("eMB_SW_P", "QLineEdit", "GroupBox1", QRect(176, 12, 41, 21), s("1000"));
        add("eMB_SW_D", "QLineEdit", "GroupBox1", QRect(176, 36, 41, 21), s("500"));
        add("GroupBox2", "QGroupBox", "Panel2", QRect(8, 312, 225, 65), s("Кнопка MNT SW:"));
        add("Label9", "QLabel", "GroupBox2", QRect(8, 16, 148, 13),
            s("Пауза перед \"нажатием\", мс"));
        add("Label8", "QLabel", "GroupBox2", QRect(8, 40, 149, 13),
            s("Длительность \"нажатия\", мс"));
        add("eMNT_SW_P", "QLineEdit", "GroupBox2", QRect(176, 12, 41, 21), s("1000"));
        add("eMNT_SW_D", "QLineEdit", "GroupBox2", QRect(176, 36, 41, 21), s("500"));
        add("GroupBox3", "QGroupBox", "Panel2", QRect(248, 240, 225, 137), s("Кнопка MNT SRS:"));
        add("Label11", "QLabel", "GroupBox3", QRect(8, 16, 148, 13),
            s("Пауза перед \"нажатием\", мс"));
        add("Label12", "QLabel", "GroupBox3", QRect(8, 40, 157, 13),
            s("Пауза между \"нажатиями\", мс"));
        add("Label10", "QLabel", "GroupBox3", QRect(8, 64, 149, 13),
            s("Длительность \"нажатия\", мс"));
        add("Label6", "QLabel", "GroupBox3", QRect(8, 88, 125, 13), s("Количество \"нажатий\" X"));
        add("Label7", "QLabel", "GroupBox3", QRect(8, 112, 125, 13), s("Количество \"нажатий\" Y"));
        add("eMNT_SRS_P1", "QLineEdit", "GroupBox3", QRect(176, 12, 41, 21), s("1000"));
        add("eMNT_SRS_P2", "QLineEdit", "GroupBox3", QRect(176, 36, 41, 21), s("500"));
        add("eMNT_SRS_D", "QLineEdit", "GroupBox3", QRect(176, 60, 41, 21), s("500"));
        add("eMNT_SRS_X", "QLineEdit", "GroupBox3", QRect(176, 84, 41, 21), s("2"));
        add("eMNT_SRS_Y", "QLineEdit", "GroupBox3", QRect(176, 108, 41, 21), s("1"));
        add("Button_ReadData", "QPushButton", "Panel2", QRect(158, 384, 75, 25), s("Прочитать"));
        add("Button_WriteData", "QPushButton", "Panel2", QRect(248, 384, 75, 25), s("Записать"));
        // Buttons
        add("Panel4", "QFrame", "Panel3", QRect(0, 0, 481, 313), QString());
        add("Memo2", "QPlainTextEdit", "Panel3", QRect(8, 316, 361, 91), Memo2Text);
        add("info", "QPushButton", "Panel3", QRect(432, 320, 41, 41), QString());
        add("Label14", "QLabel", "Panel4", QRect(8, 8, 233, 13),
            s(" J.Code   Shift  Ctrl   Alt     Sym    Val     описание"));
    }
    void controls() {
        QFETCH(QString, kind);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QWidget* w = control(name);
        QVERIFY2(w, qPrintable(name));
        QVERIFY2(w->inherits(kind.toLatin1()), w->metaObject()->className());
        QVERIFY(w->parentWidget());
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(textOf(w), text);
        QVERIFY(w->isEnabled());
    }

    void memosHoldTheirLinesExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QPoint>("blank");  // a point with no text over it
        QTest::newRow("Memo1") << Memo1Text << 17 << QPoint(400, 20);
        QTest::newRow("Memo2") << Memo2Text << 7 << QPoint(350, 6);
    }
    void memosHoldTheirLinesExactly() {
        QFETCH(QString, text);
        QFETCH(int, lines);
        QFETCH(QPoint, blank);
        auto* memo = control<QPlainTextEdit>(QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(memo->document()->blockCount(), lines);
        QCOMPARE(memo->toPlainText(), text);
        QVERIFY(!memo->isReadOnly());
        QCOMPARE(memo->frameShape(), QFrame::NoFrame);
        QVERIFY(memo->tabChangesFocus());
        // Button face, not the white of an ordinary text box: look at an empty line.
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const QImage image = memo->viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(blank), form_->palette().color(QPalette::Button));
    }

    void keyTableRows() {
        QCOMPARE(control<QLabel>("Label14")->text().size(), 55);
        struct Column {
            const char* prefix;
            const char* kind;
            int left, width, topOffset;
        };
        const Column columns[] = {
            {"jcode", "QLineEdit", 8, 41, 0},   {"shift", "QCheckBox", 56, 17, 1},
            {"ctrl", "QCheckBox", 80, 17, 1},   {"alt", "QCheckBox", 104, 17, 1},
            {"smb", "QLineEdit", 128, 25, 0},   {"val", "QLineEdit", 160, 25, 0},
            {"desc", "QLineEdit", 192, 281, 0},
        };
        for (int n = 1; n <= 12; ++n) {
            for (const Column& c : columns) {
                const QString name = QString::fromLatin1(c.prefix) + row(n);
                QWidget* w = control(name);
                QVERIFY2(w && w->inherits(c.kind), qPrintable(name));
                QCOMPARE(w->parentWidget()->objectName(), QStringLiteral("Panel4"));
                const bool box = qobject_cast<QCheckBox*>(w) != nullptr;
                QCOMPARE(w->geometry(),
                         QRect(c.left, 23 + 24 * (n - 1) + c.topOffset, c.width, box ? 17 : 21));
                QCOMPARE(w->isEnabled(), QByteArray(c.prefix) != "val");
            }
        }
        QCOMPARE(control("jcode12")->y(), 287);
    }

    void valEditsTakeNeitherFocusNorTyping() {
        showOnTab(2);
        for (int n = 1; n <= 12; ++n) {
            auto* val = control<QLineEdit>("val" + row(n));
            // The settings fill the table at start; whatever they put there stays.
            const QString before = val->text();
            control("desc" + row(n))->setFocus();
            val->setFocus();
            QVERIFY(QApplication::focusWidget() != val);
            QTest::keyClicks(QApplication::focusWidget(), "7");
            QTest::keyClicks(val, "A");
            QCOMPARE(val->text(), before);
        }
    }

    void tabWalksThePagesInLayoutOrder_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("indicators")
            << 0 << QStringList{"Button1", "Button2", "Button3", "Chart1", "Chart2"};
        QTest::newRow("parameters") << 1
                                    << QStringList{"Memo1",
                                                   "eMB_SW_P",
                                                   "eMB_SW_D",
                                                   "eMNT_SW_P",
                                                   "eMNT_SW_D",
                                                   "eMNT_SRS_P1",
                                                   "eMNT_SRS_P2",
                                                   "eMNT_SRS_D",
                                                   "eMNT_SRS_X",
                                                   "eMNT_SRS_Y",
                                                   "eACC",
                                                   "eTRM",
                                                   "eN1",
                                                   "eN3",
                                                   "eN4",
                                                   "eN5",
                                                   "eN2",
                                                   "ignoreT",
                                                   "Button_ReadData",
                                                   "Button_WriteData"};
        QTest::newRow("buttons") << 2 << keyTableFocusOrder() + QStringList{"Memo2", "info"};
    }
    void tabWalksThePagesInLayoutOrder() {
        QFETCH(int, tab);
        QFETCH(QStringList, order);
        showOnTab(tab);
        control(order.first())->setFocus();
        QStringList walked;
        for (int i = 0; i < order.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            walked << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(walked, order);
    }

    void statusBarPanels() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        auto* panels = form_->findChild<ui::StatusPanels*>();
        QVERIFY(panels);
        const int widths[] = {160, 160, 70, 70, 70};
        const QString texts[] = {QStringLiteral("Устройство не подключалось"), QString(),
                                 QStringLiteral("VID"), QStringLiteral("PID"), QString()};
        int left = 0;
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(panels->panel(i)->x(), left);
            QCOMPARE(panels->panel(i)->width(), widths[i]);
            QCOMPARE(panels->panelText(i), texts[i]);
            left += widths[i];
        }
        QCOMPARE(panels->mapTo(form_.get(), QPoint(0, 0)), QPoint(0, 441));
        // The device link writes 0..3 only; anything else is ignored, not a crash.
        panels->setPanelText(5, QStringLiteral("x"));
        panels->setPanelText(-1, QStringLiteral("x"));
        QCOMPARE(panels->panelText(4), QString());
        // What a panel cuts off is in its tooltip; what fits has none.
        panels->setPanelText(
            1, QStringLiteral("Нет доступа к \\\\?\\hid#vid_04d8&pid_003f#7&1a2b3c&0&0000"));
        QCOMPARE(panels->panel(1)->toolTip(), panels->panelText(1));
        panels->setPanelText(1, QStringLiteral("Нет доступа к hidraw12"));
        QCOMPARE(panels->panel(1)->toolTip(), QString());
    }

    void statusFollowsTheController() {
        emulator_->plug();
        QTRY_COMPARE(form_->statusView().panelText(0), QStringLiteral("Устройство подключено"));
        QCOMPARE(form_->statusView().panelText(2), QStringLiteral("VID 0x04D8"));
        emulator_->unplug();
        QTRY_COMPARE(form_->statusView().panelText(0), QStringLiteral("Устройство отключено"));
    }

    // A library outlives the windows built over it (tests, a restarted window): the old
    // window's hook must not receive the new one's notifications.
    void aWindowGoneLeavesNoHookBehind() {
        form_.reset();
        emulator_->plug();
        form_ = std::make_unique<ui::TForm1>(*hid_, nullptr, options_);
        QTRY_COMPARE(form_->statusView().panelText(0), QStringLiteral("Устройство подключено"));
        emulator_->unplug();
        QTRY_COMPARE(form_->statusView().panelText(0), QStringLiteral("Устройство отключено"));
    }

    void tabsAndTheirPages_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("shownPage");
        QTest::addColumn<bool>("windowHidden");
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<int>("selectedAfter");
        QTest::newRow("indicators") << 0 << true << "Panel1" << false << false << 0;
        QTest::newRow("parameters") << 1 << true << "Panel2" << false << false << 1;
        QTest::newRow("buttons") << 2 << true << "Panel3" << false << false << 2;
        QTest::newRow("hide to the tray") << 3 << true << "Panel1" << true << false << 0;
        // Hidden without a tray, the window could never come back.
        QTest::newRow("no tray: to the taskbar") << 3 << false << "Panel1" << false << true << 0;
    }
    void tabsAndTheirPages() {
        QFETCH(int, tab);
        QFETCH(bool, tray);
        QFETCH(QString, shownPage);
        QFETCH(bool, windowHidden);
        QFETCH(bool, minimised);
        QFETCH(int, selectedAfter);
        trayAvailable_ = tray;
        auto* tabs = control<QTabBar>("TabControl1");
        QCOMPARE(tabs->count(), 4);
        const QStringList captions{"Индикаторы", "Параметры", "Кнопки", "Свернуть"};
        for (int i = 0; i < 4; ++i) QCOMPARE(tabs->tabText(i), captions[i]);
        QCOMPARE(tabs->currentIndex(), 0);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        // Start from another page, so that every row is a real change of tab.
        tabs->setCurrentIndex(tab == 2 ? 1 : 2);
        tabs->setCurrentIndex(tab);
        QCOMPARE(tabs->currentIndex(), selectedAfter);
        QCOMPARE(form_->isHidden(), windowHidden);
        QCOMPARE(form_->isMinimized(), minimised);
        for (const char* page : {"Panel1", "Panel2", "Panel3"})
            QCOMPARE(control(page)->isVisibleTo(form_.get()), shownPage == page);
    }

    void parametersTabReadsTheBlockAgain() {
        // No controller: the read empties the fields and nothing refills them.
        auto* eACC = control<QLineEdit>("eACC");
        QCOMPARE(eACC->text(), QStringLiteral("12"));
        control<QTabBar>("TabControl1")->setCurrentIndex(1);
        QCOMPARE(eACC->text(), QString());
    }

    void atStartTheIndicatorsAreInFront() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->childAt(200, 200)->window(), form_.get());
        QWidget* hit = form_->childAt(60, 50);
        QVERIFY(hit);
        QCOMPARE(hit->objectName(), QStringLiteral("Button1"));
    }

    void wheelOverAPageNeverSwitchesTabs() {
        showOnTab(2);
        auto* tabs = control<QTabBar>("TabControl1");
        for (const char* target : {"Panel4", "Panel3", "TabControl1"}) {
            for (int delta : {-120, 120}) {
                QWidget* w = control(target);
                QWheelEvent wheel(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(),
                                  QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                                  false);
                QApplication::sendEvent(w, &wheel);
                QCOMPARE(tabs->currentIndex(), 2);
                QVERIFY(form_->isVisible());
            }
        }
    }

    void readoutFontsAndColours() {
        const QColor colours[] = {QColor(255, 0, 0), QColor(0, 255, 0),
                                  form_->palette().color(QPalette::ButtonText)};
        for (int i = 0; i < 3; ++i) {
            auto* button = control<QPushButton>(QStringLiteral("Button%1").arg(i + 1));
            QCOMPARE(button->font().family(), QStringLiteral("Tahoma"));
            QVERIFY(button->font().bold());
            QCOMPARE(QFontInfo(button->font()).pixelSize(), 32);
            QCOMPARE(button->palette().color(QPalette::ButtonText), colours[i]);
            QVERIFY(button->fontMetrics().horizontalAdvance(QStringLiteral("88,88 v")) <
                    button->width());
        }
        QCOMPARE(form_->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(QFontInfo(form_->font()).pixelSize(), 11);
        QCOMPARE(QFontInfo(control("Label14")->font()).pixelSize(), 11);
    }

    // Whatever face stands in for the original font, no caption is cut off.
    void captionsFitTheirControls() {
        for (const QLabel* label : control("TabControl1")->findChildren<QLabel*>())
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->objectName()));
        const auto* box = control<QCheckBox>("ignoreT");
        QVERIFY(box->fontMetrics().horizontalAdvance(box->text()) < box->width() - 13);
        const auto* memo = control<QPlainTextEdit>("Memo2");
        for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
            QVERIFY2(memo->fontMetrics().horizontalAdvance(b.text()) < memo->width() - 2,
                     qPrintable(b.text()));
        const auto* tabs = control<QTabBar>("TabControl1");
        QVERIFY(tabs->tabRect(3).right() < tabs->width());
    }

    void popupMenuAndPictures() {
        QMenu* menu = form_->PopupMenu1;
        QVERIFY(menu);
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 4);
        const char* names[] = {"N1", "N2", "N3", "N4"};
        const QString captions[] = {QStringLiteral("Развернуть"), QStringLiteral("Свернуть"),
                                    QString(), QStringLiteral("Выход")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(items[i]->objectName(), QString::fromLatin1(names[i]));
            QCOMPARE(items[i]->text(), captions[i]);
            QCOMPARE(items[i]->isSeparator(), i == 2);
            QCOMPARE(items[i]->icon().isNull(), i == 2);
        }
        struct Picture {
            const char* path;
            QSize size;
        };
        for (const Picture& p :
             {Picture{":/pictures/drevonix", {32, 32}}, Picture{":/pictures/restore", {14, 14}},
              Picture{":/pictures/hide", {14, 14}}, Picture{":/pictures/exit", {16, 16}},
              Picture{":/pictures/info", {32, 32}}}) {
            QImageReader reader(QString::fromLatin1(p.path));
            QVERIFY2(reader.canRead(), p.path);
            QCOMPARE(reader.size(), p.size);
        }
        auto* info = control<QPushButton>("info");
        QVERIFY(!info->icon().isNull());
        QCOMPARE(info->iconSize(), QSize(32, 32));
    }

    void timersRunFromCreation() {
        QCOMPARE(form_->Timer1->interval(), 1000);
        QCOMPARE(form_->Timer2->interval(), 500);
        QVERIFY(form_->Timer1->isActive());
        QVERIFY(form_->Timer2->isActive());
        // The first tick replaces the layout's captions with the (zero) readings.
        QTRY_COMPARE_WITH_TIMEOUT(control<QPushButton>("Button1")->text().endsWith(" v") &&
                                      control<QPushButton>("Button1")->text() != "13,42 v",
                                  true, 3000);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
