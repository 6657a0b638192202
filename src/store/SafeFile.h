// Writing a whole file so that it is either all there or not changed at all.
//
// The bytes go to a new file beside the target; every write, the flush to the
// disk (fsync) and the close are checked, and only then is the new file
// renamed over the target. On any failure the new file is removed, the old
// file stays as it was and the reason is returned. (QSaveFile alone is not
// enough: its commit can report success after a buffered write failed on a
// full disk, leaving an empty or cut file in the target's place.)
//
// A target that exists but is not a regular file (a FIFO, a device, a
// folder) is refused and left alone.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <functional>
#include <sys/types.h>

namespace nimbrel {

// Whether path names a regular file or nothing at all (following symbolic
// links); anything else must not be opened: a FIFO would block the program.
bool isRegularFileOrAbsent(const QString &path);

class SafeFile {
public:
    // The descriptor-level write, replaceable in tests by one that fails.
    using Writer = std::function<ssize_t(int fd, const void *data, std::size_t size)>;

    explicit SafeFile(QString path);
    ~SafeFile();  // removes the new file unless it was committed
    SafeFile(const SafeFile &) = delete;
    SafeFile &operator=(const SafeFile &) = delete;

    // Creates the new file beside the target.
    bool open();
    // Writes every byte or fails; after a failure every later call fails.
    bool write(const QByteArray &bytes);
    // Flushes to disk, closes and renames over the target.
    bool commit();
    QString errorString() const { return error_; }

    void setWriter(Writer writer) { writer_ = std::move(writer); }

private:
    bool fail(const QString &what, int errorNumber);
    void discard();

    QString path_;
    QString temporary_;
    int fd_ = -1;
    bool failed_ = false;
    QString error_;
    Writer writer_;
};

// Writes bytes as the whole content of path through a SafeFile. On failure
// returns false, with the reason in *error when given.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

}  // namespace nimbrel
