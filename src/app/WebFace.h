// Today's wiring of the web interface into the windowed program: feeds the
// server with the main window's current record, connection and choices.
// Once the station engine emits snapshots, the engine feeds the server and
// this file goes.
#pragma once

#include "AppContext.h"

#include <QObject>
#include <memory>

namespace nimbrel {

class TForm1;
namespace web {
class WebServer;
}

class WebFace : public QObject {
    Q_OBJECT
public:
    // Reads [web] of nimbrel.ini in the data folder; does nothing unless it
    // is enabled. A server that cannot start says why on stderr in one
    // sentence and the program runs on. Construct after FormCreate.
    WebFace(TForm1 &form, const AppContext &context);
    ~WebFace() override;

private:
    void push();

    TForm1 &form_;
    std::unique_ptr<web::WebServer> server_;
};

}  // namespace nimbrel
