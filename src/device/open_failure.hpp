#pragma once

#include <QString>

namespace device {

// What the user is told when the controller is attached at `path` but may not be opened
// (`error` an errno value): where it is, why, and where to look. Without it the program
// looks connected and silent, and the user starts guessing.
QString openFailureText(const QString& path, int error);

}  // namespace device
