#pragma once

#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringView>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

#include "device/block_bytes.hpp"
#include "device/reports.hpp"
#include "keymap/clock.hpp"

namespace emulator {

using device::Command;
using device::ParameterBlockBytes;
using device::RawParameterBlock;
using device::Report;

// Raw telemetry as the controller measures it (bytes 2..7 of a type-3 report).
struct RawTelemetry {
    std::uint16_t acc = 0;
    std::uint16_t atx = 0;
    std::uint16_t temperature = 0;
    bool operator==(const RawTelemetry&) const = default;
};

// The raw value whose reading comes nearest to a wanted one (for sliders in volts and °C).
std::uint16_t accRawFor(long double volts);
std::uint16_t atxRawFor(long double volts);
std::uint16_t temperatureRawFor(long double celsius);

// An in-process model of the controller's firmware, for tests, the demo and people without
// the hardware. It speaks the controller's reports; SimulatedLibrary puts it behind the
// HidLibrary calls. Everything runs on the thread that owns it.
//
// Answers to commands are sent from the event loop, never from inside receive(), as a real
// device answers after the write has returned.
class ControllerEmulator : public QObject {
    Q_OBJECT
public:
    static constexpr int OtherVendorId = 0x046D;
    static constexpr int OtherProductId = 0xC52B;
    static constexpr int DefaultRate = 1000;  // reports/s: the USB full-speed limit
    static constexpr int MaxRate = 8000;
    // Short enough for the 160-pixel status panel it is shown in.
    static const char* productName() { return "Power Controller Emulator"; }
    static const char* otherProductName() { return "USB Receiver"; }

    // Starts plugged, with the factory block, and telemetry fixed at nominalTelemetry().
    explicit ControllerEmulator(QObject* parent = nullptr);
    // The block is kept in `statePath` between runs, like the controller's EEPROM. A missing
    // or unreadable file gives the factory block; the file is written on each stored block.
    explicit ControllerEmulator(const QString& statePath, QObject* parent = nullptr);
    ~ControllerEmulator() override;

    bool isPlugged() const { return plugged_; }
    void plug();
    void unplug();
    // An unrelated HID device, to show that the program ignores it.
    bool isOtherPlugged() const { return otherPlugged_; }
    void plugOther();
    void unplugOther();

    // One output report from the host. Ignored while unplugged; unknown commands are ignored.
    void receive(const Report& report);

    ParameterBlockBytes blockBytes() const { return block_; }
    RawParameterBlock parameterBlock() const;
    QString statePath() const { return statePath_; }
    // False when the last save of the state file failed.
    bool stateSaved() const { return stateSaved_; }

    // Fixes the raw telemetry (and stops the slow variation).
    void setTelemetry(const RawTelemetry& raw);
    // Slowly moves the telemetry around nominalTelemetry(), so that charts have something
    // to draw.
    void setVariation(bool on);
    bool variation() const { return variation_; }
    // What a telemetry request would be answered with now.
    RawTelemetry telemetry() const;
    // ACC about 13.8 V, ATX about 12.1 V, about 25 °C.
    static RawTelemetry nominalTelemetry();

    // Type-4 reports per second while a wheel button is pressed.
    int rate() const { return rate_; }
    // The clock the rate is kept by (a steady one unless set); it must outlive the
    // emulator. Tests move one of their own.
    void setClock(const keymap::Clock& clock) { sendClock_ = &clock; }
    void setRate(int reportsPerSecond);
    // A held button sends reports until release(). Replaces a running burst.
    void hold(int code);
    void release();
    // `count` reports of `code` at the rate, then burstFinished(). Replaces a hold or a
    // running burst.
    void burst(int code, int count);
    bool isHeld() const { return sending_ && remaining_ < 0; }
    bool isBursting() const { return sending_ && remaining_ >= 0; }

    // A mute controller still stores blocks but answers no command, as one with broken
    // firmware would: for testing what the host does without an answer.
    void setMute(bool on) { mute_ = on; }
    bool mute() const { return mute_; }

    // Sends reports of unknown types and random bytes, every few milliseconds.
    void setFaultMode(bool on);

signals:
    void inputReport(const device::Report& report);
    void pluggedChanged(bool plugged);
    void otherPluggedChanged(bool plugged);
    void blockChanged();
    // A burst ended; `sent` is smaller than asked when it was cut short.
    void burstFinished(int sent);

private:
    void send(const Report& report);
    void answerLater(Command command);
    void startSending(int code, int remaining);
    void stopSending();
    void onSendTick();
    void onFaultTick();
    void loadState();
    void saveState();

    QString statePath_;
    bool stateSaved_ = true;
    ParameterBlockBytes block_{};
    bool plugged_ = true;
    bool otherPlugged_ = false;
    bool mute_ = false;
    // Answers queued before an unplug belong to the old connection and are dropped.
    quint64 generation_ = 0;

    RawTelemetry fixed_;
    bool variation_ = false;

    int rate_ = DefaultRate;
    QTimer sendTimer_;
    keymap::SteadyClock steadyClock_;
    const keymap::Clock* sendClock_ = &steadyClock_;
    std::int64_t sendStartMs_ = 0;  // when counting began, on sendClock_
    bool sending_ = false;
    int code_ = 0;
    int remaining_ = -1;  // reports left in a burst; -1 while held
    int burstSent_ = 0;
    qint64 sendBase_ = 0;  // reports counted before sendStartMs_
    qint64 sent_ = 0;

    QTimer faultTimer_;
    QRandomGenerator random_{0x0d7e70};
};

}  // namespace emulator
