#include "app/single_instance.hpp"

#include <unistd.h>

namespace app {

QByteArray SingleInstance::userId() {
    return QByteArray::number(static_cast<qulonglong>(::getuid()));
}

}  // namespace app
