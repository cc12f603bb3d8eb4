#include "ui/key_table_page.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QXmlStreamReader>
#include <map>

#include "support/fake_key_table.hpp"
#include "support/manual_clock.hpp"
#include "support/recording_emitter.hpp"
#include "support/widget_app.hpp"

namespace {

using keymap::KeyField;
using keymap::KeyTick;

QString name(const char* prefix, int row) {
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(row, 2, 10, QLatin1Char('0'));
}

// The "Кнопки" page's controls, as the window's form makes them.
struct Page {
    QApplication& application = testing_support::widgetApp();
    QWidget window;
    std::map<QString, QWidget*> w;
    std::unique_ptr<ui::KeyTablePage> page;

    Page() {
        auto* panel = new QWidget(&window);
        panel->setObjectName(QStringLiteral("Panel4"));
        for (int row = 1; row <= keymap::KeyTableRows; ++row) {
            for (const char* edit : {"jcode", "smb", "val", "desc"}) {
                auto* e = new QLineEdit(panel);
                e->setObjectName(name(edit, row));
                w[e->objectName()] = e;
            }
            for (const char* box : {"shift", "ctrl", "alt"}) {
                auto* b = new QCheckBox(panel);
                b->setObjectName(name(box, row));
                w[b->objectName()] = b;
            }
            edit("val", row)->setEnabled(false);
        }
        page = std::make_unique<ui::KeyTablePage>(&window);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    QLineEdit* edit(const char* prefix, int row) {
        return static_cast<QLineEdit*>(w.at(name(prefix, row)));
    }
    QCheckBox* box(const char* prefix, int row) {
        return static_cast<QCheckBox*>(w.at(name(prefix, row)));
    }
    void focus(QWidget* target) {
        target->setFocus();
        EXPECT_TRUE(target->hasFocus());
    }
};

struct Stroke {
    enum Kind { Click, Press, Release } kind;
    int key;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

struct CaptureCase {
    const char* name;
    std::vector<Stroke> strokes;
    QString symbol;
    QString value;
};

TEST(KeyCapture, ReleasedKeyGivesSymbolAndCode) {
    const CaptureCase cases[] = {
        {"A", {{Stroke::Click, 'A'}}, QStringLiteral("A"), QStringLiteral("65")},
        {"A with Shift held",
         {{Stroke::Press, Qt::Key_Shift},
          {Stroke::Press, 'A', Qt::ShiftModifier},
          {Stroke::Release, 'A', Qt::ShiftModifier}},
         QStringLiteral("A"),
         QStringLiteral("65")},
        {"digit 5", {{Stroke::Click, '5'}}, QStringLiteral("5"), QStringLiteral("53")},
        {"F1 is p", {{Stroke::Click, Qt::Key_F1}}, QStringLiteral("p"), QStringLiteral("112")},
        {"Shift released last",
         {{Stroke::Press, Qt::Key_Shift},
          {Stroke::Press, 'A', Qt::ShiftModifier},
          {Stroke::Release, 'A', Qt::ShiftModifier},
          {Stroke::Release, Qt::Key_Shift}},
         QString(QChar(16)),
         QStringLiteral("16")},
        {"mute",
         {{Stroke::Click, Qt::Key_VolumeMute}},
         QString(QChar(0x00AD)),
         QStringLiteral("173")},
        {"next track",
         {{Stroke::Click, Qt::Key_MediaNext}},
         QString(QChar(0x00B0)),
         QStringLiteral("176")},
        {"several letters, last wins",
         {{Stroke::Click, 'Q'}, {Stroke::Click, 'W'}, {Stroke::Click, 'E'}},
         QStringLiteral("E"),
         QStringLiteral("69")},
        {"Escape", {{Stroke::Click, Qt::Key_Escape}}, QString(QChar(27)), QStringLiteral("27")},
        {"Space", {{Stroke::Click, Qt::Key_Space}}, QStringLiteral(" "), QStringLiteral("32")},
        {"punctuation at its US key",
         {{Stroke::Click, Qt::Key_Semicolon}},
         QString(QChar(0x0454)),
         QStringLiteral("186")},
    };
    for (const CaptureCase& c : cases) {
        Page p;
        QLineEdit* smb = p.edit("smb", 3);
        smb->setText(QStringLiteral("old"));
        p.focus(smb);
        for (const Stroke& s : c.strokes) {
            const auto key = static_cast<Qt::Key>(s.key);
            if (s.kind == Stroke::Click) QTest::keyClick(smb, key, s.mods);
            // Single events as a keyboard sends them; QTest would add its own modifier keys.
            if (s.kind != Stroke::Click) {
                const QString text = s.key < 0x80 ? QString(QChar(s.key)) : QString();
                QKeyEvent e(s.kind == Stroke::Press ? QEvent::KeyPress : QEvent::KeyRelease, s.key,
                            s.mods, text);
                QApplication::sendEvent(smb, &e);
            }
        }
        EXPECT_EQ(smb->text(), c.symbol) << c.name;
        EXPECT_EQ(p.edit("val", 3)->text(), c.value) << c.name;
        // Nothing else changes: not the modifier boxes, not the other rows.
        for (int row = 1; row <= keymap::KeyTableRows; ++row) {
            for (const char* b : {"shift", "ctrl", "alt"})
                EXPECT_FALSE(p.box(b, row)->isChecked()) << c.name;
            if (row != 3) {
                EXPECT_TRUE(p.edit("smb", row)->text().isEmpty()) << c.name;
                EXPECT_TRUE(p.edit("val", row)->text().isEmpty()) << c.name;
            }
        }
    }
}

TEST(KeyCapture, EachSymbolEditWritesItsOwnRow) {
    Page p;
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        p.focus(p.edit("smb", row));
        QTest::keyClick(p.edit("smb", row), static_cast<Qt::Key>('A' + row - 1));
    }
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        EXPECT_EQ(p.edit("smb", row)->text(), QString(QChar(u'A' + row - 1)));
        EXPECT_EQ(p.edit("val", row)->text(), QString::number(64 + row));
    }
}

TEST(KeyCapture, AutoRepeatReleasesAreNotCaptured) {
    Page p;
    QLineEdit* smb = p.edit("smb", 1);
    p.focus(smb);
    QTest::keyClick(smb, Qt::Key_A);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"), true);
    QApplication::sendEvent(smb, &repeat);
    EXPECT_EQ(p.edit("val", 1)->text(), "65");
}

// The Menu key is learned, not taken as a request for the edit's menu; a key without a
// virtual-key code is told to the user and changes nothing.
TEST(KeyCapture, MenuKeyIsLearnedAndAnUnknownKeyIsTold) {
    Page p;
    QLineEdit* smb = p.edit("smb", 2);
    p.focus(smb);
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(1, 1),
                           smb->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(smb, &menu);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    const auto release = [smb](int key) {
        QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(smb, &e);
    };
    release(Qt::Key_Menu);
    EXPECT_EQ(p.edit("val", 2)->text(), "93");

    EXPECT_FALSE(QToolTip::isVisible());
    release(Qt::Key_MonBrightnessUp);
    EXPECT_EQ(p.edit("val", 2)->text(), "93");
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), ui::unknownKeyText());
    QToolTip::hideText();
}

