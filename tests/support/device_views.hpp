#pragma once

#include <array>
#include <vector>

#include "device/device_event_hook.hpp"
#include "keymap/key_emitter.hpp"
#include "params/parameter_form.hpp"

namespace faults {

struct Panels : device::StatusView {
    void setPanelText(int panel, const QString& text) override {
        texts.at(static_cast<std::size_t>(panel)) = text;
    }
    std::array<QString, 5> texts;
};

struct Codes : device::ButtonCodeSink {
    void JoyCode(const std::int32_t& code) override { codes.push_back(code); }
    std::vector<std::int32_t> codes;
};

struct FormView : params::ParameterFormView {
    std::array<QString, params::ParameterFieldCount> texts;
    bool ticked = false;
    FormView() {
        for (int i = 0; i < params::ParameterFieldCount; ++i)
            texts[static_cast<std::size_t>(i)] = params::ParameterFields[i].defaultText;
    }
    QString fieldText(int i) const override { return texts.at(static_cast<std::size_t>(i)); }
    void setFieldText(int i, const QString& t) override {
        texts.at(static_cast<std::size_t>(i)) = t;
    }
    bool ignoreT() const override { return ticked; }
    void setIgnoreT(bool on) override { ticked = on; }
    bool empty() const {
        for (const QString& t : texts)
            if (!t.isEmpty()) return false;
        return true;
    }
};

// Every key that went down came up again, in complete taps: nothing is left held.
inline bool nothingHeld(const std::vector<keymap::RecordingEmitter::Event>& events) {
    std::array<int, 256> down{};
    for (const auto& e : events) down[e.vk] += e.pressed ? 1 : -1;
    for (int d : down)
        if (d != 0) return false;
    return true;
}

}  // namespace faults
