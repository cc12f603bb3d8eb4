#include "common/replace_no_follow.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace common {

bool replaceNoFollow(int dir, const QByteArray& name, const std::function<bool(int fd)>& fill) {
    QByteArray temp;
    int fd = -1;
    for (int n = 0; n < 100 && fd < 0; ++n) {
        temp = '.' + name + '.' + QByteArray::number(::getpid()) + '-' + QByteArray::number(n);
        fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return false;
    bool ok = fill(fd) && ::fsync(fd) == 0;
    ::close(fd);
    ok = ok && ::renameat(dir, temp.constData(), dir, name.constData()) == 0;
    if (!ok) ::unlinkat(dir, temp.constData(), 0);
    return ok;
}

}  // namespace common
