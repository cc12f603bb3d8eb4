#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTextStream>
#include <array>
#include <deque>
#include <functional>
#include <memory>

#include "cli/cli_options.hpp"
#include "cli/standard_output.hpp"
#include "device/device_event_hook.hpp"
#include "device/hid_library.hpp"
#include "emulator/controller_emulator.hpp"
#include "keymap/key_emitter.hpp"

namespace cli {

class KeysTypist;

// One run of the tool: the library (real or emulated), DeviceEventHook as the program has
// it, and the command on top. Every wait runs the event loop and has a deadline.
class Session : public QObject,
                device::StatusView,
                device::ParameterDisplay,
                device::ButtonCodeSink {
    Q_OBJECT
public:
    Session(const Options& options, StandardOutput& output, QTextStream& err);
    ~Session() override;

    int run();

private:
    // StatusView, ParameterDisplay, ButtonCodeSink: what the hook routes to us.
    void setPanelText(int panel, const QString& text) override;
    void showParameters(const device::ParameterValues& values) override;
    void JoyCode(const std::int32_t& code) override;

    void beforeHook(int event, device::HidLibrary::Handle h);
    void afterHook(int event, device::HidLibrary::Handle h);
    bool isController(device::HidLibrary::Handle h);

    // Runs the event loop until `done` holds, the controller goes away or `ms` pass.
    bool waitFor(const std::function<bool()>& done, qint64 ms);
    void wake();

    bool attach();
    int fail(int code, const QString& message);
    // Sends command 1 and waits for the block; the block is left in block_.
    int readBlock();

    int status();
    int read();
    int watch();
    int buttons();
    int write();
    int keys();
    void sayControllerState();

    void startNextPress();
    // Prints a line at once; false when it was lost (watch and buttons end then).
    bool line(const QString& text);

    Options options_;
    StandardOutput& output_;
    QTextStream& out_;
    QTextStream& err_;

    std::unique_ptr<emulator::ControllerEmulator> emulator_;
    std::unique_ptr<device::HidLibrary> hid_;
    device::Report InReport{};
    device::Report OutReport{};
    device::Measurements LatestMeasurements;
    std::unique_ptr<device::DeviceEventHook> hook_;

    std::array<QString, 5> panels_;
    bool ready_ = false;
    bool unplugged_ = false;
    long long blocks_ = 0;
    device::Report block_{};
    device::ParameterValues blockValues_;
    long long telemetryAnswers_ = 0;

    QElapsedTimer clock_;
    long long presses_ = 0;
    bool anyButtonReport_ = false;
    qint64 lastButtonReportMs_ = 0;

    std::deque<SimulatedPress> pendingPresses_;
    bool simulatedPressesDone_ = false;

    std::unique_ptr<keymap::KeyEmitter> emitter_;  // keys: what the typist types through
    std::unique_ptr<KeysTypist> typist_;           // keys: takes the wheel-button reports
    // keys: what was last said of the controller.
    enum class ControllerSaid { Nothing, Absent, Typing, Refused };
    ControllerSaid controllerSaid_ = ControllerSaid::Nothing;

    QEventLoop* loop_ = nullptr;
};

}  // namespace cli
