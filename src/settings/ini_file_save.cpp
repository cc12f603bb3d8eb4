// Putting Control.ini on disk: atomically beside the old file, in place where its folder
// may not be written, through the opened folder as root; and moving aside what could not
// be read.
#include "settings/ini_file.hpp"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/replace_no_follow.hpp"
#endif
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

namespace settings {

bool IniFile::runAsRoot() {
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

bool IniFile::moveAside() const {
    const QFileInfo info(path_);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n <= 100; ++n) {
        QString aside = path_ + u'.' + stamp;
        if (n > 1) aside += QStringLiteral("-%1").arg(n);
        // QDir::rename never replaces an existing file, and never falls back to copying
        // (which would block on a pipe).
        if (QFileInfo::exists(aside)) continue;
        if (!info.dir().rename(info.fileName(), QFileInfo(aside).fileName())) return false;
        const char* why =
            state_ == DiskState::Unread ? "was not read at start" : "could not be read";
        qWarning("%s: %s %s; it is kept as %s and written anew",
                 qPrintable(QCoreApplication::applicationName()), qPrintable(path_), why,
                 qPrintable(aside));
        return true;
    }
    return false;
}

void IniFile::removeStaleTemporaries() const {
#ifdef Q_OS_UNIX
    // Only root's save names its temporary file itself, ".<name>.<pid>-<n>"; a save killed
    // mid-way (kill -9, a power cut) leaves it behind. Ours are the plain files of exactly
    // that name whose process is gone, or is us (a pid from before a reboot), or that are
    // older than any save takes; a live process may be saving right now.
    const QFileInfo file(path_);
    const QString prefix = u'.' + file.fileName() + u'.';
    static const QRegularExpression tail(QStringLiteral("^([0-9]{1,9})-[0-9]{1,9}$"));
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const auto filter = QDir::Files | QDir::Hidden | QDir::NoSymLinks;
    for (const QFileInfo& temp : file.dir().entryInfoList({prefix + u'*'}, filter)) {
        const QRegularExpressionMatch m = tail.match(temp.fileName().mid(prefix.size()));
        if (!m.hasMatch()) continue;
        const pid_t pid = m.captured(1).toInt();
        const bool gone = pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH);
        if (gone || temp.lastModified() < hourAgo) QFile::remove(temp.filePath());
    }
#endif
}

