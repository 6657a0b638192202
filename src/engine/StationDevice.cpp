#include "StationDevice.h"

#include <QDir>

namespace nimbrel {

void StationDevice::useLink(const LinkApi &api)
{
    api_ = api;
    injected_ = true;
}

LinkLoadError StationDevice::load(const QStringList &folders)
{
    if (injected_ || api_.open)
        return LinkLoadError::None;
    const LinkLoadError error = library_.load(folders);
    if (error == LinkLoadError::None)
        api_ = library_.api();
    return error;
}

QString StationDevice::libraryName() const
{
    if (injected_)
        return QStringLiteral("the built-in link");
    return QDir::toNativeSeparators(library_.fileName());
}

USBHandle StationDevice::open()
{
    handle_ = nullptr;
    // Without a loaded library there is nothing to call.
    if (api_.open)
        handle_ = api_.open(nullptr, kStationVendorId, kStationProductId, kLinkInputSize, kLinkOutputSize, 0);
    return handle_;
}

void StationDevice::close()
{
    if (api_.close && handle_)
        api_.close(handle_, 0);
    handle_ = nullptr;
}

void StationDevice::unload()
{
    close();
    library_.unload();
}

}  // namespace nimbrel
