// The control socket's line syntax: every command with good and bad arguments.
#include <QtTest>

#include "demo/control_commands.hpp"

using demo::ControlCommand;
using Kind = ControlCommand::Kind;

Q_DECLARE_METATYPE(ControlCommand::Kind)

class ControlCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void accepted_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("name");
        const auto row = [](const char* tag, const char* line, Kind kind, int number = 0,
                            int count = 0, const char* name = "") {
            QTest::newRow(tag) << QString::fromUtf8(line) << kind << number << count
                               << QString::fromUtf8(name);
        };
        row("plug", "plug", Kind::Plug);
        row("unplug", "unplug", Kind::Unplug);
        row("other plug", "other plug", Kind::OtherPlug);
        row("other unplug", "other   unplug", Kind::OtherUnplug);
        row("adc auto", "adc auto", Kind::AdcAuto);
        row("rate lowest", "rate 1", Kind::Rate, 1);
        row("rate highest", "rate 8000", Kind::Rate, 8000);
        row("hold", "hold 700", Kind::Hold, 700);
        row("hold zero", "hold 0", Kind::Hold, 0);
        row("hold 16 bits", "hold 65535", Kind::Hold, 65535);
        row("leading zeros", "hold 0700", Kind::Hold, 700);
        row("release", "release", Kind::Release);
        row("burst", "burst 700 100", Kind::Burst, 700, 100);
        row("burst largest", "burst 1 1000000", Kind::Burst, 1, 1000000);
        row("block", "block", Kind::Block);
        row("block CR LF", "block\r", Kind::Block);
        row("blanks and tabs", " \tblock \t", Kind::Block);
        row("get edit", "get eACC", Kind::Get, 0, 0, "eACC");
        row("get pseudo", "get StatusBar.0", Kind::Get, 0, 0, "StatusBar.0");
        row("get underscore", "get Button_WriteData", Kind::Get, 0, 0, "Button_WriteData");
        row("quit", "quit", Kind::Quit);
    }
    void accepted() {
        QFETCH(QString, line);
        const demo::ParsedCommand p = demo::parseControlCommand(line);
        QVERIFY2(p.ok, qPrintable(p.error));
        QFETCH(Kind, kind);
        QCOMPARE(p.command.kind, kind);
        QFETCH(int, number);
        QFETCH(int, count);
        QFETCH(QString, name);
        if (kind == Kind::Rate || kind == Kind::Hold || kind == Kind::Burst)
            QCOMPARE(p.command.number, number);
        if (kind == Kind::Burst) QCOMPARE(p.command.count, count);
        if (kind == Kind::Get) QCOMPARE(p.command.name, name);
    }

    void adcTakesRawValues() {
        const demo::ParsedCommand p = demo::parseControlCommand(u"adc 0 512 65535");
        QVERIFY(p.ok);
        QCOMPARE(p.command.kind, Kind::Adc);
        QCOMPARE(p.command.adc, (emulator::RawTelemetry{0, 512, 65535}));
    }

    void refused_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* line, const char* reason) {
            QTest::newRow(*line ? line : "(nothing)")
                << QString::fromUtf8(line) << QString::fromUtf8(reason);
        };
        row("", "empty command");
        row("   ", "empty command");
        row("PLUG", "unknown command");
        row("plugs", "unknown command");
        row("выход", "unknown command");
        row("plug now", "usage: plug");
        row("other", "usage: other plug | other unplug");
        row("other replug", "usage: other plug | other unplug");
        row("adc 1 2", "usage: adc ACC ATX TEMP | adc auto");
        row("adc 1 2 3 4", "usage: adc ACC ATX TEMP | adc auto");
        row("adc -1 2 3", "ACC must be a whole number from 0 to 65535");
        row("adc 1 65536 3", "ATX must be a whole number from 0 to 65535");
        row("adc 1 2 x", "TEMP must be a whole number from 0 to 65535");
        row("adc 1.5 2 3", "ACC must be a whole number from 0 to 65535");
        row("rate", "usage: rate N");
        row("rate 0", "N must be a whole number from 1 to 8000");
        row("rate 8001", "N must be a whole number from 1 to 8000");
        row("rate 0x10", "N must be a whole number from 1 to 8000");
        row("rate +5", "N must be a whole number from 1 to 8000");
        row("rate 99999999999999999999", "N must be a whole number from 1 to 8000");
        row("hold", "usage: hold CODE");
        row("hold 65536", "CODE must be a whole number from 0 to 65535");
        row("hold 1e3", "CODE must be a whole number from 0 to 65535");
        row("release 700", "usage: release");
        row("burst 700", "usage: burst CODE N");
        row("burst 700 0", "N must be a whole number from 1 to 1000000");
        row("burst 700 1000001", "N must be a whole number from 1 to 1000000");
        row("burst -1 5", "CODE must be a whole number from 0 to 65535");
        row("block 1", "usage: block");
        row("get", "usage: get NAME");
        row("get a b", "usage: get NAME");
        row("get ../etc", "not a control name");
        row("get a;b", "not a control name");
        row("quit now", "usage: quit");
    }
    void refused() {
        QFETCH(QString, line);
        QFETCH(QString, reason);
        const demo::ParsedCommand p = demo::parseControlCommand(line);
        QVERIFY(!p.ok);
        QCOMPARE(p.error, reason);
    }
};

QTEST_APPLESS_MAIN(ControlCommandsTest)
#include "control_commands_test.moc"
