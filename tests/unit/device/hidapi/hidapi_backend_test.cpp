// hidapi itself, on the system the test runs on (wine for the Windows build): it starts and
// lists without a failure to explain, and an empty listing is told apart from a failed one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>

#include "device/hidapi/hidapi_backend.hpp"

using device::listingFailure;

namespace {

QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) warnings << text;
}

TEST(HidapiBackend, EmptyListingsAreToldApartFromFailures) {
    const struct {
        const char* hidError;
        const char* expected;
    } cases[] = {
        {"Success", ""},
        {"No HID devices found in the system.", ""},
        {"Failed to get size of HID device interface list",
         "Failed to get size of HID device interface list"},
        {"", "no reason given"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listingFailure(QString::fromUtf8(c.hidError)), QString::fromUtf8(c.expected))
            << c.hidError;
}

// Under wine, hidapi's own cfgmgr32 path fails; the build's hidapi must list through SetupDi.
TEST(HidapiBackend, StartsAndListsWithNothingToExplain) {
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    {
        auto backend = device::makeHidapiBackend();
        backend->enumerate();
        backend->enumerate();
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << qPrintable(warnings.join(QLatin1Char('\n')));
}

}  // namespace
