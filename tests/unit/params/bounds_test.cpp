// Every parameter at both ends of its accepted range and one step beyond each, with the
// numbers written out here: a bound moved by one in the field table must show.
#include <gtest/gtest.h>

#include "params/cli_assignments.hpp"
#include "params/parameter_form.hpp"
#include "support/device_views.hpp"
#include "support/fake_hid_library.hpp"

using namespace params;

namespace {

struct Bounds {
    const char* name;
    int reportByte;
    bool wide;  // 16 bits, high byte first
    const char *low, *high;
    unsigned lowRaw, highRaw;
    const char *below, *above;
    const char* defaultText;
    unsigned defaultRaw;
};

// In processing order. U1 is shown with two decimals: its step is 0.01 V.
const Bounds kBounds[] = {
    {"eACC", 2, true, "10", "15", 663, 1004, "9.99", "15.01", "12", 799},
    {"eTRM", 4, true, "-20", "20", 492, 573, "-21", "21", "0", 532},
    {"eN1", 6, false, "1", "180", 1, 180, "0", "181", "30", 30},
    {"eN2", 7, false, "1", "180", 1, 180, "0", "181", "40", 40},
    {"eN3", 8, false, "1", "180", 1, 180, "0", "181", "60", 60},
    {"eN4", 9, false, "1", "180", 1, 180, "0", "181", "20", 20},
    {"eN5", 10, false, "1", "180", 1, 180, "0", "181", "5", 5},
    {"eMB_SW_P", 11, true, "1", "5000", 1, 5000, "0", "5001", "1000", 1000},
    {"eMB_SW_D", 13, true, "1", "5000", 1, 5000, "0", "5001", "500", 500},
    {"eMNT_SW_P", 15, true, "1", "5000", 1, 5000, "0", "5001", "1000", 1000},
    {"eMNT_SW_D", 17, true, "1", "5000", 1, 5000, "0", "5001", "500", 500},
    {"eMNT_SRS_P1", 19, true, "1", "5000", 1, 5000, "0", "5001", "1000", 1000},
    {"eMNT_SRS_P2", 21, true, "1", "5000", 1, 5000, "0", "5001", "500", 500},
    {"eMNT_SRS_D", 23, true, "1", "5000", 1, 5000, "0", "5001", "500", 500},
    {"eMNT_SRS_X", 25, false, "1", "10", 1, 10, "0", "11", "2", 2},
    {"eMNT_SRS_Y", 26, false, "1", "10", 1, 10, "0", "11", "1", 1},
};

TEST(ParameterBounds, EachFieldAcceptsItsBoundsAndRefusesOneStepBeyond) {
    static_assert(std::size(kBounds) == ParameterFieldCount);
    for (int i = 0; i < ParameterFieldCount; ++i) {
        const Bounds& b = kBounds[i];
        ASSERT_EQ(QString(ParameterFields[static_cast<std::size_t>(i)].name), b.name);
        const struct {
            const char* typed;
            bool accepted;
            unsigned sent;
        } cases[] = {{b.low, true, b.lowRaw},
                     {b.high, true, b.highRaw},
                     {b.below, false, b.defaultRaw},
                     {b.above, false, b.defaultRaw}};
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(b.name) + " = " + c.typed);
            testing_support::FakeHidLibrary hid{7};
            device::Report out{};
            testing_support::FakeParameterForm view;
            testing_support::CountingMessage message;
            ParameterForm form(hid, out, view, message, QLatin1Char('.'));
            view.fillDefaults();
            view.texts[static_cast<std::size_t>(i)] = QString::fromLatin1(c.typed);

            form.Button_WriteDataClick();

            ASSERT_EQ(hid.writes.size(), 1u);
            const device::Report& r = hid.writes[0].report;
            const auto at = static_cast<std::size_t>(b.reportByte);
            const unsigned sent = b.wide ? (r[at] << 8 | r[at + 1]) : r[at];
            EXPECT_EQ(sent, c.sent);
            EXPECT_EQ(view.texts[static_cast<std::size_t>(i)],
                      QString::fromLatin1(c.accepted ? c.typed : b.defaultText));
            EXPECT_EQ(message.shown.size(), c.accepted ? 0u : 1u);
            // The command line refuses exactly what the form would correct.
            const QString pair = QString::fromLatin1(b.name) + u'=' + QString::fromLatin1(c.typed);
            EXPECT_EQ(checkAssignments({pair}).ok(), c.accepted);
        }
    }
}

}  // namespace
