// An InfluxDB 1.x server of the test's own (Debian's influxd) on free
// loopback ports, its files in a temporary folder, and an event loop that
// waits for a condition, for the tests and benchmarks that meet InfluxDB.
#pragma once

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <functional>

namespace nimbrel::test {

// Runs the event loop until `done` (checked on every 10 ms tick) or the net
// of `netMs` under a stalled machine; every wait ends at its event.
inline bool waitUntil(const std::function<bool()> &done, int netMs = 60000)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer tick;
    QTimer net;
    bool ok = false;
    bool checking = false;  // done() may itself run a loop that ticks
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (checking)
            return;
        checking = true;
        if (done()) {
            ok = true;
            loop.quit();
        }
        checking = false;
    });
    net.setSingleShot(true);
    QObject::connect(&net, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(10);
    net.start(netMs);
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
    static QString binary()
    {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("influxd"));
        return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("influxd"), {QStringLiteral("/usr/bin")})
                               : found;
    }

    InfluxServer()
    {
        QFile conf(dir.filePath(QStringLiteral("influxdb.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("reporting-disabled = true\n"
                                  "bind-address = \"127.0.0.1:%1\"\n"
                                  "[meta]\n  dir = \"%3/meta\"\n"
                                  "[data]\n  dir = \"%3/data\"\n  wal-dir = \"%3/wal\"\n"
                                  "  query-log-enabled = false\n"
                                  "[http]\n  bind-address = \"127.0.0.1:%2\"\n  log-enabled = false\n"
                                  "[monitor]\n  store-enabled = false\n"
                                  "[continuous_queries]\n  enabled = false\n")
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
        return waitUntil([this] {
            return process.state() != QProcess::NotRunning && call("GET", QStringLiteral("/ping")).first == 204;
        });
    }
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(10000);
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)); }

    // One request, answered within a nested event loop: status and body.
    std::pair<int, QByteArray> call(const QByteArray &method, const QString &path, const QUrlQuery &query = {})
    {
        QUrl target = url();
        target.setPath(path);
        target.setQuery(query);
        QNetworkRequest request(target);
        request.setTransferTimeout(5000);
        QNetworkReply *reply = network.sendCustomRequest(request, method);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return {status, body};
    }
    bool query(const QString &q)
    {
        return call("POST", QStringLiteral("/query"), QUrlQuery{{QStringLiteral("q"), q}}).first == 200;
    }
    // count(field) of a measurement; -1 when the answer has no number.
    qint64 count(const QString &database, const QString &measurement, const QString &field)
    {
        const auto [status, body] =
            call("GET", QStringLiteral("/query"),
                 QUrlQuery{{QStringLiteral("db"), database},
                           {QStringLiteral("q"), QStringLiteral("SELECT count(%1) FROM %2").arg(field, measurement)}});
        const QJsonArray values = QJsonDocument::fromJson(body)["results"][0]["series"][0]["values"].toArray();
        return status == 200 && !values.isEmpty() ? values[0].toArray().at(1).toInteger(-1) : -1;
    }

    QTemporaryDir dir;
    quint16 port = freeLoopbackPort();
    QProcess process;
    QNetworkAccessManager network;
};

#define NEEDS_INFLUXD()                                                            \
    do {                                                                          \
        if (::nimbrel::test::InfluxServer::binary().isEmpty())                    \
            GTEST_SKIP() << "influxd is not installed (scripts/install-deps installs it)"; \
    } while (false)

}  // namespace nimbrel::test
