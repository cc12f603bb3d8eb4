#pragma once

#include <QByteArray>
#include <functional>

namespace common {

// Replaces the file `name` in the open folder `dir` as root must, where whoever may write
// the folder could plant a link: a new file beside it, made exclusively and never through
// a link, filled by `fill` (which gets its descriptor), synced, and renamed over whatever
// stands at the name. On failure nothing of it is left behind. Unix only.
bool replaceNoFollow(int dir, const QByteArray& name, const std::function<bool(int fd)>& fill);

}  // namespace common
