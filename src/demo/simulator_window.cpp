#include "demo/simulator_window.hpp"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "common/number_format.hpp"
#include "device/conversions.hpp"
#include "params/parameter_form.hpp"
#include "ui/parameter_page.hpp"
#include "ui/telemetry_page.hpp"

namespace demo {
namespace {

// Slider ranges: what a car's supply and a controller's sensor plausibly see.
constexpr int AccMin = 0, AccMax = 1600;                     // 0..16 V
constexpr int AtxMin = 0, AtxMax = 1600;                     // 0..16 V
constexpr int TemperatureMin = -400, TemperatureMax = 1250;  // -40..125 °C

// With the main window's separator: side by side, the two must read alike.
QString fixed(long double v, int decimals) {
    return common::formatFixed(v, decimals, ui::TelemetryPage::localeDecimalSeparator());
}

QLabel* valueLabel(QWidget* parent, const QString& widest) {
    auto* label = new QLabel(parent);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 8);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

const char* const BlockFieldNames[] = {
    "U1",
    "T1",
    "N1",
    "N2",
    "N3",
    "N4",
    "N5",
    "MB SW P",
    "MB SW D",
    "MNT SW P",
    "MNT SW D",
    "MNT SRS P1",
    "MNT SRS P2",
    "MNT SRS D",
    "MNT SRS X",
    "MNT SRS Y",
    QT_TRANSLATE_NOOP("demo::SimulatorWindow", "Игнор. T"),
};

}  // namespace

int SimulatorWindow::sliderForAccRaw(unsigned raw) {
    return static_cast<int>(std::lround(static_cast<double>(device::rawToAccVolts(raw)) * 100));
}
int SimulatorWindow::sliderForAtxRaw(unsigned raw) {
    return static_cast<int>(std::lround(static_cast<double>(device::rawToAtxVolts(raw)) * 100));
}
int SimulatorWindow::sliderForTemperatureRaw(unsigned raw) {
    return static_cast<int>(std::lround(static_cast<double>(device::rawToCelsius(raw)) * 10));
}

SimulatorWindow::SimulatorWindow(emulator::ControllerEmulator& emulator, QWidget* parent)
    : QWidget(parent, Qt::Window), emulator_(emulator) {
    setObjectName(QStringLiteral("SimulatorWindow"));
    setWindowTitle(tr("Симулятор контроллера"));
    // Showing up beside the main window must not take the activation from it.
    setAttribute(Qt::WA_ShowWithoutActivating);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    buildDevices(layout);
    buildTelemetry(layout);
    buildButtons(layout);
    buildBlock(layout);
    layout->addStretch(1);

    refreshTimer_.setInterval(RefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &SimulatorWindow::refresh);
    connect(&emulator_, &emulator::ControllerEmulator::pluggedChanged, this,
            &SimulatorWindow::refresh);
    connect(&emulator_, &emulator::ControllerEmulator::otherPluggedChanged, this,
            &SimulatorWindow::refresh);
    connect(&emulator_, &emulator::ControllerEmulator::blockChanged, this,
            &SimulatorWindow::refreshBlock);
    setTakesNoFocus(true);
    refresh();
}

void SimulatorWindow::buildDevices(QVBoxLayout* layout) {
    auto* box = new QGroupBox(tr("Подключены"), this);
    // One above the other: side by side they would make the window too wide (see placeBeside).
    auto* v = new QVBoxLayout(box);
    plugged_ = new QCheckBox(tr("Контроллер 04D8:003F"), box);
    plugged_->setObjectName(QStringLiteral("simPlugged"));
    otherPlugged_ = new QCheckBox(tr("Другое HID-устройство 046D:C52B"), box);
    otherPlugged_->setObjectName(QStringLiteral("simOtherPlugged"));
    v->addWidget(plugged_);
    v->addWidget(otherPlugged_);
    connect(plugged_, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            emulator_.plug();
        else
            emulator_.unplug();
    });
    connect(otherPlugged_, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            emulator_.plugOther();
        else
            emulator_.unplugOther();
    });
    layout->addWidget(box);
}

