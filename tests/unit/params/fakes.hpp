#pragma once

#include <QString>
#include <array>
#include <functional>
#include <ostream>
#include <vector>

#include "device/hid_library.hpp"
#include "params/parameter_form.hpp"

// Readable parameter names in test output ("','" rather than the bytes).
inline void PrintTo(QChar c, std::ostream* os) {
    *os << "'" << QString(c).toStdString() << "'";
}

namespace params_test {

// Records every write; one controller attached with handle 7.
class RecordingHid : public device::HidLibrary {
public:
    static constexpr Handle ControllerHandle = 7;
    struct Sent {
        Handle handle;
        device::Report report;
    };
    std::vector<Sent> writes;

    bool Connect() override { return true; }
    Handle GetHandle(int vid, int pid) override {
        return vid == device::ControllerVendorId && pid == device::ControllerProductId
                   ? ControllerHandle
                   : 0;
    }
    int GetVendorID(Handle) override { return device::ControllerVendorId; }
    int GetProductID(Handle) override { return device::ControllerProductId; }
    void GetProductName(Handle, char* buffer, int size) override {
        if (size > 0) buffer[0] = 0;
    }
    bool SetReadNotify(Handle, bool) override { return true; }
    bool Read(Handle, device::Report&) override { return false; }
    bool Write(Handle h, const device::Report& r) override {
        writes.push_back({h, r});
        return true;
    }
};

// The sixteen edits and the check box as plain values, with the order of every change.
struct FormState : params::ParameterFormView {
    std::array<QString, params::ParameterFieldCount> texts;
    bool tick = false;
    std::vector<int> changes;  // field index, or -1 for the check box

    QString fieldText(int i) const override { return texts.at(static_cast<std::size_t>(i)); }
    void setFieldText(int i, const QString& t) override {
        texts.at(static_cast<std::size_t>(i)) = t;
        changes.push_back(i);
    }
    bool ignoreT() const override { return tick; }
    void setIgnoreT(bool t) override {
        tick = t;
        changes.push_back(-1);
    }
    void fillDefaults() {
        for (int i = 0; i < params::ParameterFieldCount; ++i)
            texts[static_cast<std::size_t>(i)] =
                params::ParameterFields[static_cast<std::size_t>(i)].defaultText;
    }
};

struct CountingMessage : params::CorrectionMessage {
    std::vector<QString> shown;
    std::function<void()> whileOpen;
    void show(const QString& text) override {
        shown.push_back(text);
        if (whileOpen) whileOpen();
    }
};

// Replaces '#' by the locale's separator and '~' by the other one.
inline QString localised(const char* text, QChar sep) {
    const QChar other = sep == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    QString s = QString::fromUtf8(text);
    s.replace(QLatin1Char('~'), other);
    s.replace(QLatin1Char('#'), sep);
    return s;
}

}  // namespace params_test
