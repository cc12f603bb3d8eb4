#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "device/commands.hpp"
#include "device/conversions.hpp"
#include "params/parameter_form.hpp"

#include "fakes.hpp"
#include "support/device_views.hpp"
#include "support/fake_hid_library.hpp"

using namespace params;
using params_test::localised;
using testing_support::CountingMessage;

namespace {

struct Page {
    testing_support::FakeHidLibrary hid{7};
    device::Report out{};
    testing_support::FakeParameterForm view;
    CountingMessage message;
    ParameterForm form;
    explicit Page(QChar sep) : form(hid, out, view, message, sep) {}

    const device::Report& lastSent() const { return hid.writes.back().report; }
};

// Bytes 2..27 of a write: the block and the check box.
using BlockBytes = std::array<std::uint8_t, 26>;

BlockBytes blockOf(const device::Report& r) {
    BlockBytes b{};
    std::copy(r.begin() + 2, r.begin() + 28, b.begin());
    return b;
}

// The factory values: 12 V, 0 °C, 30 40 60 20 5, 1000 500 1000 500 1000 500 500, 2, 1, off.
const BlockBytes kDefaults{0x03, 0x1f, 0x02, 0x14, 30,   40,   60,   20,   5,
                           0x03, 0xe8, 0x01, 0xf4, 0x03, 0xe8, 0x01, 0xf4, 0x03,
                           0xe8, 0x01, 0xf4, 0x01, 0xf4, 2,    1,    0};
const char* const kDefaultTexts[] = {"12",  "0",    "30",  "40",   "60",  "20",  "5", "1000",
                                     "500", "1000", "500", "1000", "500", "500", "2", "1"};

// Where each edit goes in the block (offset from byte 2), and whether it takes two bytes.
struct Place {
    const char* field;
    std::size_t at;
    bool word;
};
const Place kPlaces[] = {
    {"eACC", 0, true},         {"eTRM", 2, true},        {"eN1", 4, false},
    {"eN2", 5, false},         {"eN3", 6, false},        {"eN4", 7, false},
    {"eN5", 8, false},         {"eMB_SW_P", 9, true},    {"eMB_SW_D", 11, true},
    {"eMNT_SW_P", 13, true},   {"eMNT_SW_D", 15, true},  {"eMNT_SRS_P1", 17, true},
    {"eMNT_SRS_P2", 19, true}, {"eMNT_SRS_D", 21, true}, {"eMNT_SRS_X", 23, false},
    {"eMNT_SRS_Y", 24, false},
};

// The defaults with one field's raw value in place, high byte first.
BlockBytes defaultsWith(const char* field, unsigned raw) {
    BlockBytes b = kDefaults;
    for (const Place& p : kPlaces) {
        if (std::string_view(p.field) != field) continue;
        std::size_t at = p.at;
        if (p.word) b[at++] = static_cast<std::uint8_t>(raw >> 8);
        b[at] = static_cast<std::uint8_t>(raw & 0xFF);
        return b;
    }
    ADD_FAILURE() << "no place for " << field;
    return b;
}

class FormInLocale : public testing::TestWithParam<QChar> {};

TEST_P(FormInLocale, WritingAnEmptyFormSendsTheDefaults) {
    Page page(GetParam());
    page.out.fill(0xAA);  // whatever earlier traffic left
    page.form.Button_WriteDataClick();

    for (int i = 0; i < ParameterFieldCount; ++i)
        EXPECT_EQ(page.view.texts[static_cast<std::size_t>(i)], kDefaultTexts[i]) << i;
    ASSERT_EQ(page.message.shown.size(), 1u);
    EXPECT_EQ(page.message.shown[0],
              QString::fromUtf8("Один или несколько параметров введены с ошибками.\r\n"
                                "Исправлены и записаны значения по-умолчанию."));

    ASSERT_EQ(page.hid.writes.size(), 1u);
    EXPECT_EQ(page.hid.writes[0].handle, page.hid.handle);
    const device::Report& sent = page.lastSent();
    EXPECT_EQ(sent[0], 0);
    EXPECT_EQ(sent[1], device::CmdWriteParameters);
    EXPECT_EQ(blockOf(sent), kDefaults);
    for (std::size_t b = 28; b < device::ReportSize; ++b) EXPECT_EQ(sent[b], 0xAA) << b;
}

TEST_P(FormInLocale, EachEditIsValidatedAgainstItsRange) {
    const QChar sep = GetParam();
    struct {
        const char* field;
        const char* typed;  // '#' the locale's separator, '~' the other one
        int sent;           // raw value that goes out
        const char* after;  // the edit's text after the write; nullptr: unchanged
    } cases[] = {
        {"eACC", "15", 1004, nullptr},
        {"eACC", "10", 663, nullptr},
        {"eACC", "12#00", 799, nullptr},
        {"eACC", "15#01", 799, "12"},
        {"eACC", "9#99", 799, "12"},
        {"eACC", "12~5", 799, "12"},  // wrong separator
        {"eACC", "1#5e1", 1004, nullptr},
        {"eTRM", "-20", 492, nullptr},
        {"eTRM", "20", 573, nullptr},
        {"eTRM", "-21", 532, "0"},
        {"eTRM", "#", 532, nullptr},  // a lone separator reads as 0
        {"eTRM", "-20#5", 532, "0"},
        {"eN1", "0", 30, "30"},
        {"eN1", "1", 1, nullptr},
        {"eN1", "180", 180, nullptr},
        {"eN1", "30#6", 31, nullptr},
        {"eN1", "179#6", 180, nullptr},
        {"eN1", "180#4", 30, "30"},
        {"eN1", "0#6", 30, "30"},
        {"eN1", "1#5", 2, nullptr},  // halves away from zero
        {"eN1", "1 000", 30, "30"},
        {"eN5", "abc", 5, "5"},
        {"eMB_SW_P", "5000", 5000, nullptr},
        {"eMB_SW_P", "5001", 1000, "1000"},
        {"eMB_SW_D", " 250 ", 250, nullptr},
        {"eMNT_SRS_D", "1e4", 500, "500"},
        {"eMNT_SRS_X", "11", 2, "2"},
        {"eMNT_SRS_X", "10", 10, nullptr},
        {"eMNT_SRS_Y", "+1", 1, nullptr},
        {"eMNT_SRS_Y", "1e1", 10, nullptr},
        {"eMNT_SRS_Y", "1e999999", 1, "1"},  // overflow
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " = " + c.typed);
        Page page(sep);
        page.view.fillDefaults();
        const int index = fieldIndex(QString::fromLatin1(c.field));
        ASSERT_GE(index, 0);
        const QString typed = localised(c.typed, sep);
        page.view.texts[static_cast<std::size_t>(index)] = typed;

        page.form.Button_WriteDataClick();

        ASSERT_EQ(page.hid.writes.size(), 1u);
        const device::Report& sent = page.lastSent();
        EXPECT_EQ(sent[1], device::CmdWriteParameters);
        // The other fields went out as their defaults.
        EXPECT_EQ(blockOf(sent), defaultsWith(c.field, static_cast<unsigned>(c.sent)));
        EXPECT_EQ(page.view.texts[static_cast<std::size_t>(index)],
                  c.after ? QString::fromUtf8(c.after) : typed);
        EXPECT_EQ(page.message.shown.size(), c.after ? 1u : 0u);
    }
}