void SimulatorWindow::buildTelemetry(QVBoxLayout* layout) {
    auto* box = new QGroupBox(tr("Телеметрия"), this);
    auto* grid = new QGridLayout(box);
    const auto row = [&](int r, const QString& caption, QSlider*& slider, QLabel*& label, int min,
                         int max, const QString& widest, const char* name) {
        grid->addWidget(new QLabel(caption, box), r, 0);
        slider = new QSlider(Qt::Horizontal, box);
        slider->setObjectName(QLatin1String(name));
        slider->setRange(min, max);
        slider->setMinimumWidth(120);
        grid->addWidget(slider, r, 1);
        label = valueLabel(box, widest);
        grid->addWidget(label, r, 2);
        connect(slider, &QSlider::valueChanged, this, &SimulatorWindow::onSliderMoved);
    };
    row(0, QStringLiteral("ACC"), acc_, accValue_, AccMin, AccMax,
        QStringLiteral("888.88 V = 65535"), "simAcc");
    row(1, QStringLiteral("ATX"), atx_, atxValue_, AtxMin, AtxMax,
        QStringLiteral("888.88 V = 65535"), "simAtx");
    row(2, tr("Температура"), temperature_, temperatureValue_, TemperatureMin, TemperatureMax,
        QStringLiteral("-888.8 °C = 65535"), "simTemperature");
    auto_ = new QCheckBox(tr("авто (медленно меняется)"), box);
    auto_->setObjectName(QStringLiteral("simAuto"));
    grid->addWidget(auto_, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    connect(auto_, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            emulator_.setVariation(true);
        else
            emulator_.setTelemetry(emulator_.telemetry());  // held where it is now
        refresh();
    });
    layout->addWidget(box);
}

void SimulatorWindow::buildButtons(QVBoxLayout* layout) {
    auto* box = new QGroupBox(tr("Кнопки руля (держите мышью)"), this);
    auto* v = new QVBoxLayout(box);
    auto* grid = new QGridLayout;
    constexpr int Rows = WheelButtons / 2;
    for (int i = 0; i < WheelButtons; ++i) {
        auto* button = new QPushButton(QString::number(i + 1), box);
        button->setToolTip(tr("Пока нажата, посылает код рядом с ней"));
        // The style's default button width would make the window wider than the room beside
        // the main window on a small screen.
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("88")) + 20);
        button->setObjectName(QStringLiteral("simButton%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        button->setFocusPolicy(Qt::NoFocus);
        auto* code = new QSpinBox(box);
        code->setObjectName(QStringLiteral("simCode%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        code->setRange(0, 0xFFFF);
        code->setValue(FirstCode + i * CodeStep);
        code->setToolTip(tr("16-битный код этой кнопки"));
        const int r = i % Rows;
        const int c = (i / Rows) * 3;  // a gap column between the pairs
        grid->addWidget(button, r, c);
        grid->addWidget(code, r, c + 1);
        connect(button, &QPushButton::pressed, this,
                [this, code] { emulator_.hold(code->value()); });
        connect(button, &QPushButton::released, this, [this] { emulator_.release(); });
        wheel_[static_cast<std::size_t>(i)] = button;
        codes_[static_cast<std::size_t>(i)] = code;
    }
    grid->setHorizontalSpacing(4);
    grid->setColumnMinimumWidth(2, 10);
    v->addLayout(grid);

    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(new QLabel(tr("Частота при удержании"), box));
    rate_ = new QSpinBox(box);
    rate_->setObjectName(QStringLiteral("simRate"));
    rate_->setRange(1, emulator::ControllerEmulator::MaxRate);
    rate_->setSuffix(tr(" отчётов/с"));
    rate_->setValue(emulator_.rate());
    rateRow->addWidget(rate_);
    rateRow->addStretch(1);
    v->addLayout(rateRow);
    connect(rate_, &QSpinBox::valueChanged, this, [this](int value) {
        if (!syncing_) emulator_.setRate(value);
    });

    noFocus_ = new QCheckBox(tr("Не брать фокус клавиатуры\n(клавиши идут переднему окну)"), box);
    noFocus_->setObjectName(QStringLiteral("simNoFocus"));
    noFocus_->setToolTip(
        tr("Снимите флажок, чтобы вводить коды и частоту с клавиатуры; пока он стоит, "
           "пользуйтесь стрелками или колёсиком мыши"));
    v->addWidget(noFocus_);
    connect(noFocus_, &QCheckBox::clicked, this, &SimulatorWindow::setTakesNoFocus);
    layout->addWidget(box);
}

void SimulatorWindow::buildBlock(QVBoxLayout* layout) {
    auto* box = new QGroupBox(tr("Блок, хранимый в контроллере"), this);
    auto* v = new QVBoxLayout(box);
    blockHex_ = new QLabel(box);
    blockHex_->setObjectName(QStringLiteral("simBlockHex"));
    blockHex_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    blockHex_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(blockHex_);
    auto* grid = new QGridLayout;
    constexpr int Rows = 6;
    for (std::size_t i = 0; i < blockValues_.size(); ++i) {
        const int r = static_cast<int>(i) % Rows;
        const int c = (static_cast<int>(i) / Rows) * 2;
        grid->addWidget(
            new QLabel(QCoreApplication::translate("demo::SimulatorWindow", BlockFieldNames[i]),
                       box),
            r, c);
        auto* value = new QLabel(box);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("88.88 V")));
        grid->addWidget(value, r, c + 1);
        blockValues_[i] = value;
    }
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(0);
    v->addLayout(grid);
    layout->addWidget(box);
}

