#pragma once

#include <QChar>
#include <QCoreApplication>
#include <QString>
#include <array>
#include <optional>

#include "device/device_event_hook.hpp"
#include "device/hid_library.hpp"
#include "device/reports.hpp"
#include "params/parameter_fields.hpp"

namespace params {

// The parameter page's controls as the logic sees them: the sixteen edits by their index
// in ParameterFields and the check box ignoreT. The controls are the only storage.
class ParameterFormView {
public:
    virtual ~ParameterFormView() = default;
    virtual QString fieldText(int index) const = 0;
    virtual void setFieldText(int index, const QString& text) = 0;
    virtual bool ignoreT() const = 0;
    virtual void setIgnoreT(bool ticked) = 0;
};

// The modal message of a corrected write. show() returns once the user has closed it;
// events (timers, device notifications) keep being handled meanwhile.
class CorrectionMessage {
public:
    virtual ~CorrectionMessage() = default;
    virtual void show(const QString& text) = 0;
};

// Translated where the window has installed a translation.
inline QString correctionMessageText() {
    return QCoreApplication::translate("ParameterForm",
                                       "Один или несколько параметров введены с ошибками.\r\n"
                                       "Исправлены и записаны значения по-умолчанию.");
}

// What the form shows for a received block: eACC as "0.00", eTRM as "0", the rest as
// decimal integers, all as they came (no range check).
struct ParameterTexts {
    std::array<QString, ParameterFieldCount> texts;
    bool ignoreT = false;
};
ParameterTexts displayTexts(const device::ParameterValues& values, QChar decimalSeparator);

// The number an edit's text stands for when it is a number within the field's bounds
// (the bounds themselves included); nullopt when the write would put the default back.
std::optional<long double> acceptedValue(const ParameterField& field, QStringView text,
                                         QChar decimalSeparator);

// The parameter page's handlers over a view.
class ParameterForm : public device::ParameterDisplay {
public:
    ParameterForm(device::HidLibrary& hid, device::Report& OutReport, ParameterFormView& view,
                  CorrectionMessage& message, QChar decimalSeparator);

    // Empties the edits, unticks ignoreT and asks the controller for its block. Also the
    // action of switching to the parameters tab.
    void Button_ReadDataClick();
    // Validates every edit (defaults into the faulty ones), encodes the block into
    // OutReport, tells the user once if anything was corrected, and sends command 2.
    void Button_WriteDataClick();
    // Fills the edits in table order, then the check box.
    void showParameters(const device::ParameterValues& values) override;

    QChar decimalSeparator() const { return separator_; }

private:
    device::HidLibrary& hid_;
    device::Report& out_;
    ParameterFormView& view_;
    CorrectionMessage& message_;
    QChar separator_;
};

}  // namespace params
