// Writing a whole file so that it is either all there or not changed at all.
//
// The bytes go to a new file beside the target; every write, the flush to the
// disk (fsync) and the close are checked, and only then is the new file
// renamed over the target. On any failure the new file is removed, the old
// file stays as it was and the reason is returned. (QSaveFile alone is not
// enough: its commit can report success after a buffered write failed on a
// full disk, leaving an empty or cut file in the target's place.)
//
// A target that is a symbolic link is replaced itself: the rename puts the
// new file in the link's place and the file it pointed to is never touched
// (a link to any file the user can write would otherwise have that file
// overwritten). A target that exists but is neither a regular file nor a
// link (a FIFO, a device, a folder) is refused and left alone.
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

// Like isRegularFileOrAbsent, but a symbolic link is not followed and does
// not count as a regular file: for the files in the data folder, which the
// program opens and writes by name.
bool isPlainFileOrAbsent(const QString &path);

enum class FileRead {
    Read,     // bytes hold the file's first bytes (all of it when complete)
    Missing,  // no file of that name
    Refused,  // not a regular file, a link where none is followed, or unreadable: see why
};

// Reads at most maxBytes from the start of a file the program is given by
// name (a settings file, a password file, a header copy). The file is opened
// without waiting (a FIFO would block the program forever) and used only
// when it is a regular file; /dev/zero and the like are refused before a
// byte is read. *complete (when given) says whether the whole file fit.
// With followLinks false a symbolic link is refused, not followed.
FileRead readFileStart(const QString &path, qint64 maxBytes, QByteArray &bytes, QString &why,
                       bool followLinks = true, bool *complete = nullptr);

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