void SimulatorWindow::setTakesNoFocus(bool on) {
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, on);
    // Changing a window flag hides the window.
    if (wasVisible) show();
    const QSignalBlocker blocker(noFocus_);
    noFocus_->setChecked(on);
}

bool SimulatorWindow::takesNoFocus() const {
    return windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus);
}

void SimulatorWindow::placeBeside(const QWidget& main) {
    constexpr int Gap = 8;
    const QRect frame = main.frameGeometry();
    const QScreen* screen = main.screen();
    const QRect room = screen ? screen->availableGeometry() : QRect(frame.topLeft(), frame.size());
    // Our own frame is not known before the first showing; take the main window's.
    const QSize decoration = main.frameGeometry().size() - main.size();
    const QSize size = (isVisible() ? frameGeometry().size() : sizeHint() + decoration);
    int x = frame.right() + 1 + Gap;
    if (x + size.width() > room.right() + 1) {
        x = frame.left() - Gap - size.width();
        if (x < room.left()) x = room.right() + 1 - size.width();
    }
    x = std::max(x, room.left());
    // Nearly as tall as a 768-pixel screen: at the top of the usable area, where the whole
    // of it fits also under window managers that put a window a frame's height lower than
    // asked (openbox, with Qt 6.4 and 6.8 alike), and where the main window's height cannot
    // push it down.
    const int y = room.top();
    move(x, y);
}

void SimulatorWindow::showEvent(QShowEvent* event) {
    refresh();
    refreshTimer_.start();
    QWidget::showEvent(event);
}

void SimulatorWindow::hideEvent(QHideEvent* event) {
    refreshTimer_.stop();
    QWidget::hideEvent(event);
}

void SimulatorWindow::onSliderMoved() {
    if (syncing_) return;
    const emulator::RawTelemetry raw{
        emulator::accRawFor(static_cast<long double>(acc_->value()) / 100),
        emulator::atxRawFor(static_cast<long double>(atx_->value()) / 100),
        emulator::temperatureRawFor(static_cast<long double>(temperature_->value()) / 10)};
    emulator_.setTelemetry(raw);
    refresh();
}

void SimulatorWindow::refresh() {
    syncing_ = true;
    plugged_->setChecked(emulator_.isPlugged());
    otherPlugged_->setChecked(emulator_.isOtherPlugged());
    const emulator::RawTelemetry t = emulator_.telemetry();
    const auto place = [](QSlider* slider, int value) {
        // Never pull the knob from under the user's mouse.
        if (!slider->isSliderDown()) slider->setValue(value);
    };
    place(acc_, sliderForAccRaw(t.acc));
    place(atx_, sliderForAtxRaw(t.atx));
    place(temperature_, sliderForTemperatureRaw(t.temperature));
    accValue_->setText(
        QStringLiteral("%1 V = %2").arg(fixed(device::rawToAccVolts(t.acc), 2)).arg(t.acc));
    atxValue_->setText(
        QStringLiteral("%1 V = %2").arg(fixed(device::rawToAtxVolts(t.atx), 2)).arg(t.atx));
    temperatureValue_->setText(QStringLiteral("%1 °C = %2")
                                   .arg(fixed(device::rawToCelsius(t.temperature), 1))
                                   .arg(t.temperature));
    auto_->setChecked(emulator_.variation());
    if (!rate_->hasFocus()) rate_->setValue(emulator_.rate());
    syncing_ = false;
    refreshBlock();
}

void SimulatorWindow::refreshBlock() {
    const device::ParameterBlockBytes bytes = emulator_.blockBytes();
    const QString hex = device::formatBlockBytes(bytes);
    // Two lines of 13 bytes: the whole block stays readable in a narrow window.
    blockHex_->setText(hex.left(13 * 3 - 1) + QLatin1Char('\n') + hex.mid(13 * 3));
    // The values as the parameter page shows them, so that the two never disagree.
    const params::ParameterTexts shown =
        params::displayTexts(device::decodeParameterValues(emulator_.parameterBlock()),
                             ui::ParameterPage::systemDecimalSeparator());
    blockValues_[0]->setText(shown.texts[0] + QStringLiteral(" V"));
    blockValues_[1]->setText(shown.texts[1] + QStringLiteral(" °C"));
    for (std::size_t i = 2; i < shown.texts.size(); ++i) {
        // N1..N5 count seconds, the seven timings milliseconds, X and Y presses.
        const QString unit = i < 7    ? QStringLiteral(" s")
                             : i < 14 ? QStringLiteral(" ms")
                                      : QString();
        blockValues_[i]->setText(shown.texts[i] + unit);
    }
    blockValues_[16]->setText(shown.ignoreT ? tr("да") : tr("нет"));
}

}  // namespace demo