TEST(KeyTableView, TextsTicksAndFocus) {
    Page p;
    ui::KeyTablePage& v = *p.page;
    p.edit("jcode", 7)->setText(QStringLiteral("517"));
    p.box("ctrl", 7)->setChecked(true);
    EXPECT_EQ(v.text(7, KeyField::JCode), "517");
    EXPECT_TRUE(v.tick(7, KeyTick::Ctrl));
    EXPECT_FALSE(v.tick(7, KeyTick::Shift));
    v.setText(12, KeyField::Descript, QStringLiteral("громкость +"));
    EXPECT_EQ(p.edit("desc", 12)->text(), "громкость +");
    v.setTick(1, KeyTick::Alt, true);
    EXPECT_TRUE(p.box("alt", 1)->isChecked());
    // Rows outside 1..12 are nobody's.
    EXPECT_TRUE(v.text(0, KeyField::JCode).isEmpty());
    EXPECT_FALSE(v.tick(13, KeyTick::Shift));

    p.focus(p.edit("desc", 1));
    EXPECT_EQ(v.focusedCodeRow(), 0);
    for (int row : {5, 1, 12}) {
        p.focus(p.edit("jcode", row));
        EXPECT_EQ(v.focusedCodeRow(), row);
    }
    p.focus(p.edit("smb", 5));
    EXPECT_EQ(v.focusedCodeRow(), 0);
}

