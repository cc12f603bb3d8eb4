#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

#include "emulator/controller_emulator.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QVBoxLayout;

namespace demo {

// The demo's stand-in for the hardware: plugs and unplugs the emulated controller and an
// unrelated HID device, sets the telemetry in volts and degrees, holds wheel buttons while
// the mouse holds them, and shows the block the controller has stored. Everything here
// goes through the emulator, so the program sees exactly what a real controller would send.
class SimulatorWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int WheelButtons = 12;
    // Wheel codes of the buttons until the user edits them: well apart, far beyond any
    // match tolerance.
    static constexpr int FirstCode = 1024;
    static constexpr int CodeStep = 100;
    // How often the window looks at what others (the control socket, the variation) changed.
    static constexpr int RefreshMs = 250;

    explicit SimulatorWindow(emulator::ControllerEmulator& emulator, QWidget* parent = nullptr);

    // By default the window takes no keyboard focus, so that wheel presses reach the window
    // the user works in, and a focused code field of the main window stays focused.
    void setTakesNoFocus(bool on);
    bool takesNoFocus() const;

    // Beside `main`, to its right when the screen has room, else to its left.
    void placeBeside(const QWidget& main);

    QPushButton* wheelButton(int index) const { return wheel_.at(static_cast<std::size_t>(index)); }
    QSpinBox* wheelCode(int index) const { return codes_.at(static_cast<std::size_t>(index)); }

    // The slider units: hundredths of a volt and tenths of a degree.
    static int sliderForAccRaw(unsigned raw);
    static int sliderForAtxRaw(unsigned raw);
    static int sliderForTemperatureRaw(unsigned raw);

public slots:
    // Brings every control in line with the emulator.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildDevices(QVBoxLayout* layout);
    void buildTelemetry(QVBoxLayout* layout);
    void buildButtons(QVBoxLayout* layout);
    void buildBlock(QVBoxLayout* layout);
    void onSliderMoved();
    void refreshBlock();

    emulator::ControllerEmulator& emulator_;
    QTimer refreshTimer_;
    bool syncing_ = false;

    QCheckBox* plugged_ = nullptr;
    QCheckBox* otherPlugged_ = nullptr;
    QSlider* acc_ = nullptr;
    QSlider* atx_ = nullptr;
    QSlider* temperature_ = nullptr;
    QLabel* accValue_ = nullptr;
    QLabel* atxValue_ = nullptr;
    QLabel* temperatureValue_ = nullptr;
    QCheckBox* auto_ = nullptr;
    QSpinBox* rate_ = nullptr;
    QCheckBox* noFocus_ = nullptr;
    std::array<QPushButton*, WheelButtons> wheel_{};
    std::array<QSpinBox*, WheelButtons> codes_{};
    QLabel* blockHex_ = nullptr;
    std::array<QLabel*, 17> blockValues_{};
};

}  // namespace demo
