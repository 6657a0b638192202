#include "LinkLibrary.h"

#include <QDir>
#include <QFileInfo>

namespace nimbrel {

QString toString(LinkLoadError error)
{
    switch (error) {
    case LinkLoadError::None: return QStringLiteral("loaded");
    case LinkLoadError::NotFound: return QStringLiteral("the link library could not be loaded");
    case LinkLoadError::MissingOperation:
        return QStringLiteral("the link library lacks one of its seven operations");
    }
    return {};
}

LinkLibrary::~LinkLibrary()
{
    unload();
}

QString LinkLibrary::baseName()
{
    return QStringLiteral("USB");
}

static QString libraryFileName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("USB.dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("libUSB.dylib");
#else
    return QStringLiteral("libUSB.so");
#endif
}

LinkLoadError LinkLibrary::load(const QStringList &folders)
{
    unload();
    for (const QString &folder : folders) {
        const QString candidate = QDir(folder).filePath(libraryFileName());
        if (QFileInfo::exists(candidate))
            return loadFile(candidate);
    }
    // The system's library path.
    library_ = std::make_unique<QLibrary>(baseName());
    if (!library_->load()) {
        errorText_ = library_->errorString();
        library_.reset();
        return LinkLoadError::NotFound;
    }
    return resolve();
}

LinkLoadError LinkLibrary::loadFile(const QString &path)
{
    unload();
    library_ = std::make_unique<QLibrary>(QFileInfo(path).absoluteFilePath());
    if (!library_->load()) {
        errorText_ = library_->errorString();
        library_.reset();
        return LinkLoadError::NotFound;
    }
    return resolve();
}

LinkLoadError LinkLibrary::resolve()
{
    api_.open = reinterpret_cast<USBOpenFn>(library_->resolve("USBOpen"));
    api_.check = reinterpret_cast<USBCheckFn>(library_->resolve("USBCheck"));
    api_.write = reinterpret_cast<USBWriteFn>(library_->resolve("USBWrite"));
    api_.getStatus = reinterpret_cast<USBGetStatusFn>(library_->resolve("USBGetStatus"));
    api_.read = reinterpret_cast<USBReadFn>(library_->resolve("USBRead"));
    api_.close = reinterpret_cast<USBCloseFn>(library_->resolve("USBClose"));
    api_.getError = reinterpret_cast<USBGetErrorFn>(library_->resolve("USBGetError"));
    if (!api_.complete()) {
        errorText_ = QStringLiteral("%1 lacks one of USBOpen, USBCheck, USBWrite, USBGetStatus, "
                                    "USBRead, USBClose, USBGetError")
                         .arg(library_->fileName());
        return LinkLoadError::MissingOperation;
    }
    return LinkLoadError::None;
}

QString LinkLibrary::fileName() const
{
    return library_ ? library_->fileName() : QString();
}

void LinkLibrary::unload()
{
    api_ = {};
    if (library_) {
        library_->unload();
        library_.reset();
    }
}

}  // namespace nimbrel
