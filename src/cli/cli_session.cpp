#include "cli/cli_session.hpp"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "app/signal_watch.hpp"
#include "app/single_instance.hpp"
#include "cli/keys_typist.hpp"
#include "common/number_format.hpp"
#include "device/commands.hpp"
#include "device/hidapi/hidapi_library.hpp"
#include "device/open_failure.hpp"
#include "emulator/simulated_library.hpp"
#include "keymap/emitters/emitter_choice.hpp"
#include "params/cli_assignments.hpp"
#include "params/parameter_fields.hpp"
#include "params/parameter_form.hpp"
#include "settings/settings_path.hpp"

namespace cli {
namespace {

using device::HidLibrary;

const QChar kSeparator = QLatin1Char('.');

// The library announces attached devices from the event loop right after Connect; the
// emulator's announcement is immediate, a real bus needs an enumeration first.
constexpr qint64 kAttachWaitSimulatedMs = 300;
constexpr qint64 kAttachWaitHidapiMs = 1500;
constexpr qint64 kBlockAnswerMs = 2000;
constexpr qint64 kTelemetryAnswerMs = 1000;
constexpr qint64 kWatchPeriodMs = 1000;
constexpr qint64 kPressGapMs = 1000;  // a report after a longer silence starts a press
// Gap between simulated presses: longer than kPressGapMs, so each counts as a press.
constexpr int kSimulatedPressSpacingMs = 1500;
// After the last simulated press, time for its reports to be delivered.
constexpr int kSimulatedTailMs = 300;
// How often an endless command looks up from its wait; only bounds each single wait.
constexpr qint64 kEndlessSliceMs = 60'000;

}  // namespace

Session::Session(const Options& options, StandardOutput& output, QTextStream& err)
    : options_(options), output_(output), out_(output.stream()), err_(err) {
    clock_.start();
}

Session::~Session() {
    // The hook refers to the typist's mapper and to the library; the library to the emulator.
    hook_.reset();
    typist_.reset();
    emitter_.reset();
    hid_.reset();
    emulator_.reset();
}

void Session::setPanelText(int panel, const QString& text) {
    if (panel >= 0 && panel < static_cast<int>(panels_.size()))
        panels_[static_cast<std::size_t>(panel)] = text;
}

void Session::showParameters(const device::ParameterValues& values) {
    // The hook has just read the report into InReport: keep its bytes for --raw and write.
    block_ = InReport;
    blockValues_ = values;
    ++blocks_;
    wake();
}

void Session::JoyCode(const std::int32_t& code) {
    if (typist_) {
        typist_->mapper().JoyCode(code);
        return;
    }
    const qint64 now = clock_.elapsed();
    const bool newPress = !anyButtonReport_ || now - lastButtonReportMs_ > kPressGapMs;
    anyButtonReport_ = true;
    lastButtonReportMs_ = now;
    if (!newPress || options_.command != Command::Buttons) return;
    if (options_.count && presses_ >= *options_.count) return;
    ++presses_;
    line(QStringLiteral("code=%1").arg(code));
    wake();
}

bool Session::isController(HidLibrary::Handle h) {
    return hid_->GetVendorID(h) == device::ControllerVendorId &&
           hid_->GetProductID(h) == device::ControllerProductId;
}

void Session::beforeHook(int event, HidLibrary::Handle) {
    // A failed Read leaves InReport as it was; with the type cleared, an old telemetry
    // report cannot be taken for a new answer.
    if (event == device::NotifyRead) InReport[1] = 0;
}

void Session::afterHook(int event, HidLibrary::Handle h) {
    switch (event) {
        case device::NotifyChanged:
            // The hook has enabled reads on the controller, if there is one.
            if (!ready_ && panels_[0] == device::status_text::connected() &&
                hid_->GetHandle(device::ControllerVendorId, device::ControllerProductId) != 0)
                ready_ = true;
            break;
        case device::NotifyUnplugged:
            if (ready_ && isController(h)) unplugged_ = true;
            break;
        case device::NotifyRead:
            if (InReport[1] == device::ReportTelemetry) ++telemetryAnswers_;
            break;
        default:
            break;
    }
    wake();
}

void Session::wake() {
    if (loop_) loop_->quit();
}

bool Session::waitFor(const std::function<bool()>& done, qint64 ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (unplugged_) return false;
        const qint64 left = ms - t.elapsed();
        if (left <= 0) return false;
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(static_cast<int>(left));
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
    }
    return true;
}

