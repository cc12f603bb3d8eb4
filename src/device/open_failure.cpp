#include "device/open_failure.hpp"

#include <system_error>

namespace device {

QString openFailureText(const QString& path, int error) {
    return QStringLiteral(
               "found the controller at %1 but may not open it: %2; see "
               "\"Permissions\" in the README (the udev rule 60-drevonix.rules, "
               "then plug the controller in again)")
        .arg(path, QString::fromStdString(std::generic_category().message(error)));
}

}  // namespace device
