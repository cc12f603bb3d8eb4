#include "ui/tform1.hpp"

#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <vector>

#include "common/version.hpp"
#include "ui/key_table_page.hpp"
#include "ui/parameter_page.hpp"
#include "ui/status_panels.hpp"
#include "ui/telemetry_page.hpp"
#include "ui/tray_icon.hpp"
#include "ui_tform1.h"

// The pictures live in a static library; their registration has to be pulled in by name.
static void initPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace ui {

TForm1* Form1 = nullptr;

void installFontFallbacks() {
    // Faces whose line pitch at 11 px is 13 px come first: the parameter edits stand beside
    // the legend's lines at that pitch.
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
         QStringLiteral("Arial"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans Condensed"),
         QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

TForm1::TForm1(device::HidLibrary& hid, keymap::KeyEmitter* emitter, LifecycleOptions options,
               QWidget* parent)
    : QMainWindow(parent),
      hid_(hid),
      options_(std::move(options)),
      ui_(std::make_unique<Ui::TForm1>()) {
    Form1 = this;
    initPictures();
    installFontFallbacks();
    ui_->setupUi(this);
    setWindowTitle(common::programTitle());
    for (QPlainTextEdit* memo : {ui_->Memo1, ui_->Memo2}) {
        // Flush with the box, as the legend's lines have to meet the edits beside them.
        memo->document()->setDocumentMargin(1);
        // Legend and instructions read as part of the page: button face, not a text box's
        // white. A palette, not a style sheet, so that the window's font still reaches them.
        QPalette palette = memo->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        memo->setPalette(palette);
    }
    usePixelFontSizes();
    narrowFontToLayout();

    setFixedSize(ClientWidth, ClientHeight);
    ui_->StatusBar->setFixedHeight(ClientHeight - ui_->TabControl1->height());
    status_ = new StatusPanels(ui_->StatusBar);
    hook_ = std::make_unique<device::DeviceEventHook>(hid_, InReport, LatestMeasurements, *status_);
    parameters_ = std::make_unique<ParameterPage>(ui_->Panel2, hid_, OutReport);
    hook_->setParameterDisplay(parameters_.get());
    telemetry_ = std::make_unique<TelemetryPage>(ui_->Panel1, ui_->Chart1, ui_->Chart2, hid_,
                                                 OutReport, LatestMeasurements);

    keyTable_ = std::make_unique<KeyTablePage>(ui_->Panel4);
    keyMapper_ =
        std::make_unique<keymap::KeyMapper>(*keyTable_, emitter ? *emitter : noKeystrokes_, clock_);
    hook_->setButtonCodeSink(keyMapper_.get());
    activation_ = std::make_unique<WindowActivationHook>(this, *keyMapper_);
    connect(ui_->info, &QPushButton::clicked, this, [this] { KeyTablePage::infoClick(this); });

    setUpTabs();
    setUpPopupMenu();
    setUpLifecycle();

    // Both timers run from creation, visible or not, for the life of the window.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(keymap::KeyMapper::Timer2IntervalMs);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    Timer2->start();

    FormCreate();
}

TForm1::~TForm1() {
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::usePixelFontSizes() {
    // The layout is measured in pixels at 96 dpi, and so are its fonts: 11 px text, 32 px
    // readouts. A screen that claims another dpi must not grow the text out of its controls.
    QFont text = font();
    text.setPixelSize(11);
    setFont(text);
    for (QPushButton* readout : {ui_->Button1, ui_->Button2, ui_->Button3}) {
        QFont big = readout->font();
        big.setPixelSize(32);
        readout->setFont(big);
    }
}

void TForm1::narrowFontToLayout() {
    // The labels' widths in the layout are their captions' widths in the original font.
    // A stand-in face that runs wider is narrowed until every caption fits again. Measured,
    // not computed: a face that is condensed already counts stretch from its own width.
    struct Caption {
        QString text;
        int room;
    };
    std::vector<Caption> captions;
    for (const QLabel* label : ui_->TabControl1->findChildren<QLabel*>())
        captions.push_back({label->text(), label->width()});
    for (const QCheckBox* box : ui_->TabControl1->findChildren<QCheckBox*>()) {
        if (box->text().isEmpty()) continue;
        const int indicator =
            box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
            box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        captions.push_back({box->text(), box->width() - indicator});
    }
    // The instructions have no edits beside them: each line has to fit the box.
    const QPlainTextEdit* instructions = ui_->Memo2;
    const int margin = static_cast<int>(std::ceil(instructions->document()->documentMargin()));
    for (const QString& line : instructions->toPlainText().split(QLatin1Char('\n')))
        captions.push_back({line, instructions->width() - 2 * margin - 2});
    const auto fits = [&](const QFont& candidate) {
        const QFontMetrics metrics(candidate);
        return std::all_of(captions.begin(), captions.end(), [&](const Caption& c) {
            return metrics.horizontalAdvance(c.text) <= c.room;
        });
    };
    QFont narrowed = font();
    if (fits(narrowed)) return;
    for (int stretch = 100; stretch >= 70; stretch -= 2) {
        narrowed.setStretch(stretch);
        if (fits(narrowed)) break;
    }
    setFont(narrowed);
}

void TForm1::setUpTabs() {
    QTabBar* tabs = ui_->TabControl1;
    for (const QString& caption : {tr("Индикаторы"), tr("Параметры"), tr("Кнопки"), tr("Свернуть")})
        tabs->addTab(caption);
    tabs->setCurrentIndex(0);
    // No page switch at start: the indicators lie in front until the user picks a tab. The
    // pages behind are hidden too, so that Tab never walks into controls nobody can see.
    ui_->Panel1->raise();
    ui_->Panel2->hide();
    ui_->Panel3->hide();
    connect(tabs, &QTabBar::currentChanged, this, &TForm1::TabControl1Change);
}

void TForm1::setUpPopupMenu() {
    N1 = ui_->N1;
    N2 = ui_->N2;
    N4 = ui_->N4;
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(N1);
    PopupMenu1->addAction(N2);
    N3 = PopupMenu1->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    PopupMenu1->addAction(N4);
}

void TForm1::TabControl1Change(int index) {
    ui_->Panel1->hide();
    ui_->Panel2->hide();
    ui_->Panel3->hide();
    switch (index) {
        case 0:
            ui_->Panel1->show();
            break;
        case 1:
            ui_->Panel2->show();
            parameters_->Button_ReadDataClick();
            break;
        case 2:
            ui_->Panel3->show();
            break;
        case 3: {
            // Back to the indicators for the next showing, without running this handler again.
            const QSignalBlocker blocker(ui_->TabControl1);
            ui_->TabControl1->setCurrentIndex(0);
            ui_->Panel1->show();
            // Hidden, the window comes back through the tray icon. Without a notification
            // area nothing could bring it back, so it goes to the taskbar instead.
            if (tray_ && tray_->trayAvailable())
                hide();
            else
                showMinimized();
            break;
        }
        default:
            break;
    }
}

void TForm1::Timer1Timer() {
    telemetry_->Timer1Timer();
}

void TForm1::Timer2Timer() {
    keyMapper_->Timer2Timer();
}

}  // namespace ui