int Session::fail(int code, const QString& message) {
    err_ << "drevonix-cli: " << message << Qt::endl;
    return code;
}

bool Session::line(const QString& text) {
    out_ << text << Qt::endl;  // flushed: watch and buttons feed pipes and log files
    if (output_.ok()) return true;
    wake();
    return false;
}

bool Session::attach() {
    qint64 attachWait = kAttachWaitSimulatedMs;
    if (options_.simulate) {
        emulator_ = std::make_unique<emulator::ControllerEmulator>(options_.statePath);
        if (options_.simUnplugged) emulator_->unplug();
        emulator_->setMute(options_.simMute);
        if (options_.simTelemetry) {
            const auto& t = *options_.simTelemetry;
            emulator_->setTelemetry({t[0], t[1], t[2]});
        } else {
            emulator_->setVariation(true);
        }
        hid_ = std::make_unique<emulator::SimulatedLibrary>(*emulator_);
    } else {
        hid_ = std::make_unique<device::HidapiLibrary>();
        attachWait = kAttachWaitHidapiMs;
    }

    // Order matters: our first look, then the hook, then our second look.
    connect(hid_.get(), &HidLibrary::DeviceNotifyMessage, this, &Session::beforeHook);
    hook_ = std::make_unique<device::DeviceEventHook>(*hid_, InReport, LatestMeasurements,
                                                      static_cast<device::StatusView&>(*this));
    hook_->setParameterDisplay(this);
    hook_->setButtonCodeSink(this);
    device::showInitialStatus(*this);
    hook_->attach();
    connect(hid_.get(), &HidLibrary::DeviceNotifyMessage, this, &Session::afterHook);
    hid_->Connect();

    if (!waitFor([this] { return ready_; }, attachWait)) return false;
    if (emulator_) {
        pendingPresses_.assign(options_.simPresses.begin(), options_.simPresses.end());
        connect(emulator_.get(), &emulator::ControllerEmulator::burstFinished, this, [this] {
            QTimer::singleShot(
                pendingPresses_.empty() ? kSimulatedTailMs : kSimulatedPressSpacingMs, this,
                &Session::startNextPress);
        });
        startNextPress();
    }
    return true;
}

void Session::startNextPress() {
    if (pendingPresses_.empty()) {
        simulatedPressesDone_ = true;
        wake();
        return;
    }
    const SimulatedPress p = pendingPresses_.front();
    pendingPresses_.pop_front();
    emulator_->burst(p.code, p.reports);
}

int Session::run() {
    if (options_.command == Command::Help) {
        out_ << usageText();
        out_.flush();
        return ExitDone;
    }
    if (options_.command == Command::Version) {
        out_ << "drevonix-cli " DREVONIX_VERSION "\n";
        out_.flush();
        return ExitDone;
    }
    // A named pipe or a device as the state file would hold the emulator's first read for
    // good; only a plain file (or none yet) can keep a block.
    if (!options_.statePath.isEmpty()) {
        const QFileInfo state(options_.statePath);
#ifdef Q_OS_UNIX
        // Run as root, a link there (planted by anyone who may write that folder) would
        // have the block written over the file it points to.
        if (::geteuid() == 0 && state.isSymbolicLink())
            return fail(ExitBadArguments,
                        QStringLiteral("--simulate=%1: a symbolic link, which is not followed "
                                       "as root")
                            .arg(options_.statePath));
#endif
        if (state.exists() && !state.isFile())
            return fail(
                ExitBadArguments,
                QStringLiteral("--simulate=%1: not a regular file").arg(options_.statePath));
    }
    if (options_.command == Command::Keys) return keys();
    // Refuse a bad write before touching the device: nothing may be sent then.
    if (options_.command == Command::Write) {
        const auto check = params::checkAssignments(options_.assignments);
        if (!check.ok()) return fail(ExitBadArguments, check.error);
    }
    const bool attached = attach();
    // Attached but closed to us: no command can work, and "connected" would mislead.
    const HidLibrary::Handle h =
        hid_->GetHandle(device::ControllerVendorId, device::ControllerProductId);
    if (const int error = h ? hid_->openError(h) : 0)
        return fail(ExitNoController, device::openFailureText(hid_->devicePath(h), error));
    if (options_.command == Command::Status) return status();
    if (!attached) return fail(ExitNoController, QStringLiteral("no controller attached"));

    int code = ExitDone;
    switch (options_.command) {
        case Command::Read:
            code = read();
            break;
        case Command::Watch:
            code = watch();
            break;
        case Command::Buttons:
            code = buttons();
            break;
        case Command::Write:
            code = write();
            break;
        default:
            break;
    }
    if (unplugged_) return fail(ExitNoController, QStringLiteral("the controller was unplugged"));
    return code;
}

