// The web interface as a face of the station engine: reads [web] of
// nimbrel.ini, starts the server when it is enabled and feeds it every
// snapshot the engine hands out. The window and the background recorder
// both start one, so the page works with or without a window.
#pragma once

#include "PublishSettings.h"
#include "StationSnapshot.h"

#include <QObject>
#include <functional>
#include <QString>
#include <memory>

namespace nimbrel {

class StationEngine;
namespace web {
class WebServer;
}

class WebFace : public QObject {
    Q_OBJECT
public:
    // After the engine's tables are open. A server that cannot start says
    // why in one sentence through `report` and the program runs on.
    WebFace(const StationEngine &engine, const std::function<void(const QString &)> &report,
            QObject *parent = nullptr);
    ~WebFace() override;

    bool serving() const { return server_ != nullptr; }

private:
    void show(const SnapshotPtr &snapshot);

    std::unique_ptr<web::WebServer> server_;
    ChannelSettings channels_;
};

}  // namespace nimbrel
