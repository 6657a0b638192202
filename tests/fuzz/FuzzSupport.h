// Shared pieces of the fuzz targets: a quiet Qt core for the table files and
// a scratch folder that each input is written into.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A property every input must keep; a failure aborts, so the fuzzing engine
// saves the input and a replay fails.
#define NIMBREL_FUZZ_CHECK(condition)                                                          \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace nimbrel::fuzz {

// A core application (the SQL driver plugin is found through it) and no
// warnings on the console: a damaged file makes the drivers talk a lot.
inline void startQuietQt()
{
    static int argc = 1;
    static char name[] = "nimbrel-fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        static QCoreApplication app(argc, argv);
    }
}

// One temporary folder for the whole run, emptied before every input. It is
// in memory where the system offers that: the table files sync every write,
// and on a disk that makes a run a hundred times slower.
class ScratchFolder {
public:
    ScratchFolder() : dir_(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/nimbrel-fuzz-XXXXXX")
                                                                     : QDir::tempPath() + QStringLiteral("/nimbrel-fuzz-XXXXXX"))
    {
        if (!dir_.isValid())
            std::abort();
    }

    // Empties the folder and writes the bytes as `name`; returns the path.
    QString put(const QString &name, const std::uint8_t *data, std::size_t size)
    {
        QDir folder(dir_.path());
        for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
            folder.remove(entry);
        const QString path = folder.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
            std::abort();
        return path;
    }

    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Reading the input front to back, with zeros once it runs out.
class InputBytes {
public:
    InputBytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::int32_t int32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return static_cast<std::int32_t>(v);
    }
    const std::uint8_t *rest() const { return data_ + at_; }
    std::size_t restSize() const { return size_ - at_; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace nimbrel::fuzz