int Session::status() {
    if (!ready_) {
        line(QStringLiteral("not connected"));
        return ExitNoController;
    }
    line(QStringLiteral("connected ") + panels_[1]);
    return ExitDone;
}

int Session::readBlock() {
    const long long before = blocks_;
    device::sendCommand(*hid_, OutReport, device::CmdReadParameters);
    if (!waitFor([&] { return blocks_ > before; }, kBlockAnswerMs)) {
        if (unplugged_) return ExitNoController;
        return fail(ExitNoAnswer,
                    QStringLiteral("no parameter block from the controller within 2 s"));
    }
    return ExitDone;
}

int Session::read() {
    if (const int code = readBlock(); code != ExitDone) return code;
    // Printed all the same (it is a backup), but a restore of it would be refused.
    if (const QStringList bad = params::outOfRange(device::readParameterBlock(block_));
        !bad.isEmpty())
        err_ << "drevonix-cli: warning: out of range, the window would put its defaults back: "
             << bad.join(QStringLiteral(", ")) << Qt::endl;
    if (options_.raw) {
        line(device::formatBlockBytes(device::blockBytesOf(block_)));
        return ExitDone;
    }
    // What write takes back to the same block, byte for byte (a backup).
    for (const QString& assignment : params::blockAssignments(device::readParameterBlock(block_)))
        line(assignment);
    return ExitDone;
}

int Session::watch() {
    QElapsedTimer period;
    period.start();
    for (long long n = 0;; ++n) {
        const long long before = telemetryAnswers_;
        device::RequestADC(*hid_, OutReport);
        if (!waitFor([&] { return telemetryAnswers_ > before; }, kTelemetryAnswerMs)) {
            if (unplugged_) return ExitNoController;
            return fail(ExitNoAnswer,
                        QStringLiteral("no measurements from the controller within 1 s"));
        }
        const auto& m = LatestMeasurements;
        if (!line(QStringLiteral("acc=%1 atx=%2 temp=%3")
                      .arg(common::formatFixed(m.AccVolts, 2, kSeparator),
                           common::formatFixed(m.AtxVolts, 2, kSeparator),
                           common::formatFixed(m.TemperatureC, 1, kSeparator))))
            return ExitOutputLost;
        if (options_.count && n + 1 >= *options_.count) return ExitDone;
        // Requests keep a steady once-a-second beat, however long the answers took.
        const qint64 next = (n + 1) * kWatchPeriodMs;
        waitFor([] { return false; }, next - period.elapsed());
        if (unplugged_) return ExitNoController;
    }
}

int Session::buttons() {
    const auto finished = [this] {
        return (options_.count && presses_ >= *options_.count) ||
               (emulator_ && simulatedPressesDone_) || !output_.ok();
    };
    while (!finished()) {
        waitFor(finished, kEndlessSliceMs);
        if (unplugged_) return ExitNoController;
    }
    return output_.ok() ? ExitDone : ExitOutputLost;
}

int Session::write() {
    // Checked before attaching; checked again here only to get the values.
    const auto check = params::checkAssignments(options_.assignments);
    if (const int code = readBlock(); code != ExitDone) return code;
    device::RawParameterBlock block = device::readParameterBlock(block_);
    params::applyAssignments(block, check.assignments);
    // Fields not named keep the controller's values, which may be out of range themselves.
    if (const QStringList bad = params::outOfRange(block); !bad.isEmpty())
        return fail(ExitBadArguments,
                    QStringLiteral("nothing sent, out of range: %1; name them with values in range")
                        .arg(bad.join(QStringLiteral(", "))));
    device::writeParameterBlock(OutReport, block);
    if (!hid_->Write(hid_->GetHandle(device::ControllerVendorId, device::ControllerProductId),
                     OutReport))
        return fail(ExitNoController, QStringLiteral("the block could not be sent"));
    // The emulator's EEPROM is the state file: a block it could not keep is not written.
    if (emulator_ && !emulator_->stateSaved())
        return fail(ExitBadArguments,
                    QStringLiteral("cannot write the state file \"%1\"").arg(options_.statePath));
    return ExitDone;
}

}  // namespace cli

