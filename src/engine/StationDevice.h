// The station as a device: the link library that reaches it (loaded from
// the library folders, or a scripted link put in its place) and the
// device handle while the station is open. The recorder talks through it.
#pragma once

#include "LinkApi.h"
#include "LinkLibrary.h"

#include <QString>
#include <QStringList>

namespace nimbrel {

class StationDevice {
public:
    StationDevice() = default;
    StationDevice(const StationDevice &) = delete;
    StationDevice &operator=(const StationDevice &) = delete;

    // A scripted link in place of the library (tests, the simulator built in).
    void useLink(const LinkApi &api);
    // Loads the library from the first of `folders` that holds it; nothing
    // to do once loaded or with a scripted link.
    LinkLoadError load(const QStringList &folders);
    // The library in use ("the built-in link" or the file).
    QString libraryName() const;
    // Why load failed, in the system's words (the file and the reason).
    QString loadProblem() const { return library_.errorText(); }

    // Opens the station (vendor 0x1130, product 0x6801); null when it is
    // not plugged in or no link is loaded.
    USBHandle open();
    void close();
    // Closes the station and lets the library go.
    void unload();

    // What the recorder calls; stays at one address for the device's life.
    const LinkApi *api() const { return &api_; }
    USBHandle handle() const { return handle_; }

private:
    LinkLibrary library_;
    LinkApi api_;
    bool injected_ = false;
    USBHandle handle_ = nullptr;
};

}  // namespace nimbrel