namespace {

#ifdef Q_OS_UNIX
// The new file is made by us, so it belongs to us; give it the old file's owner and group
// (root saving a user's file must not lock that user out of it). False when we may not.
bool keepOwner(int fd, const struct stat& old) {
    struct stat now = {};
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return true;
    return ::fchown(fd, old.st_uid, old.st_gid) == 0;
}
#endif

// A file's POSIX ACL, as the system keeps it (the mode's group bits are its mask then).
// Empty when the file has none, or its file system knows none; false when it cannot be
// read. `get` is getxattr or fgetxattr with its first argument bound.
template <class Get>
bool readAcl(Get get, QByteArray* acl) {
#ifdef Q_OS_LINUX
    for (int tries = 0; tries < 10; ++tries) {  // it may grow between the two calls
        ssize_t n = get("system.posix_acl_access", nullptr, 0);
        if (n < 0) return errno == ENODATA || errno == ENOTSUP;
        acl->resize(n);
        n = get("system.posix_acl_access", acl->data(), static_cast<size_t>(n));
        if (n >= 0) {
            acl->resize(n);
            return true;
        }
        if (errno != ERANGE) return false;
    }
    return false;
#else
    (void)get;
    acl->clear();
    return true;
#endif
}

#ifdef Q_OS_UNIX
bool readAclOf(const QString& path, QByteArray* acl) {
#ifdef Q_OS_LINUX
    const QByteArray name = QFile::encodeName(path);
    return readAcl([&](const char* attr, void* buf,
                       size_t size) { return ::getxattr(name.constData(), attr, buf, size); },
                   acl);
#else
    (void)path;
    acl->clear();
    return true;
#endif
}

// Gives the new file exactly the old file's ACL, after its mode (an ACL sets the mode's
// bits from its entries): none where the old had none, whatever default ACL the folder
// passed on. False when that cannot be done: then the new file may let in more than the
// old one did.
bool keepAcl(int fd, const QByteArray& acl) {
#ifdef Q_OS_LINUX
    if (acl.isEmpty())
        return ::fremovexattr(fd, "system.posix_acl_access") == 0 || errno == ENODATA ||
               errno == ENOTSUP;
    return ::fsetxattr(fd, "system.posix_acl_access", acl.constData(),
                       static_cast<size_t>(acl.size()), 0) == 0;
#else
    (void)fd;
    return acl.isEmpty();
#endif
}
#endif

#ifdef Q_OS_UNIX
// All of `size` bytes at `at` through pread or pwrite, past interruptions and short counts.
template <class Bytes, class Call>
bool wholly(Call call, int fd, Bytes* bytes, qint64 size, off_t at) {
    while (size > 0) {
        const ssize_t n = call(fd, bytes, static_cast<size_t>(size), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= n;
        at += n;
    }
    return true;
}
bool writeAll(int fd, const char* bytes, qint64 size, off_t at) {
    return wholly(::pwrite, fd, bytes, size, at);
}
bool readAll(int fd, char* bytes, qint64 size) {
    return wholly(::pread, fd, bytes, size, 0);
}
#endif

// Writes over the file itself: it keeps its owner, group, mode and links by nature. What is
// lost is the power-cut guarantee only: a cut in the middle leaves a torn file. A full disk
// is found before any old byte is touched: what goes beyond the old end is written first.
// Any failure after that (a disk failing part way, EIO) puts the old bytes back, at the old
// size, and syncs them: the file is the old one or the whole new one.
bool writeInPlace(const QString& path, const QByteArray& data) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st = {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= IniFile::MaxFileSize;
    const off_t old = ok ? st.st_size : 0;
    QByteArray before(old, Qt::Uninitialized);
    // Nothing is touched before the old bytes are in hand.
    ok = ok && readAll(fd, before.data(), old);
    if (!ok) {
        ::close(fd);
        return false;
    }
    ok = (data.size() <= old || writeAll(fd, data.constData() + old, data.size() - old, old)) &&
         writeAll(fd, data.constData(), qMin<qint64>(old, data.size()), 0) &&
         (data.size() >= old || ::ftruncate(fd, data.size()) == 0) && ::fsync(fd) == 0;
    if (!ok) {
        // Each step puts back what it can, whatever the other gives.
        const bool cut = ::ftruncate(fd, old) == 0;
        const bool back = writeAll(fd, before.constData(), old, 0);
        if (cut && back) ::fsync(fd);
    }
    ::close(fd);
    return ok;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() > IniFile::MaxFileSize) return false;
    const QByteArray before = file.readAll();
    if (before.size() != file.size() || !file.seek(0)) return false;
    if (file.write(data) == data.size() && file.flush() && file.resize(data.size())) return true;
    if (file.seek(0) && file.write(before) == before.size() && file.flush())
        file.resize(before.size());
    return false;
#endif
}

#ifdef Q_OS_UNIX
// Root may write anywhere, and the user who owns the settings folder may put a link at the
// file's name at any moment: followed, it would let a save create or overwrite any file.
// So root works on the folder itself, never through a link at the file's name or the
// folder's: a new file made beside the old one, renamed over whatever stands there.
// False with `why` set when a link stood in the way.
bool saveAsRoot(const QString& path, const QByteArray& data, const char** why) {
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.fileName());
    const int dir = ::open(QFile::encodeName(info.absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        if (errno == ELOOP || errno == ENOTDIR) *why = "its folder is a symbolic link";
        return false;
    }
    struct stat old = {};
    const bool existed = ::fstatat(dir, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed && !S_ISREG(old.st_mode)) {
        *why = "it is not a plain file (a symbolic link?)";
        ::close(dir);
        return false;
    }
    // Its ACL, read through the file itself: the name was checked above to be no link.
    QByteArray acl;
    if (existed) {
        const int oldFd =
            ::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat same = {};
        const bool read = oldFd >= 0 && ::fstat(oldFd, &same) == 0 && S_ISREG(same.st_mode) &&
                          readAcl([&](const char* attr, void* buf,
                                      size_t size) { return ::fgetxattr(oldFd, attr, buf, size); },
                                  &acl);
        if (oldFd >= 0) ::close(oldFd);
        if (!read) {
            *why = "its access control list cannot be read";
            ::close(dir);
            return false;
        }
    }
    const bool ok = common::replaceNoFollow(dir, name, [&](int fd) {
        return writeAll(fd, data.constData(), data.size(), 0) &&
               (!existed || (::fchown(fd, old.st_uid, old.st_gid) == 0 &&
                             ::fchmod(fd, old.st_mode & 07777) == 0 && keepAcl(fd, acl)));
    });
    if (ok) ::fsync(dir);
    ::close(dir);
    return ok;
}
#endif

}  // namespace

