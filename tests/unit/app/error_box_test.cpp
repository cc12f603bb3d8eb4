#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QWidget>
#include <stdexcept>

#include "app/error_box.hpp"
#include "support/program_app.hpp"

namespace {

TEST(ErrorBoxText, FullStopUnlessLastCharIsDotOrBelow) {
    struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Unable to write to /home/carpc/Control.ini",
         "Unable to write to /home/carpc/Control.ini."},
        {"Done.", "Done."},
        {"Stop!", "Stop!"},  // '!' is below '.'
        {"dash-", "dash-"},  // '-' is the character just below '.'
        {"blank ", "blank "},
        {"line\n", "line\n"},
        {"slash/", "slash/."},  // '/' is just above '.'
        {"What?", "What?."},
        {"12", "12."},
        {"Ошибка записи", "Ошибка записи."},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::errorBoxText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown))
            << c.message;
    }
}

class Throwing : public QWidget {
public:
    int events = 0;
    bool throwOnClose = true;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++events;
            if (events == 1) throw std::runtime_error("Unable to write to /x/Control.ini");
            return true;
        }
        return QWidget::event(e);
    }
    void closeEvent(QCloseEvent* e) override {
        if (throwOnClose) throw std::runtime_error("Unable to write to /y/Control.ini");
        QWidget::closeEvent(e);
    }
};

struct Shown {
    QString caption, text;
};

TEST(TopLevelErrorHandler, ShowsTheMessageAbandonsTheActionAndRunsOn) {
    auto& a = testApp();
    std::vector<Shown> shown;
    a.setErrorPresenter([&](const QString& c, const QString& t) { shown.push_back({c, t}); });

    Throwing w;
    QEvent first(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&w, &first));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("Drevonix v2.2"));
    EXPECT_EQ(shown[0].text, QStringLiteral("Unable to write to /x/Control.ini."));

    // The program goes on: the next event is handled as usual.
    QEvent second(QEvent::User);
    EXPECT_TRUE(QCoreApplication::sendEvent(&w, &second));
    EXPECT_EQ(w.events, 2);
    EXPECT_EQ(shown.size(), 1u);

    // A close whose handler fails is refused: the window stays.
    w.show();
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, QStringLiteral("Unable to write to /y/Control.ini."));

    w.throwOnClose = false;
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    a.setErrorPresenter(nullptr);
}

}  // namespace
