#include <gtest/gtest.h>

#include "params/cli_assignments.hpp"
#include "params/parameter_fields.hpp"

using namespace params;

namespace {

TEST(CliAssignments, ValuesTheFormWouldCorrectAreErrors) {
    struct {
        const char* pair;
        const char* errorMentions;  // nullptr: accepted
    } cases[] = {
        {"eACC=15", nullptr},
        {"eACC=10.5", nullptr},
        {"eTRM=-20", nullptr},
        {"eTRM=.", nullptr},
        {"eN1=1", nullptr},
        {"eMNT_SRS_Y=1e1", nullptr},
        {"ignoreT=0", nullptr},
        {"ignoreT=1", nullptr},
        {"eACC=15.01", "eACC: value \"15.01\" is not accepted (range 10 to 15)"},
        {"eACC=12,5", "eACC: value \"12,5\" is not accepted (range 10 to 15)"},
        {"eTRM=-21", "eTRM: value \"-21\" is not accepted (range -20 to 20)"},
        {"eN1=0", "range 1 to 180"},
        {"eMB_SW_P=5001", "range 1 to 5000"},
        {"eMNT_SRS_X=", "eMNT_SRS_X: value \"\""},
        {"ignoreT=2", "ignoreT: value \"2\""},
        {"ignoreT=yes", "ignoreT"},
        {"eacc=12", "unknown parameter \"eacc\""},
        {"=12", "unknown parameter \"\""},
        {"eN1", "expected NAME=VALUE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pair);
        const AssignmentCheck check = checkAssignments({QString::fromUtf8(c.pair)});
        if (!c.errorMentions) {
            EXPECT_TRUE(check.ok()) << check.error.toStdString();
            EXPECT_EQ(check.assignments.size(), 1u);
        } else {
            EXPECT_FALSE(check.ok());
            EXPECT_TRUE(check.assignments.empty());
            EXPECT_TRUE(check.error.contains(QString::fromUtf8(c.errorMentions)))
                << check.error.toStdString();
        }
    }
}

TEST(CliAssignments, OneBadPairRefusesTheWholeCommand) {
    const AssignmentCheck check = checkAssignments(
        {QStringLiteral("eN1=5"), QStringLiteral("eN2=500"), QStringLiteral("eN3=5")});
    EXPECT_FALSE(check.ok());
    EXPECT_TRUE(check.error.startsWith(QStringLiteral("eN2:")));
    EXPECT_TRUE(check.assignments.empty());
}

TEST(CliAssignments, NamedFieldsChangeAndTheRestKeepTheControllersValues) {
    device::RawParameterBlock current;
    current.u1 = 700;
    current.t1 = 500;
    current.n = {0, 255, 3, 4, 5};  // out of range, but not ours to touch
    current.timing = {10, 20, 30, 40, 50, 60, 70};
    current.x = 7;
    current.y = 8;
    current.ignoreT = 0;

    const AssignmentCheck check =
        checkAssignments({QStringLiteral("eACC=15"), QStringLiteral("eTRM=-20"),
                          QStringLiteral("eN2=30.6"), QStringLiteral("eMNT_SRS_P2=5000"),
                          QStringLiteral("ignoreT=1"), QStringLiteral("eMNT_SRS_Y=2")});
    ASSERT_TRUE(check.ok()) << check.error.toStdString();
    device::RawParameterBlock block = current;
    applyAssignments(block, check.assignments);

    device::RawParameterBlock expected = current;
    expected.u1 = 1004;
    expected.t1 = 492;
    expected.n[1] = 31;
    expected.timing[5] = 5000;
    expected.ignoreT = 1;
    expected.y = 2;
    EXPECT_EQ(block, expected);

    applyAssignments(block, checkAssignments({QStringLiteral("ignoreT=0")}).assignments);
    EXPECT_EQ(block.ignoreT, 0);
}

}  // namespace
