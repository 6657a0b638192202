// The web interface: an HTTP server on the program's event loop (HttpFront.h:
// a strict HTTP/1.1 front on a QTcpServer, with limits on every request and
// connection) that answers
//
//   GET /                 the page (phone and desktop)
//   GET /app.js, /app.css the page's script and style, built into the program
//   GET /chart.js         the charting library, read from the one file
//                         [web] chartScript names (Debian's libjs-chart.js)
//   GET /api/current      the MQTT state message's JSON plus "connected"
//   GET /api/display      what the page shows, in the user's units and language
//   GET /api/events       server-sent events: "display" after every update()
//   GET /api/history      the history, reduced (HistoryQuery.h)
//   GET /api/status       each destination's state (StatusJson.h)
//   GET /metrics          the snapshot for Prometheus (MetricsText.h)
//
// and HEAD for each. Any other method gets 405, any other path 404; no path
// is ever mapped to a file: chart.js is read once at start, the page's own
// files are built into the program. The server is a face that is fed: whoever owns
// the station calls update() on every change, and the server pushes the new
// display to every open page. Every request is answered at once on the
// calling thread, from the snapshot and the summaries; how long each took is
// kept in stats().
#pragma once

#include "HistoryQuery.h"
#include "HttpFront.h"
#include "HttpReply.h"
#include "LangTable.h"
#include "PublishSettings.h"
#include "WebSnapshot.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <functional>
#include <map>
#include <vector>

namespace nimbrel {
class HistoryStore;
}

namespace nimbrel::web {

// Open event streams beyond this are refused (503): each holds a socket.
inline constexpr int kMostEventStreams = 64;
// The largest chart.js served (Chart.js 4 is about 200 KB).
inline constexpr qint64 kMostChartScriptBytes = 8 * 1024 * 1024;

class WebServer : public QObject {
    Q_OBJECT
public:
    // `history` may be null (no history: /api/history says there are no
    // records); it must outlive the server.
    WebServer(const WebSettings &settings, const HistoryStore *history, QObject *parent = nullptr);
    ~WebServer() override;

    // The limits of requests and connections, before start(); tests
    // shorten the timeouts.
    void setLimits(const FrontLimits &limits) { front_.setLimits(limits); }

    // Prepares the history's summaries and starts listening. False with one
    // sentence in `why` when the address cannot be used (a port in use, an
    // address not of this machine); the rest of the program runs on.
    bool start(QString *why);
    // The port listened on (the one asked for, or the one chosen for 0).
    quint16 port() const { return port_; }

    // The new state: answers from now on use it, and every open page gets it.
    void update(const WebSnapshot &snapshot);
    // The computer's clock, for the newest record's age in /metrics: the
    // engine's, so that --clock holds here too. The system clock until set.
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    // The translation table's rows of both windows (LangTable::rows of forms
    // 1, 2 and 3); the page's words come from them.
    void setTranslations(std::vector<LangRow> rows);
    // The history was cleared or replaced: the summaries are checked again.
    void historyChanged();

    struct Stats {
        qint64 requests = 0;
        qint64 slowestNs = 0;     // the longest time one request held the thread
        qint64 slowestCpuNs = 0;  // the most processor time one request took
        qint64 totalNs = 0;
        qint64 overOneFrame = 0;  // requests that held the thread over 16 ms
        int eventStreams = 0;
    };
    Stats stats() const;
    void resetStats() { stats_ = {}; }

private:
    HttpReply handle(const HttpRequest &request);
    HttpReply route(const HttpRequest &request);
    HttpReply asset(const QString &path) const;
    QByteArray displayDocument();
    void loadAssets();

    WebSettings settings_;
    const HistoryStore *history_;
    HistoryQuery historyQuery_;
    WebSnapshot snapshot_;
    std::vector<LangRow> translations_;
    QJsonObject words_;
    int wordsLanguage_ = -1;
    QByteArray display_;  // built once per update
    std::map<QString, HttpReply> assets_;  // by path, read once
    HttpFront front_;
    quint16 port_ = 0;
    std::function<QDateTime()> now_ = [] { return QDateTime::currentDateTime(); };
    Stats stats_;
};

}  // namespace nimbrel::web
