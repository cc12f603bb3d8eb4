#include "emulator/controller_emulator.hpp"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numbers>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include "common/replace_no_follow.hpp"
#endif

#include "device/conversions.hpp"

namespace emulator {

using namespace device;

namespace {

constexpr int kFaultIntervalMs = 10;
constexpr unsigned kRawSearchLimit = 4096;  // far above the 10-bit ADC's range

// The conversions are not invertible in closed form for every rule (V1 and V2 have no
// write direction), so search the raw value whose reading lies nearest.
template <typename Convert>
std::uint16_t nearestRaw(Convert convert, long double wanted) {
    unsigned best = 0;
    long double bestDistance = std::fabs(convert(0u) - wanted);
    for (unsigned raw = 1; raw < kRawSearchLimit; ++raw) {
        const long double d = std::fabs(convert(raw) - wanted);
        if (d < bestDistance) {
            best = raw;
            bestDistance = d;
        }
    }
    return static_cast<std::uint16_t>(best);
}

void putLittleEndian(Report& r, std::size_t at, std::uint16_t v) {
    r[at] = static_cast<std::uint8_t>(v & 0xFF);
    r[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t clampRaw(long v) {
    return static_cast<std::uint16_t>(std::clamp<long>(v, 0, 0xFFFF));
}

#ifdef Q_OS_UNIX
// Run as root, the state file is never reached through a link, at its name or its folder's:
// whoever may write that folder could point one at any file. The file is read with
// O_NOFOLLOW and written anew beside itself, then renamed over the name, which replaces a
// link planted there rather than what it points to.
bool runAsRoot() {
    return ::geteuid() == 0;
}

int openFolderNoFollow(const QFileInfo& file) {
    return ::open(QFile::encodeName(file.absolutePath()).constData(),
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

QByteArray readNoFollow(const QString& path, qsizetype limit) {
    const QFileInfo info(path);
    const int dir = openFolderNoFollow(info);
    if (dir < 0) return {};
    // Non-blocking: a pipe put there must not hold the start.
    const int fd = ::openat(dir, QFile::encodeName(info.fileName()).constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    ::close(dir);
    if (fd < 0) return {};
    QByteArray data(limit, Qt::Uninitialized);
    const ssize_t n = ::read(fd, data.data(), static_cast<std::size_t>(limit));
    ::close(fd);
    data.truncate(n > 0 ? n : 0);
    return data;
}

bool replaceNoFollow(const QString& path, const QByteArray& data) {
    const QFileInfo info(path);
    const int dir = openFolderNoFollow(info);
    if (dir < 0) return false;
    const bool ok = common::replaceNoFollow(dir, QFile::encodeName(info.fileName()), [&](int fd) {
        return ::write(fd, data.constData(), static_cast<std::size_t>(data.size())) ==
               static_cast<ssize_t>(data.size());
    });
    ::close(dir);
    return ok;
}
#endif

}  // namespace

std::uint16_t accRawFor(long double volts) {
    return nearestRaw(rawToAccVolts, volts);
}
std::uint16_t atxRawFor(long double volts) {
    return nearestRaw(rawToAtxVolts, volts);
}
std::uint16_t temperatureRawFor(long double celsius) {
    return nearestRaw(rawToCelsius, celsius);
}

ControllerEmulator::ControllerEmulator(QObject* parent) : ControllerEmulator(QString(), parent) {}

ControllerEmulator::ControllerEmulator(const QString& statePath, QObject* parent)
    : QObject(parent), statePath_(statePath), fixed_(nominalTelemetry()) {
    block_ = blockBytesOf(factoryParameterBlock());
    loadState();
    sendTimer_.setTimerType(Qt::PreciseTimer);
    connect(&sendTimer_, &QTimer::timeout, this, &ControllerEmulator::onSendTick);
    faultTimer_.setInterval(kFaultIntervalMs);
    connect(&faultTimer_, &QTimer::timeout, this, &ControllerEmulator::onFaultTick);
}

ControllerEmulator::~ControllerEmulator() = default;

RawTelemetry ControllerEmulator::nominalTelemetry() {
    static const RawTelemetry nominal{accRawFor(13.8L), atxRawFor(12.1L), temperatureRawFor(25)};
    return nominal;
}

void ControllerEmulator::plug() {
    if (plugged_) return;
    plugged_ = true;
    emit pluggedChanged(true);
}

void ControllerEmulator::unplug() {
    if (!plugged_) return;
    plugged_ = false;
    ++generation_;
    stopSending();
    emit pluggedChanged(false);
}

void ControllerEmulator::plugOther() {
    if (otherPlugged_) return;
    otherPlugged_ = true;
    emit otherPluggedChanged(true);
}

void ControllerEmulator::unplugOther() {
    if (!otherPlugged_) return;
    otherPlugged_ = false;
    emit otherPluggedChanged(false);
}

RawParameterBlock ControllerEmulator::parameterBlock() const {
    Report r{};
    std::copy(block_.begin(), block_.end(), r.begin() + 2);
    return readParameterBlock(r);
}

void ControllerEmulator::receive(const Report& report) {
    if (!plugged_) return;
    switch (report[1]) {
        case CmdReadParameters:
        case CmdRequestTelemetry:
            answerLater(static_cast<Command>(report[1]));
            break;
        case CmdWriteParameters: {
            // Stored at once, like the EEPROM write: the host may end right after sending.
            const ParameterBlockBytes incoming = blockBytesOf(report);
            if (incoming == block_) break;
            block_ = incoming;
            saveState();
            emit blockChanged();
            break;
        }
        default:
            break;
    }
}

void ControllerEmulator::answerLater(Command command) {
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, command, generation] {
            if (generation != generation_ || !plugged_ || mute_) return;
            Report r{};
            if (command == CmdReadParameters) {
                r[1] = ReportParameters;
                std::copy(block_.begin(), block_.end(), r.begin() + 2);
            } else {
                const RawTelemetry t = telemetry();
                r[1] = ReportTelemetry;
                putLittleEndian(r, 2, t.acc);
                putLittleEndian(r, 4, t.atx);
                putLittleEndian(r, 6, t.temperature);
            }
            send(r);
        },
        Qt::QueuedConnection);
}

void ControllerEmulator::send(const Report& report) {
    if (plugged_) emit inputReport(report);
}

void ControllerEmulator::setTelemetry(const RawTelemetry& raw) {
    fixed_ = raw;
    variation_ = false;
}

void ControllerEmulator::setVariation(bool on) {
    variation_ = on;
}

RawTelemetry ControllerEmulator::telemetry() const {
    if (!variation_) return fixed_;
    // A few slow sines of unrelated periods: a chart shows a living line, never a pattern
    // that repeats within its 255 samples.
    const double t = static_cast<double>(steadyClock_.nowMs()) / 1000.0;
    const double tau = 2 * std::numbers::pi;
    const RawTelemetry n = nominalTelemetry();
    RawTelemetry r;
    r.acc =
        clampRaw(n.acc + std::lround(27 * std::sin(tau * t / 47) + 4 * std::sin(tau * t / 7.3)));
    r.atx = clampRaw(n.atx + std::lround(6 * std::sin(tau * t / 31) + 1 * std::sin(tau * t / 5.1)));
    r.temperature = clampRaw(n.temperature + std::lround(4 * std::sin(tau * t / 113)));
    return r;
}

void ControllerEmulator::setRate(int reportsPerSecond) {
    rate_ = std::clamp(reportsPerSecond, 1, MaxRate);
    if (!sending_) return;
    // Count anew from here, so a rate change neither floods nor stalls.
    sendBase_ = sent_;
    sendStartMs_ = sendClock_->nowMs();
    sendTimer_.start(std::max(1, 1000 / rate_));
}

void ControllerEmulator::hold(int code) {
    startSending(code, -1);
}

void ControllerEmulator::release() {
    stopSending();
}

void ControllerEmulator::burst(int code, int count) {
    startSending(code, std::max(0, count));
    if (count <= 0) stopSending();
}

void ControllerEmulator::startSending(int code, int remaining) {
    stopSending();
    if (!plugged_) {
        if (remaining >= 0) {
            QMetaObject::invokeMethod(
                this, [this] { emit burstFinished(0); }, Qt::QueuedConnection);
        }
        return;
    }
    sending_ = true;
    code_ = code;
    remaining_ = remaining;
    burstSent_ = 0;
    sent_ = 0;
    sendBase_ = 1;  // the first report is due at once
    sendStartMs_ = sendClock_->nowMs();
    sendTimer_.start(std::max(1, 1000 / rate_));
}

void ControllerEmulator::stopSending() {
    if (!sending_) return;
    const bool wasBurst = remaining_ >= 0;
    sending_ = false;
    sendTimer_.stop();
    if (wasBurst) {
        const int sent = burstSent_;
        // Always from the event loop, so that a caller of burst() or release() gets its
        // completion after it has returned.
        QMetaObject::invokeMethod(
            this, [this, sent] { emit burstFinished(sent); }, Qt::QueuedConnection);
    }
}

void ControllerEmulator::onSendTick() {
    if (!sending_) return;
    const qint64 now = sendClock_->nowMs();
    qint64 due = sendBase_ + (now - sendStartMs_) * rate_ / 1000;
    // More than a second behind (the machine was suspended, the loop was blocked): a real
    // button would not have queued those reports anywhere, so start counting again.
    if (due - sent_ > rate_) {
        sendBase_ = sent_ + 1;
        sendStartMs_ = now;
        due = sendBase_;
    }
    // Catch up in slices, so one tick never holds the loop for long.
    const qint64 maxPerTick = std::max(1, rate_ / 20);
    qint64 n = std::min(due - sent_, maxPerTick);
    Report r{};
    r[1] = ReportButtonCode;
    putLittleEndian(r, 2, static_cast<std::uint16_t>(code_));
    while (n-- > 0 && sending_) {
        if (remaining_ == 0) break;
        ++sent_;
        send(r);
        if (remaining_ > 0) {
            ++burstSent_;
            if (--remaining_ == 0) {
                stopSending();
                return;
            }
        }
    }
}

void ControllerEmulator::setFaultMode(bool on) {
    if (on)
        faultTimer_.start();
    else
        faultTimer_.stop();
}

void ControllerEmulator::onFaultTick() {
    Report r;
    for (auto& b : r) b = static_cast<std::uint8_t>(random_.bounded(256));
    // Only types the program does not know; a well-formed report is no fault.
    while (r[1] == ReportParameters || r[1] == ReportTelemetry || r[1] == ReportButtonCode)
        r[1] = static_cast<std::uint8_t>(random_.bounded(256));
    send(r);
}

void ControllerEmulator::loadState() {
    if (statePath_.isEmpty()) return;
    // A block is 78 characters; anything much longer is not ours.
    constexpr qsizetype kReadLimit = 256;
    QByteArray data;
#ifdef Q_OS_UNIX
    if (runAsRoot()) {
        data = readNoFollow(statePath_, kReadLimit);
    } else
#endif
    {
        QFile f(statePath_);
        if (!f.open(QIODevice::ReadOnly)) return;
        data = f.read(kReadLimit);
    }
    if (const auto parsed = parseBlockBytes(QString::fromLatin1(data))) block_ = *parsed;
}

void ControllerEmulator::saveState() {
    if (statePath_.isEmpty()) return;
    // Atomic, so that a crash mid-write leaves the previous block, never half of one.
    const QByteArray data = formatBlockBytes(block_).toLatin1() + '\n';
#ifdef Q_OS_UNIX
    if (runAsRoot()) {
        stateSaved_ = replaceNoFollow(statePath_, data);
    } else
#endif
    {
        QSaveFile f(statePath_);
        stateSaved_ = f.open(QIODevice::WriteOnly) && f.write(data) >= 0 && f.commit();
    }
    if (!stateSaved_) qWarning("controller emulator: cannot save %s", qPrintable(statePath_));
}

}  // namespace emulator
