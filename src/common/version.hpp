#pragma once

#include <QString>

namespace common {

// "Drevonix v" and the project's version: the main window's caption and the caption of
// the program's own boxes.
inline QString programTitle() {
    return QStringLiteral("Drevonix v" DREVONIX_VERSION);
}

}  // namespace common
