#include "WebServer.h"

#include "PageView.h"
#include "PageWords.h"
#include "StatusJson.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QTcpServer>
#include <QUrlQuery>
#include <ctime>

namespace nimbrel::web {

namespace {

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

struct Asset {
    const char *path;
    const char *resource;
    const char *type;
};

// The page's own files, built into the program; nothing else is served.
const Asset kAssets[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/index.html", ":/web/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/app.css", ":/web/app.css", "text/css; charset=utf-8"},
};

// A frame of the window at 60 Hz: no request may hold the thread longer.
constexpr qint64 kOneFrameNs = 16'000'000;

// Processor time of this thread: unlike the elapsed time it leaves out the
// moments another process had the processor.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The page may keep its files for a few minutes; data is never kept.
constexpr char kAssetCache[] = "public, max-age=300";

}  // namespace

WebServer::WebServer(const WebSettings &settings, const HistoryStore *history, QObject *parent)
    : QAbstractHttpServer(parent), settings_(settings), history_(history), historyQuery_(history)
{
    display_ = displayDocument();
}

WebServer::~WebServer() = default;

bool WebServer::start(QString *why)
{
    const QHostAddress address(settings_.bind);
    if (address.isNull()) {
        if (why)
            *why = QStringLiteral("The web page cannot be served: \"%1\" is not an IP address ([web] bind in nimbrel.ini).")
                       .arg(settings_.bind);
        return false;
    }
    auto *server = new QTcpServer(this);
    if (!server->listen(address, static_cast<quint16>(settings_.port))) {
        if (why)
            *why = server->serverError() == QAbstractSocket::AddressInUseError
                       ? QStringLiteral("The web page cannot be served: port %1 is in use by another program; "
                                        "choose another port in [web] of nimbrel.ini.")
                             .arg(settings_.port)
                       : QStringLiteral("The web page cannot be served on %1 port %2: %3.")
                             .arg(settings_.bind)
                             .arg(settings_.port)
                             .arg(server->errorString());
        delete server;
        return false;
    }
    // Ready before the first request, so no request ever waits for a build.
    if (history_)
        historyQuery_.prepare();
    bind(server);
    port_ = server->serverPort();
    return true;
}

void WebServer::historyChanged()
{
    if (history_)
        historyQuery_.prepare();
}

void WebServer::setTranslations(std::vector<LangRow> rows)
{
    translations_ = std::move(rows);
    wordsLanguage_ = -1;
    display_ = displayDocument();
}

QByteArray WebServer::displayDocument()
{
    if (wordsLanguage_ != snapshot_.language) {
        words_ = pageWords(translations_, snapshot_.language);
        wordsLanguage_ = snapshot_.language;
    }
    return compact(displayJson(snapshot_, words_));
}

void WebServer::update(const WebSnapshot &snapshot)
{
    snapshot_ = snapshot;
    display_ = displayDocument();
    const QByteArray event = "event: display\ndata: " + display_ + "\n\n";
    for (qsizetype i = streams_.size() - 1; i >= 0; --i) {
        QTcpSocket *socket = streams_[i];
        if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
            streams_.removeAt(i);
            continue;
        }
        socket->write(event);
    }
}

WebServer::Stats WebServer::stats() const
{
    Stats s = stats_;
    s.eventStreams = 0;
    for (const QPointer<QTcpSocket> &socket : streams_)
        s.eventStreams += socket && socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
    return s;
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 cpuStart = threadCpuNs();
    QHttpServerResponder responder = makeResponder(request, socket);
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    bool eventStream = false;
    const HttpReply reply = route(request, eventStream);
    if (eventStream && !head)
        openEventStream(responder);
    else
        sendReply(responder, reply, head);
    const qint64 ns = timer.nsecsElapsed();
    ++stats_.requests;
    stats_.totalNs += ns;
    stats_.slowestNs = std::max(stats_.slowestNs, ns);
    stats_.slowestCpuNs = std::max(stats_.slowestCpuNs, threadCpuNs() - cpuStart);
    stats_.overOneFrame += ns > kOneFrameNs ? 1 : 0;
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    sendReply(responder, HttpReply::error(404, QStringLiteral("There is nothing at this address.")), false);
}

HttpReply WebServer::route(const QHttpServerRequest &request, bool &eventStream)
{
    const auto method = request.method();
    if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Head) {
        HttpReply r = HttpReply::error(405, QStringLiteral("Only GET and HEAD are answered here."));
        r.allow = "GET, HEAD";
        return r;
    }
    const QString path = request.url().path();
    if (path == QLatin1String("/api/current"))
        return HttpReply::json(compact(currentJson(snapshot_)));
    if (path == QLatin1String("/api/status"))
        return HttpReply::json(destinationsJson(snapshot_.destinations));
    if (path == QLatin1String("/api/display"))
        return HttpReply::json(display_);
    if (path == QLatin1String("/api/history")) {
        const HistoryAnswer a = historyQuery_.answer(QUrlQuery(request.url()), snapshot_.units);
        return HttpReply::json(a.json, a.status);
    }
    if (path == QLatin1String("/api/events")) {
        if (streams_.size() >= kMostEventStreams) {
            // Forget the streams whose pages have gone before refusing.
            streams_.removeIf([](const QPointer<QTcpSocket> &s) {
                return !s || s->state() != QAbstractSocket::ConnectedState;
            });
            if (streams_.size() >= kMostEventStreams)
                return HttpReply::error(503, QStringLiteral("Too many pages are open; close one and reload."));
        }
        eventStream = true;
        HttpReply r;
        r.contentType = "text/event-stream; charset=utf-8";
        return r;
    }
    return asset(path);
}

HttpReply WebServer::asset(const QString &path) const
{
    HttpReply r;
    r.cacheControl = kAssetCache;
    if (path == QLatin1String("/chart.js")) {
        QFile file(settings_.chartScript);
        if (settings_.chartScript.isEmpty() || !file.open(QIODevice::ReadOnly))
            return HttpReply::error(404, QStringLiteral("The charting library is not installed (Debian package "
                                                        "libjs-chart.js)."));
        r.contentType = "text/javascript; charset=utf-8";
        r.body = file.readAll();
        return r;
    }
    for (const Asset &a : kAssets) {
        if (path == QLatin1String(a.path)) {
            QFile file(QString::fromLatin1(a.resource));
            if (file.open(QIODevice::ReadOnly)) {
                r.contentType = a.type;
                r.body = file.readAll();
                return r;
            }
        }
    }
    return HttpReply::error(404, QStringLiteral("There is nothing at this address."));
}

void WebServer::openEventStream(QHttpServerResponder &responder)
{
    sendEventStreamHead(responder);
    QTcpSocket *socket = responder.socket();
    // The page shows the state at once, then each change.
    socket->write("retry: 5000\nevent: display\ndata: " + display_ + "\n\n");
    streams_.append(QPointer<QTcpSocket>(socket));
}

}  // namespace nimbrel::web
