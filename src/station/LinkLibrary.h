// Loads the station link library by its name "USB" (libUSB.so, USB.dll) and
// resolves its seven operations.
#pragma once

#include "LinkApi.h"

#include <QLibrary>
#include <QString>
#include <QStringList>
#include <memory>

namespace nimbrel {

enum class LinkLoadError {
    None,
    NotFound,          // no loadable library in any searched folder
    MissingOperation,  // a library loaded, but one of the seven names is absent
};

QString toString(LinkLoadError error);

class LinkLibrary {
public:
    LinkLibrary() = default;
    ~LinkLibrary();
    LinkLibrary(const LinkLibrary &) = delete;
    LinkLibrary &operator=(const LinkLibrary &) = delete;

    // Searches the given folders in order (the working directory first, then
    // the executable's folder), then the system's library path.
    LinkLoadError load(const QStringList &folders);
    // Loads exactly this file.
    LinkLoadError loadFile(const QString &path);
    void unload();

    bool isLoaded() const { return library_ && library_->isLoaded(); }
    const LinkApi &api() const { return api_; }
    QString fileName() const;
    QString errorText() const { return errorText_; }

    static QString baseName();  // "USB"

private:
    LinkLoadError resolve();

    std::unique_ptr<QLibrary> library_;
    LinkApi api_;
    QString errorText_;
};

}  // namespace nimbrel
