#include "params/parameter_form.hpp"

#include "common/number_format.hpp"
#include "device/commands.hpp"
#include "params/number_syntax.hpp"

namespace params {

ParameterTexts displayTexts(const device::ParameterValues& values, QChar decimalSeparator) {
    ParameterTexts shown;
    shown.texts[0] = common::formatFixed(values.u1Volts, 2, decimalSeparator);
    shown.texts[1] = common::formatFixed(values.t1Celsius, 0, decimalSeparator);
    for (std::size_t i = 0; i < values.plain.size(); ++i)
        shown.texts[i + 2] = QString::number(values.plain[i]);
    shown.ignoreT = values.ignoreT;
    return shown;
}

std::optional<long double> acceptedValue(const ParameterField& field, QStringView text,
                                         QChar decimalSeparator) {
    const auto value = parseNumber(text, decimalSeparator);
    if (!value || *value > field.maximum || *value < field.minimum) return std::nullopt;
    return value;
}

ParameterForm::ParameterForm(device::HidLibrary& hid, device::Report& OutReport,
                             ParameterFormView& view, CorrectionMessage& message,
                             QChar decimalSeparator)
    : hid_(hid), out_(OutReport), view_(view), message_(message), separator_(decimalSeparator) {}

void ParameterForm::Button_ReadDataClick() {
    for (int i = 0; i < ParameterFieldCount; ++i) view_.setFieldText(i, QString());
    view_.setIgnoreT(false);
    device::sendCommand(hid_, out_, device::CmdReadParameters);
}

void ParameterForm::showParameters(const device::ParameterValues& values) {
    const ParameterTexts shown = displayTexts(values, separator_);
    for (int i = 0; i < ParameterFieldCount; ++i)
        view_.setFieldText(i, shown.texts[static_cast<std::size_t>(i)]);
    view_.setIgnoreT(shown.ignoreT);
}

void ParameterForm::Button_WriteDataClick() {
    bool corrected = false;
    device::setCommand(out_, device::CmdWriteParameters);

    for (int i = 0; i < ParameterFieldCount; ++i) {
        const ParameterField& field = ParameterFields[static_cast<std::size_t>(i)];
        if (!acceptedValue(field, view_.fieldText(i), separator_)) {
            view_.setFieldText(i, field.defaultText);
            corrected = true;
        }
        // Read back from the control: it is the value, and now a valid one (the defaults
        // are plain integers, valid whatever the separator). Should a control not keep
        // the text it was given, the default is still what goes out.
        const auto value = acceptedValue(field, view_.fieldText(i), separator_);
        encodeField(out_, field, value ? *value : field.defaultValue());
    }
    out_[IgnoreTReportByte] = view_.ignoreT() ? 1 : 0;

    if (corrected) message_.show(correctionMessageText());

    // The message runs a nested event loop; a telemetry request sent meanwhile has set
    // bytes 0 and 1 of the shared buffer to its own command.
    device::setCommand(out_, device::CmdWriteParameters);
    device::writeToController(hid_, out_);
}

}  // namespace params