TEST_P(FormInLocale, ManyFaultyEditsGiveOneMessage) {
    Page page(GetParam());
    page.view.fillDefaults();
    page.view.texts[0] = QStringLiteral("99");
    page.view.texts[4] = QStringLiteral("x");
    page.view.texts[15] = QString();
    page.view.tick = true;
    page.form.Button_WriteDataClick();
    EXPECT_EQ(page.message.shown.size(), 1u);
    EXPECT_EQ(page.lastSent()[27], 1);
    EXPECT_TRUE(page.view.tick);
}

TEST_P(FormInLocale, AReceivedBlockIsShownAsItCameAndWritesBackUnchanged) {
    const QChar sep = GetParam();
    device::RawParameterBlock block;
    block.u1 = 876;  // 13.125 V
    block.t1 = 492;  // -19.77 °C
    block.n = {0, 255, 60, 20, 5};
    block.timing = {5000, 1, 0, 65535, 1000, 500, 500};
    block.x = 0;
    block.y = 200;
    block.ignoreT = 5;

    Page page(sep);
    page.form.showParameters(device::decodeParameterValues(block));
    const char* expected[] = {"13#13", "-20", "0",     "255",  "60",  "20",  "5", "5000",
                              "1",     "0",   "65535", "1000", "500", "500", "0", "200"};
    for (int i = 0; i < ParameterFieldCount; ++i)
        EXPECT_EQ(page.view.texts[static_cast<std::size_t>(i)], localised(expected[i], sep)) << i;
    EXPECT_TRUE(page.view.tick);
    std::vector<int> order;
    for (int i = 0; i < ParameterFieldCount; ++i) order.push_back(i);
    order.push_back(-1);
    EXPECT_EQ(page.view.changes, order);

    // What a read shows of a valid block is accepted again on write and sends that block.
    device::RawParameterBlock valid;
    valid.u1 = 1004;
    valid.t1 = 573;
    valid.n = {1, 180, 2, 3, 4};
    valid.timing = {1, 5000, 2, 4999, 3, 7, 250};
    valid.x = 10;
    valid.y = 1;
    valid.ignoreT = 1;
    Page again(sep);
    again.form.showParameters(device::decodeParameterValues(valid));
    again.form.Button_WriteDataClick();
    EXPECT_TRUE(again.message.shown.empty());
    const BlockBytes validBytes{0x03, 0xec, 0x02, 0x3d, 1,    180,  2,    3,    4,
                                0x00, 0x01, 0x13, 0x88, 0x00, 0x02, 0x13, 0x87, 0x00,
                                0x03, 0x00, 0x07, 0x00, 0xfa, 10,   1,    1};
    EXPECT_EQ(blockOf(again.lastSent()), validBytes);
}

