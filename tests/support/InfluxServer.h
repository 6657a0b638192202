// An InfluxDB 1.x server of the test's own (Debian's influxd) on free
// loopback ports, its files in a temporary folder, and an event loop that
// waits for a condition, for the tests and benchmarks that meet InfluxDB.
#pragma once

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <functional>

namespace nimbrel::test {

// Runs the event loop until `done` (checked every 10 ms) or the net of
// `netMs` under a stalled machine; every wait ends at its event.
inline bool waitUntil(const std::function<bool()> &done, int netMs = 60000)
{
    QEventLoop loop;
    QTimer tick;
    bool ok = done();
    bool checking = false;  // done() may run a loop of its own that ticks
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (!checking) {
            checking = true;
            if ((ok = done()))
                loop.quit();
            checking = false;
        }
    });
    QTimer::singleShot(netMs, &loop, &QEventLoop::quit);
    tick.start(10);
    if (!ok)
        loop.exec();
    return ok;
}

inline quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct InfluxServer {
    static QString binary() { return QStandardPaths::findExecutable(QStringLiteral("influxd"), {"/usr/bin", "/usr/local/bin"}); }

    InfluxServer()
    {
        QFile conf(dir.filePath(QStringLiteral("influxdb.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("reporting-disabled = true\nbind-address = \"127.0.0.1:%1\"\n"
                                  "[meta]\n dir = \"%3/meta\"\n[data]\n dir = \"%3/data\"\n wal-dir = \"%3/wal\"\n"
                                  " query-log-enabled = false\n[http]\n bind-address = \"127.0.0.1:%2\"\n"
                                  " log-enabled = false\n[monitor]\n store-enabled = false\n"
                                  "[continuous_queries]\n enabled = false\n")
                       .arg(freeLoopbackPort())
                       .arg(port)
                       .arg(dir.path())
                       .toUtf8());
        process.setStandardOutputFile(dir.filePath(QStringLiteral("influxd.log")), QIODevice::Append);
        process.setStandardErrorFile(dir.filePath(QStringLiteral("influxd.log")), QIODevice::Append);
    }
    ~InfluxServer() { stop(); }

    // Started once /ping answers 204.
    bool start()
    {
        process.start(binary(), {QStringLiteral("-config"), dir.filePath(QStringLiteral("influxdb.conf"))});
        return waitUntil([this] { return process.state() != QProcess::NotRunning && call("GET", "/ping").first == 204; });
    }
    void stop()
    {
        process.kill();
        process.waitForFinished(10000);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)); }

    // One request, answered within an event loop of its own: status and body.
    std::pair<int, QByteArray> call(const QByteArray &method, const char *path, const QUrlQuery &query = {})
    {
        QUrl target = url();
        target.setPath(QString::fromLatin1(path));
        target.setQuery(query);
        QNetworkRequest request(target);
        request.setTransferTimeout(5000);
        QNetworkReply *reply = network.sendCustomRequest(request, method);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        reply->deleteLater();
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    }
    bool query(const QString &q) { return call("POST", "/query", QUrlQuery{{QStringLiteral("q"), q}}).first == 200; }
    // count(field) of a measurement; -1 when the answer holds no number.
    qint64 count(const QString &database, const QString &measurement, const QString &field)
    {
        const QString q = QStringLiteral("SELECT count(%1) FROM %2").arg(field, measurement);
        const auto [status, body] = call("GET", "/query", QUrlQuery{{QStringLiteral("db"), database}, {QStringLiteral("q"), q}});
        const QJsonArray values = QJsonDocument::fromJson(body)["results"][0]["series"][0]["values"].toArray();
        return status == 200 && !values.isEmpty() ? values[0].toArray().at(1).toInteger(-1) : -1;
    }

    QTemporaryDir dir;
    quint16 port = freeLoopbackPort();
    QProcess process;
    QNetworkAccessManager network;
};

#define NEEDS_INFLUXD()                                                                    \
    do {                                                                                   \
        if (::nimbrel::test::InfluxServer::binary().isEmpty())                             \
            GTEST_SKIP() << "influxd is not installed (scripts/install-deps installs it)"; \
    } while (false)

}  // namespace nimbrel::test
