#pragma once

#include <QChar>
#include <QObject>
#include <array>

#include "device/device_event_hook.hpp"
#include "device/hid_library.hpp"
#include "device/reports.hpp"
#include "params/parameter_fields.hpp"
#include "params/parameter_form.hpp"

class QCheckBox;
class QLineEdit;
class QWidget;

namespace ui {

// The parameters page over its real controls: the sixteen edits and ignoreT (found by
// object name under the page), the key filter of the edits, the read and write buttons,
// and the correction message as a modal box. The controls stay the only storage.
class ParameterPage : public QObject,
                      public params::ParameterFormView,
                      public params::CorrectionMessage,
                      public device::ParameterDisplay {
    Q_OBJECT
public:
    // `Panel2` holds eACC … eMNT_SRS_Y, ignoreT, Button_ReadData and Button_WriteData.
    // Owned by the caller (no QObject parent), like the window's other page objects; it
    // may go before or after the controls.
    ParameterPage(QWidget* Panel2, device::HidLibrary& hid, device::Report& OutReport,
                  QChar decimalSeparator = systemDecimalSeparator());

    // The decimal separator of the user's locale.
    static QChar systemDecimalSeparator();

    // Also the action of switching to the parameters tab.
    void Button_ReadDataClick() { form_.Button_ReadDataClick(); }
    void Button_WriteDataClick() { form_.Button_WriteDataClick(); }
    // A block from the controller (the device event hook's parameter consumer).
    void showParameters(const device::ParameterValues& values) override {
        form_.showParameters(values);
    }

    QString fieldText(int index) const override;
    void setFieldText(int index, const QString& text) override;
    bool ignoreT() const override;
    void setIgnoreT(bool ticked) override;

    // Modal, OK only, no icon, the application title as caption. Runs a nested event loop,
    // so timers and device notifications go on while it is open.
    void show(const QString& text) override;

    QLineEdit* edit(int index) const { return edits_.at(static_cast<std::size_t>(index)); }
    QCheckBox* ignoreTBox() const { return ignoreT_; }
    params::ParameterForm& form() { return form_; }

protected:
    // AlphaBet on typed characters; pasted text is not filtered.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* page_;
    std::array<QLineEdit*, params::ParameterFieldCount> edits_{};
    QCheckBox* ignoreT_ = nullptr;
    params::ParameterForm form_;
};

}  // namespace ui