namespace cli {

int Session::keys() {
    const QString path = settings::settingsPathFor(QCoreApplication::applicationDirPath());
    // One typist per user, the window program included, whatever the settings file: a
    // second would type every press twice.
    app::SingleInstance instance;
    if (!instance.claimAsTypist()) {
        if (!instance.failure().isEmpty()) return fail(ExitCannotType, instance.failure());
        const QString holder = instance.holder();
        return fail(ExitCannotType,
                    QStringLiteral("the wheel buttons are typed already by %1; not starting a "
                                   "second typist")
                        .arg(holder.isEmpty() ? QStringLiteral("another program") : holder));
    }
    keymap::EmitterChoice emitter = keymap::chooseEmitter();
    if (emitter.backend == QLatin1String("none")) return ExitCannotType;
    emitter_ = std::move(emitter.emitter);
    typist_ = std::make_unique<KeysTypist>(path, *emitter_, out_, err_, options_.verbose);

    // SIGHUP reads the table again; SIGTERM and SIGINT end the run as asked for, also
    // while the first look for the controller still runs.
    QEventLoop running;
    // Set when the run ends before its loop runs (a signal or the X server gone at the start).
    std::optional<int> ended;
    app::SignalWatch watch;
    watch.watch();
    connect(&watch, &app::SignalWatch::arrived, this, [&]([[maybe_unused]] int signo) {
#ifdef SIGHUP  // not on Windows
        // Started from a terminal, a hangup is the terminal closing: nobody would see us any
        // more, and we would hold the lock. A user manager's reload comes without one.
        if (signo == SIGHUP && !app::SignalWatch::hangupIsTerminalGone()) return typist_->reload();
#endif
        ended = ExitDone;
        running.exit(ExitDone);
    });
    // An X server that goes takes XTest with it: end at once, so that the lock is free and a
    // service is started again (typing through uinput if that is there by then).
    emitter_->whenLost([&](const std::string& why) {
        err_ << "drevonix-cli: " << QString::fromStdString(why) << "; not typing any more"
             << Qt::endl;
        ended = ExitCannotType;
        running.exit(ExitCannotType);
    });

    // Whatever happens to the controller from here on, we wait for it and type again.
    attach();
    // Plugs, unplugs and opens change it; the reports in between do not.
    connect(hid_.get(), &HidLibrary::DeviceNotifyMessage, this, [this](int event) {
        if (event != device::NotifyRead) sayControllerState();
    });
    connect(hid_.get(), &HidLibrary::openFailed, this, [this](HidLibrary::Handle h) {
        err_ << "drevonix-cli: " << device::openFailureText(hid_->devicePath(h), hid_->openError(h))
             << Qt::endl;
    });
    const HidLibrary::Handle h =
        hid_->GetHandle(device::ControllerVendorId, device::ControllerProductId);
    if (const int error = h ? hid_->openError(h) : 0)
        err_ << "drevonix-cli: " << device::openFailureText(hid_->devicePath(h), error) << Qt::endl;
    sayControllerState();
    const int status = ended ? *ended : running.exec();
    emitter_->whenLost(nullptr);
    return status;
}

void Session::sayControllerState() {
    const HidLibrary::Handle h =
        hid_->GetHandle(device::ControllerVendorId, device::ControllerProductId);
    using enum ControllerSaid;
    // Refused: attached, but we may not open it (explained when it was found).
    const ControllerSaid state = h == 0 ? Absent : hid_->openError(h) == 0 ? Typing : Refused;
    if (state == controllerSaid_) return;
    const bool first = controllerSaid_ == Nothing;
    controllerSaid_ = state;
    if (state == Typing)
        err_ << "drevonix-cli: typing the wheel buttons of " << panels_[1] << Qt::endl;
    else if (state == Refused)
        err_ << "drevonix-cli: waiting for access to the controller" << Qt::endl;
    else
        err_ << "drevonix-cli: " << (first ? "no controller attached" : "the controller is gone")
             << "; waiting for it" << Qt::endl;
}

}  // namespace cli
