#include "SafeFile.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nimbrel {

namespace {

QAtomicInt temporaryCounter;

QString errnoText(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

}  // namespace

bool isRegularFileOrAbsent(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

bool isPlainFileOrAbsent(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

FileRead readFileStart(const QString &path, qint64 maxBytes, QByteArray &bytes, QString &why, bool followLinks,
                       bool *complete)
{
    bytes.clear();
    if (complete)
        *complete = false;
    const QString shown = QFileInfo(path).fileName();
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT)
            return FileRead::Missing;
        why = e == ELOOP && !followLinks ? QStringLiteral("%1 is a symbolic link, which is not followed").arg(shown)
                                         : QStringLiteral("%1 cannot be opened: %2").arg(shown, errnoText(e));
        return FileRead::Refused;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = QStringLiteral("%1 is not a regular file").arg(shown);
        return FileRead::Refused;
    }
    // One byte more than wanted tells whether the file goes on.
    bytes.resize(qsizetype(qMin<qint64>(st.st_size, maxBytes) + 1));
    qint64 got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, std::size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            bytes.clear();
            why = QStringLiteral("%1 cannot be read: %2").arg(shown, errnoText(e));
            return FileRead::Refused;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (complete)
        *complete = got <= maxBytes;
    bytes.truncate(qsizetype(qMin(got, maxBytes)));
    return FileRead::Read;
}

SafeFile::SafeFile(QString path) : path_(std::move(path)), writer_(&::write) {}

SafeFile::~SafeFile()
{
    discard();
}

bool SafeFile::fail(const QString &what, int errorNumber)
{
    failed_ = true;
    error_ = QStringLiteral("%1: %2: %3").arg(path_, what, errnoText(errorNumber));
    discard();
    return false;
}

void SafeFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlink(QFile::encodeName(temporary_).constData());
    temporary_.clear();
}

bool SafeFile::open()
{
    if (fd_ >= 0 || failed_)
        return !failed_;
    // The name itself is looked at, not what a link names: a link is
    // replaced by the new file, its target stays as it is.
    struct stat old;
    const bool exists = ::lstat(QFile::encodeName(path_).constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode)) {
        failed_ = true;
        error_ = QStringLiteral("%1: not a regular file; left alone").arg(path_);
        return false;
    }
    const QFileInfo target(path_);
    const bool replacing = exists && S_ISREG(old.st_mode);
    for (int tries = 0; tries < 100; ++tries) {
        temporary_ = target.dir().filePath(QStringLiteral(".%1.%2-%3.new")
                                               .arg(target.fileName())
                                               .arg(::getpid())
                                               .arg(temporaryCounter.fetchAndAddRelaxed(1)));
        fd_ = ::open(QFile::encodeName(temporary_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            break;
        const int e = errno;
        temporary_.clear();
        if (e != EEXIST)
            return fail(QStringLiteral("cannot create a new file beside it"), e);
    }
    if (fd_ < 0)
        return fail(QStringLiteral("cannot create a new file beside it"), EEXIST);
    // The replacement keeps the permissions of the file it replaces.
    if (replacing)
        ::fchmod(fd_, old.st_mode & 07777);
    return true;
}

bool SafeFile::write(const QByteArray &bytes)
{
    if (!open())
        return false;
    const char *data = bytes.constData();
    std::size_t left = std::size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = writer_(fd_, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(QStringLiteral("write failed"), written < 0 ? errno : ENOSPC);
        data += written;
        left -= std::size_t(written);
    }
    return true;
}

bool SafeFile::commit()
{
    if (!open())
        return false;
    if (::fsync(fd_) != 0)
        return fail(QStringLiteral("flushing to disk failed"), errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail(QStringLiteral("closing failed"), errno);
    if (::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(path_).constData()) != 0)
        return fail(QStringLiteral("cannot replace the file"), errno);
    temporary_.clear();
    // The rename itself reaches the disk with the folder; best effort.
    const int dir = ::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    SafeFile file(path);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

}  // namespace nimbrel