TEST_P(FormInLocale, ReadingClearsTheFormAndSendsCommandOne) {
    Page page(GetParam());
    page.view.fillDefaults();
    page.view.tick = true;
    page.form.Button_WriteDataClick();  // leaves the block in the buffer
    const device::Report written = page.out;
    page.view.changes.clear();

    page.form.Button_ReadDataClick();

    for (const QString& t : page.view.texts) EXPECT_TRUE(t.isEmpty());
    EXPECT_FALSE(page.view.tick);
    std::vector<int> order;
    for (int i = 0; i < ParameterFieldCount; ++i) order.push_back(i);
    order.push_back(-1);
    EXPECT_EQ(page.view.changes, order);
    ASSERT_EQ(page.hid.writes.size(), 2u);
    const device::Report& sent = page.lastSent();
    EXPECT_EQ(sent[0], 0);
    EXPECT_EQ(sent[1], device::CmdReadParameters);
    // Only bytes 0 and 1 belong to the read command.
    EXPECT_TRUE(std::equal(sent.begin() + 2, sent.end(), written.begin() + 2));
}

TEST_P(FormInLocale, ATelemetryRequestWhileTheMessageIsOpenLeavesTheWriteIntact) {
    Page page(GetParam());
    page.view.fillDefaults();
    page.view.texts[2] = QStringLiteral("0");  // forces the message
    page.view.texts[7] = QStringLiteral("4321");
    std::array<QString, ParameterFieldCount> shownWhileOpen;
    page.message.whileOpen = [&] {
        shownWhileOpen = page.view.texts;
        // Several timer ticks and an arriving block while the user reads the message.
        for (int tick = 0; tick < 3; ++tick) device::RequestADC(page.hid, page.out);
        page.form.showParameters(device::decodeParameterValues(device::RawParameterBlock{}));
    };

    page.form.Button_WriteDataClick();

    EXPECT_EQ(shownWhileOpen[2], QStringLiteral("30"));  // the default is already in place
    ASSERT_EQ(page.hid.writes.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(page.hid.writes[static_cast<std::size_t>(i)].report[1], 3);
    const device::Report& sent = page.lastSent();
    EXPECT_EQ(sent[0], 0);
    EXPECT_EQ(sent[1], device::CmdWriteParameters);
    EXPECT_EQ(blockOf(sent), defaultsWith("eMB_SW_P", 4321));
    // The telemetry requests carried the block behind their own command.
    EXPECT_EQ(blockOf(page.hid.writes[0].report), defaultsWith("eMB_SW_P", 4321));
}

INSTANTIATE_TEST_SUITE_P(Locales, FormInLocale,
                         testing::Values(QChar(QLatin1Char(',')), QChar(QLatin1Char('.'))),
                         [](const testing::TestParamInfo<QChar>& info) {
                             return info.param == QLatin1Char(',') ? "Comma" : "Point";
                         });

}  // namespace
