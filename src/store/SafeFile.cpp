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
    // A symbolic link stays a link: the file it names is the one replaced.
    const QFileInfo info(path_);
    if (info.isSymLink() && info.exists())
        path_ = info.canonicalFilePath();
    if (!isRegularFileOrAbsent(path_)) {
        failed_ = true;
        error_ = QStringLiteral("%1: not a regular file; left alone").arg(path_);
        return false;
    }
    const QFileInfo target(path_);
    struct stat old;
    const bool replacing = ::stat(QFile::encodeName(path_).constData(), &old) == 0;
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
