#pragma once

#include <array>
#include <functional>
#include <vector>

#include "device/device_event_hook.hpp"
#include "params/parameter_form.hpp"

namespace testing_support {

// The status bar's five panels, and the order they were written in.
struct FakeStatusPanels : device::StatusView {
    void setPanelText(int panel, const QString& text) override {
        writes.push_back(panel);
        texts.at(static_cast<std::size_t>(panel)) = text;
    }
    std::array<QString, 5> texts;
    std::vector<int> writes;
};

// A status bar nobody reads.
struct NullStatus : device::StatusView {
    void setPanelText(int, const QString&) override {}
};

struct RecordedCodes : device::ButtonCodeSink {
    void JoyCode(const std::int32_t& code) override { codes.push_back(code); }
    std::vector<std::int32_t> codes;
};

struct ShownParameters : device::ParameterDisplay {
    void showParameters(const device::ParameterValues& v) override { shown.push_back(v); }
    std::vector<device::ParameterValues> shown;
};

// The sixteen edits and the check box as plain values, with the order of every change.
struct FakeParameterForm : params::ParameterFormView {
    std::array<QString, params::ParameterFieldCount> texts;
    bool tick = false;
    std::vector<int> changes;  // field index, or -1 for the check box

    QString fieldText(int i) const override { return texts.at(static_cast<std::size_t>(i)); }
    void setFieldText(int i, const QString& t) override {
        texts.at(static_cast<std::size_t>(i)) = t;
        changes.push_back(i);
    }
    bool ignoreT() const override { return tick; }
    void setIgnoreT(bool on) override {
        tick = on;
        changes.push_back(-1);
    }
    void fillDefaults() {
        for (int i = 0; i < params::ParameterFieldCount; ++i)
            texts[static_cast<std::size_t>(i)] =
                params::ParameterFields[static_cast<std::size_t>(i)].defaultText;
    }
    bool empty() const {
        for (const QString& t : texts)
            if (!t.isEmpty()) return false;
        return true;
    }
};

// The correction message: what it said, and what happens while it is open.
struct CountingMessage : params::CorrectionMessage {
    std::vector<QString> shown;
    std::function<void()> whileOpen;
    void show(const QString& text) override {
        shown.push_back(text);
        if (whileOpen) whileOpen();
    }
};

}  // namespace testing_support
