#include "WebServer.h"

#include "MetricsText.h"
#include "PageView.h"
#include "PageWords.h"
#include "StatusJson.h"

#include "SafeFile.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
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
    : QObject(parent),
      settings_(settings),
      history_(history),
      historyQuery_(history),
      front_([this](const HttpRequest &request) { return handle(request); })
{
    front_.setHostNames(settings_.hosts);
    display_ = displayDocument();
    loadAssets();
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
    QString error;
    int code = 0;
    if (!front_.listen(address, static_cast<quint16>(settings_.port), &error, &code)) {
        if (why)
            *why = code == QAbstractSocket::AddressInUseError
                       ? QStringLiteral("The web page cannot be served: port %1 is in use by another program; "
                                        "choose another port in [web] of nimbrel.ini.")
                             .arg(settings_.port)
                       : QStringLiteral("The web page cannot be served on %1 port %2: %3.")
                             .arg(settings_.bind)
                             .arg(settings_.port)
                             .arg(error);
        return false;
    }
    // Ready before the first request, so no request ever waits for a build.
    if (history_)
        historyQuery_.prepare();
    port_ = front_.port();
    return true;
}

void WebServer::loadAssets()
{
    for (const Asset &a : kAssets) {
        QFile file(QString::fromLatin1(a.resource));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        HttpReply r;
        r.cacheControl = kAssetCache;
        r.contentType = a.type;
        r.body = file.readAll();
        assets_[QString::fromLatin1(a.path)] = r;
    }
    // chart.js is read once, here: a name that leads to a FIFO or a device
    // would otherwise block the thread on a request, and a file that grows
    // would grow the program. The refusals leave the path out: they go to
    // whoever asks over the network.
    HttpReply chart;
    chart.cacheControl = kAssetCache;
    chart.contentType = "text/javascript; charset=utf-8";
    QString why;
    bool complete = false;
    const FileRead read =
        settings_.chartScript.isEmpty()
            ? FileRead::Missing
            : readFileStart(settings_.chartScript, kMostChartScriptBytes + 1, chart.body, why, true, &complete);
    if (read == FileRead::Read && complete && chart.body.size() <= kMostChartScriptBytes)
        assets_[QStringLiteral("/chart.js")] = chart;
    else if (read == FileRead::Read)
        assets_[QStringLiteral("/chart.js")] =
            HttpReply::error(404, QStringLiteral("The charting library is larger than %1 MB ([web] chartScript in "
                                                 "nimbrel.ini).")
                                      .arg(kMostChartScriptBytes >> 20));
    else if (read == FileRead::Refused)
        assets_[QStringLiteral("/chart.js")] =
            HttpReply::error(404, QStringLiteral("The charting library is not a readable regular file ([web] "
                                                 "chartScript in nimbrel.ini)."));
    else
        assets_[QStringLiteral("/chart.js")] = HttpReply::error(
            404, QStringLiteral("The charting library is not installed (Debian package libjs-chart.js)."));
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
    front_.broadcast("event: display\ndata: " + display_ + "\n\n");
}

WebServer::Stats WebServer::stats() const
{
    Stats s = stats_;
    s.eventStreams = front_.eventStreams();
    return s;
}

HttpReply WebServer::handle(const HttpRequest &request)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 cpuStart = threadCpuNs();
    HttpReply reply = route(request);
    const qint64 ns = timer.nsecsElapsed();
    ++stats_.requests;
    stats_.totalNs += ns;
    stats_.slowestNs = std::max(stats_.slowestNs, ns);
    stats_.slowestCpuNs = std::max(stats_.slowestCpuNs, threadCpuNs() - cpuStart);
    stats_.overOneFrame += ns > kOneFrameNs ? 1 : 0;
    return reply;
}

HttpReply WebServer::route(const HttpRequest &request)
{
    if (request.method != "GET" && request.method != "HEAD") {
        HttpReply r = HttpReply::error(405, QStringLiteral("Only GET and HEAD are answered here."));
        r.allow = "GET, HEAD";
        return r;
    }
    const qsizetype question = request.target.indexOf('?');
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(question < 0 ? request.target : request.target.left(question)));
    const QUrlQuery query(question < 0 ? QString() : QString::fromLatin1(request.target.mid(question + 1)));
    if (path == QLatin1String("/api/current"))
        return HttpReply::json(compact(currentJson(snapshot_)));
    if (path == QLatin1String("/api/status"))
        return HttpReply::json(destinationsJson(snapshot_.destinations));
    if (path == QLatin1String("/metrics")) {
        HttpReply r;
        r.contentType = kMetricsContentType;
        r.body = metricsText(snapshot_, now_());
        return r;
    }
    if (path == QLatin1String("/api/display"))
        return HttpReply::json(display_);
    if (path == QLatin1String("/api/history")) {
        const HistoryAnswer a = historyQuery_.answer(query, snapshot_.units);
        return HttpReply::json(a.json, a.status);
    }
    if (path == QLatin1String("/api/events")) {
        if (front_.eventStreams() >= kMostEventStreams)
            return HttpReply::error(503, QStringLiteral("Too many pages are open; close one and reload."));
        HttpReply r;
        r.contentType = "text/event-stream; charset=utf-8";
        r.eventStream = true;
        // The page shows the state at once, then each change.
        r.body = "retry: 5000\nevent: display\ndata: " + display_ + "\n\n";
        return r;
    }
    return asset(path);
}

HttpReply WebServer::asset(const QString &path) const
{
    const auto found = assets_.find(path);
    if (found != assets_.end())
        return found->second;
    return HttpReply::error(404, QStringLiteral("There is nothing at this address."));
}

}  // namespace nimbrel::web
