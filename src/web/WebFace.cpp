#include "WebFace.h"

#include "ClockSkew.h"
#include "LangTable.h"
#include "PressureView.h"
#include "PublishSettings.h"
#include "StationEngine.h"
#include "WebServer.h"

namespace nimbrel {

WebFace::WebFace(const StationEngine &engine, const std::function<void(const QString &)> &report, QObject *parent)
    : QObject(parent)
{
    // nimbrel.ini as read once at start; publishing reports its problems.
    const PublishSettings &settings = engine.publishSettings();
    if (!settings.web.enabled)
        return;
    channels_ = settings.channels;
    server_ = std::make_unique<web::WebServer>(settings.web, engine.history());
    server_->setClock([&engine] { return engine.now(); });
    QString why;
    if (!server_->start(&why)) {
        report(why);
        server_.reset();
        return;
    }
    report(QStringLiteral("the web page is at http://%1:%2/").arg(settings.web.bind).arg(server_->port()));
    if (const std::unique_ptr<LangTable> lang = engine.openTranslations()) {
        std::vector<LangRow> rows;
        for (int form = 1; form <= 3; ++form)
            for (LangRow &row : lang->rows(form))
                rows.push_back(std::move(row));
        server_->setTranslations(std::move(rows));
    }
    connect(&engine, &StationEngine::changed, this, &WebFace::show);
    if (engine.snapshot())
        show(engine.snapshot());
}

WebFace::~WebFace() = default;

void WebFace::show(const SnapshotPtr &snapshot)
{
    const StationSnapshot &s = *snapshot;
    switch (s.change) {
    // The progress of a running read changes nothing the page shows.
    case SnapshotChange::Progress:
    case SnapshotChange::Stage:
    case SnapshotChange::Exchange:
        return;
    case SnapshotChange::HistoryCleared: server_->historyChanged(); break;
    default: break;
    }
    web::WebSnapshot page;
    page.hasConditions = s.record.Dat.isValid() && s.conditions.time.isValid();
    page.conditions = s.conditions;
    page.connected = s.connected;
    page.pressureTrend = pressureTrendIndex(s.summary);
    page.units = s.units;
    page.language = s.language;
    page.clockAheadSecs = s.clockAheadSecs;
    page.clockNote = clockSkewSentence(ClockSkew{s.clockAheadSecs});
    page.destinations = s.destinations;
    page.channelNames = channels_.names;
    page.headlineChannel = channels_.outdoorGiven ? channels_.outdoor : 0;
    server_->update(page);
}

}  // namespace nimbrel