// Which reports capture is the key mapper's rule (its own tests); here, that a capture
// reaches the real edit that has the focus and no other.
TEST(KeyTableView, WheelCodeLandsInTheFocusedCodeField) {
    Page p;
    for (int row = 1; row <= keymap::KeyTableRows; ++row)
        p.edit("jcode", row)->setText(QStringLiteral("1024"));
    testing_support::RecordingEmitter out;
    testing_support::ManualClock clock;
    keymap::KeyMapper mapper(*p.page, out, clock);
    p.focus(p.edit("jcode", 5));
    p.edit("jcode", 5)->setText(QStringLiteral("typed"));
    mapper.JoyCode(517);
    for (int row = 1; row <= keymap::KeyTableRows; ++row)
        EXPECT_EQ(p.edit("jcode", row)->text(), row == 5 ? "517" : "1024") << row;
}

TEST(WindowActivation, FollowsTheWindow) {
    testing_support::widgetApp();
    testing_support::RecordingEmitter out;
    testing_support::ManualClock clock;
    testing_support::FakeKeyTable table;
    keymap::KeyMapper mapper(table, out, clock);
    EXPECT_FALSE(mapper.WindowActive());

    QWidget main, other;
    const ui::WindowActivationHook hook(&main, mapper);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    EXPECT_TRUE(mapper.WindowActive());

    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(mapper.WindowActive());

    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    EXPECT_TRUE(mapper.WindowActive());
    main.hide();
    QTRY_VERIFY_WITH_TIMEOUT(!main.isActiveWindow(), 2000);
    EXPECT_FALSE(mapper.WindowActive());
}

TEST(InfoBox, MultimediaKeyCodes) {
    testing_support::widgetApp();
    QWidget window;
    QString caption, text;
    bool ok = false, noIcon = false, owned = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        caption = box->windowTitle();
        text = box->text();
        ok = box->standardButtons() == QMessageBox::Ok;
        noIcon = box->icon() == QMessageBox::NoIcon;
        owned = box->parentWidget() == &window;
        box->button(QMessageBox::Ok)->click();
    });
    ui::KeyTablePage::infoClick(&window);
    EXPECT_EQ(caption, "Коды мультимедийных клавиш");
    EXPECT_EQ(text,
              "Вы можете вручную изменить параметр\rValume (Val) в файле Control.ini\r"
              "Val описание\r173 приглушение\r174 громкость -\r175 громкость +\r"
              "176 следующий трек\r177 предыдущий трек\r178 стоп\r179 плей/пауза\r"
              "181 открыть плеер\r 95 спящий режим");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(noIcon);
    EXPECT_TRUE(owned);
}

TEST(Form, HasEveryControlThePageLooksFor) {
    QFile file(QStringLiteral(DREVONIX_FORM_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::map<QString, QString> classes;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"widget")
            classes[xml.attributes().value(QLatin1String("name")).toString()] =
                xml.attributes().value(QLatin1String("class")).toString();
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    for (int row = 1; row <= keymap::KeyTableRows; ++row) {
        for (const char* e : {"jcode", "smb", "val", "desc"})
            EXPECT_EQ(classes[name(e, row)], "QLineEdit") << name(e, row).toStdString();
        for (const char* b : {"shift", "ctrl", "alt"})
            EXPECT_EQ(classes[name(b, row)], "QCheckBox") << name(b, row).toStdString();
    }
}

}  // namespace