void IniFile::save() {
    replaceFile();
    // What stands at the path now is what we hold: later saves merge with it.
    ours_ = true;
    state_ = DiskState::Read;
}

void IniFile::replaceFile() const {
    // A car computer loses power without warning, also while we save. So the new file is
    // written beside the old one, synced, and renamed over it: after a cut the disk holds
    // the old file or the new one, whole, never a torn mix.
    const auto fail = [this] { throw WriteError(path_); };

    const QByteArray data = contents();
    // What we write must be what the next start reads whole.
    if (data.size() > MaxFileSize) {
        qWarning("%s: %s would grow past %lld bytes; it is left as it was",
                 qPrintable(QCoreApplication::applicationName()), qPrintable(path_),
                 static_cast<long long>(MaxFileSize));
        fail();
    }

    // We could not read what is there (or did not), so we could not keep its other lines:
    // keep the whole of it under another name, so that the user can always save and quit.
    if ((state_ == DiskState::Unreadable || state_ == DiskState::Unread) && !moveAside()) fail();

    const QFileInfo info(path_);
    const bool existed = info.exists();
    // A read-only file stays unchanged, even for a user (root) whom the mode does not stop
    // and although a rename would not need write access to the file itself. The mode bits
    // only: the "user" flags come from access(), which root passes.
    constexpr auto anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (existed && (!info.isWritable() || !(info.permissions() & anyWrite))) fail();

    const QString folder = info.absolutePath();
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) fail();
    removeStaleTemporaries();
#ifdef Q_OS_UNIX
    if (runAsRoot()) {
        const char* why = nullptr;
        if (saveAsRoot(path_, data, &why)) return;
        if (why)
            qWarning("%s: not saving %s as root: %s",
                     qPrintable(QCoreApplication::applicationName()), qPrintable(path_), why);
        fail();
    }
#endif

    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        // No new file can be made beside it (a folder the user may not write), but the
        // file itself may be written.
        if (existed && writeInPlace(path_, data)) return;
        fail();
    }
#ifdef Q_OS_UNIX
    struct stat old = {};
    if (existed && ::stat(QFile::encodeName(path_).constData(), &old) == 0 &&
        !keepOwner(file.handle(), old)) {
        // Only root may give a file away; in place the file stays whose it is.
        file.cancelWriting();
        if (writeInPlace(path_, data)) return;
        fail();
    }
#endif
    // Qt copies the mode too, but with the current user's access flags folded into the
    // owner bits; pass the mode bits alone so that the mode stays exactly as it was. After
    // the owner: a change of owner may clear mode bits.
    constexpr auto userFlags =
        QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    if (existed && !file.setPermissions(info.permissions() & ~userFlags)) fail();
#ifdef Q_OS_UNIX
    // The ACL too: without it the mode alone would give its mask to the whole group. What
    // cannot be kept beside the file is kept by writing over the file itself.
    QByteArray acl;
    if (existed && (!readAclOf(path_, &acl) || !keepAcl(file.handle(), acl))) {
        file.cancelWriting();
        if (writeInPlace(path_, data)) return;
        fail();
    }
#endif
    if (file.write(data) != data.size() || !file.flush()) fail();
#ifdef Q_OS_UNIX
    // commit() syncs too, but quietly ignores a failure there; a disk that is full only
    // when the data is allocated must fail the save here.
    if (::fsync(file.handle()) != 0) fail();
#endif
    if (!file.commit()) fail();
#ifdef Q_OS_UNIX
    // Make the rename itself survive a power cut; best effort, not every file system can.
    const QByteArray dir = QFile::encodeName(folder);
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

}  // namespace settings
