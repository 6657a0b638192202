// The web server's front under a careless or hostile client, over real TCP
// on loopback: raw bytes in, and what came back before the server closed
// (or, for a connection that must stay open, a second answer on it).
#include "HttpFront.h"
#include "HttpRequestParser.h"
#include "PublishSettings.h"
#include "WebServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

using namespace nimbrel;
using namespace nimbrel::web;

namespace {

// The statuses of the whole answers in `data`, read one after the other by
// their Content-Length.
QList<int> answerStatuses(const QByteArray &data)
{
    QList<int> statuses;
    qsizetype at = 0;
    while (data.mid(at, 9) == "HTTP/1.1 ") {
        const qsizetype end = data.indexOf("\r\n\r\n", at);
        const qsizetype length = data.indexOf("Content-Length: ", at);
        if (end < 0 || length < 0 || length > end)
            break;
        const qint64 bytes = data.mid(length + 16, data.indexOf("\r\n", length) - length - 16).toLongLong();
        if (data.size() < end + 4 + bytes)
            break;
        statuses << data.mid(at + 9, 3).toInt();
        at = end + 4 + bytes;
    }
    return statuses;
}

// A client that writes `request` and keeps what comes back until the
// server closes.
struct RawExchange {
    QByteArray received;
    bool closedByServer = false;

    QList<int> statuses() const { return answerStatuses(received); }
    bool says(const QByteArray &header) const { return received.contains("\r\n" + header + "\r\n"); }
};

// With `shut`, the client shuts its sending side after the request, as
// `nc -N` and some scripts do.
RawExchange exchange(quint16 port, const QByteArray &request, bool shut = false)
{
    RawExchange r;
    QTcpSocket socket;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&] {
        socket.write(request);
        if (shut) {
            socket.waitForBytesWritten(-1);
            ::shutdown(int(socket.socketDescriptor()), SHUT_WR);
        }
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { r.received += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] {
        r.received += socket.readAll();
        r.closedByServer = true;
        loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            loop.quit();
    });
    socket.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    return r;
}

struct Front {
    QTemporaryDir dir;
    std::unique_ptr<WebServer> server;

    // `web` holds lines of [web] in nimbrel.ini.
    explicit Front(FrontLimits limits = {}, const QByteArray &web = {})
    {
        QFile ini(dir.filePath(QStringLiteral("nimbrel.ini")));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[web]\nenabled=true\n" + web);
        ini.close();
        const PublishSettings loaded = loadPublishSettings(ini.fileName());
        EXPECT_TRUE(loaded.problems.isEmpty()) << loaded.problems.join(u'\n').toStdString();
        WebSettings settings = loaded.web;
        settings.port = 0;
        server = std::make_unique<WebServer>(settings, nullptr);
        server->setLimits(limits);
        QString why;
        EXPECT_TRUE(server->start(&why)) << why.toStdString();
    }
    quint16 port() const { return server->port(); }
};

const QByteArray kHost = "Host: 127.0.0.1\r\n";

}  // namespace

// What a client sends, and whether the server answers with the status given
// and closes (or keeps the connection for the next request).
TEST(WebFront, AbusiveAndMalformedRequestsAreAnsweredAndClosed)
{
    Front front({}, "hosts = weather.example, Station.Lan.  other\n");
    struct Case {
        const char *what;
        QByteArray request;
        int status;
        bool closed;
        bool shut = false;  // the client shuts its side after the request
    };
    const QByteArray get = "GET /api/current HTTP/1.1\r\n";
    const Case cases[] = {
        {"a request line past the limit", "GET /" + QByteArray(300 * 1024, 'a') + " HTTP/1.1\r\n" + kHost + "\r\n", 431, true},
        {"a header past the limit", get + kHost + "X-Big: " + QByteArray(300 * 1024, 'b') + "\r\n\r\n", 431, true},
        {"too many headers", get + kHost + QByteArray("X: y\r\n").repeated(200) + "\r\n", 431, true},
        {"a body past the limit", get + kHost + "Content-Length: 300000000\r\n\r\n" + QByteArray(64 * 1024, 'c'), 413, true},
        {"a chunked body", get + kHost + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 501, true},
        {"HTTP/2 in plain text", "GET / HTTP/2.0\r\n" + kHost + "\r\n", 505, true},
        // Malformed.
        {"no request line", "GARBAGE\r\n\r\n", 400, true},
        {"HTTP/0.9", "GET /\r\n\r\n", 400, true},
        {"an absolute target", "GET http://127.0.0.1/ HTTP/1.1\r\n" + kHost + "\r\n", 400, true},
        {"a control character in the target", "GET /\x01 HTTP/1.1\r\n" + kHost + "\r\n", 400, true},
        {"a bad version", "GET / HTTP/1.x\r\n" + kHost + "\r\n", 400, true},
        {"binary", QByteArray("\x00\xff\x16\x03\x01\r\n\r\n", 9), 400, true},
        {"HTTP/1.1 without Host", get + "\r\n", 400, true},
        {"two Host headers", get + kHost + "Host: 127.0.0.1\r\n\r\n", 400, true},
        {"a Host that is not a name", get + "Host: 127.0.0.1/x\r\n\r\n", 400, true},
        {"a space before the colon", get + "Host : 127.0.0.1\r\n\r\n", 400, true},
        {"a folded header", get + kHost + "X-A: b\r\n c\r\n\r\n", 400, true},
        {"a bare CR", get + "Host: 127.0.0.1\rX: y\r\n\r\n", 400, true},
        {"two lengths", get + kHost + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", 400, true},
        {"a length and chunks", get + kHost + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\nabc", 400, true},
        // Another site's name (DNS rebinding) and names that fit.
        {"another site's name", get + "Host: evil.example\r\n\r\n", 421, true},
        {"a LAN address on loopback", get + "Host: 192.168.1.20:8377\r\n\r\n", 421, true},
        {"localhost as a prefix", get + "Host: localhost.evil.example\r\n\r\n", 421, true},
        {"Connection: close", get + kHost + "Connection: keep-alive, Close\r\n\r\n", 200, true},
        {"HTTP/1.0 without Host", "GET /api/current HTTP/1.0\r\n\r\n", 200, true},
        {"HTTP/1.0 keep-alive", "GET /api/current HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", 200, true},
        {"two requests, then the client's side shut", get + kHost + "\r\n" + get + kHost + "\r\n", 200, true, true},
        {"localhost with a port", get + "Host: LOCALHOST.:1\r\n\r\n", 200, false},
        {"IPv6 loopback", get + "Host: [::1]:8377\r\n\r\n", 200, false},
        {"a configured name", get + "Host: station.lan\r\n\r\n", 200, false},
        {"a small body, dropped", "POST /api/current HTTP/1.1\r\n" + kHost + "Content-Length: 5\r\n\r\nhello", 405, false},
        {"LF alone and blank lines first", "\r\n\nGET /api/current HTTP/1.1\nHost: 127.0.0.1\n\n", 200, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A connection that stays open must answer a second request.
        const QByteArray request = c.closed ? c.request : c.request + get + kHost + "Connection: close\r\n\r\n";
        const RawExchange r = exchange(front.port(), request, c.shut);
        EXPECT_TRUE(r.closedByServer);
        ASSERT_FALSE(r.statuses().isEmpty()) << "no answer at all";
        EXPECT_EQ(r.statuses().first(), c.status);
        EXPECT_EQ(r.statuses().size(), c.closed && !c.shut ? 1 : 2) << "closed after the answer, or kept for the next";
        EXPECT_EQ(r.says("Connection: close"), !c.shut) << "the last answer says the connection ends";
        EXPECT_TRUE(r.received.contains("{\"error\":") || c.status == 200) << r.received.left(300).toStdString();
    }
    EXPECT_EQ(front.server->stats().requests, 8 + 7) << "only requests that got through reach the routes";

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[web]\nhosts=good.lan\nhosts=good.lan, evil.example/x\n");
    ini.close();
    const PublishSettings refused = loadPublishSettings(ini.fileName());
    EXPECT_EQ(refused.web.hosts, QStringList{QStringLiteral("good.lan")}) << "a line with a bad name is skipped whole";
    EXPECT_EQ(refused.problems.size(), 1);
}

// Connections that say nothing, or a byte now and then, are closed; those
// past the cap are refused while the earlier ones are still served.
TEST(WebFront, IdleSlowAndSurplusConnectionsAreClosed)
{
    FrontLimits limits;
    limits.idleMs = 200;
    limits.requestMs = 200;
    {
        Front front(limits);
        const RawExchange idle = exchange(front.port(), {});
        EXPECT_TRUE(idle.closedByServer);
        EXPECT_TRUE(idle.received.isEmpty()) << "an idle connection is closed without a word";
        const RawExchange slow = exchange(front.port(), "GET /api/current HTTP/1.1\r\nHo");
        EXPECT_TRUE(slow.closedByServer);
        EXPECT_EQ(slow.statuses(), QList<int>{408});
        const RawExchange blank = exchange(front.port(), QByteArray("\r\n").repeated(1000));
        EXPECT_TRUE(blank.closedByServer) << "blank lines keep no connection";
        EXPECT_EQ(front.server->stats().requests, 0);
    }

    limits = {};
    limits.mostConnections = 4;
    Front front(limits);
    std::vector<std::unique_ptr<QTcpSocket>> held;
    QEventLoop loop;
    for (int i = 0; i < limits.mostConnections; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        QObject::connect(held.back().get(), &QTcpSocket::connected, &loop, &QEventLoop::quit);
        held.back()->connectToHost(QHostAddress::LocalHost, front.port());
        loop.exec();
    }
    const RawExchange surplus = exchange(front.port(), "GET /api/current HTTP/1.1\r\n" + kHost + "\r\n");
    EXPECT_TRUE(surplus.closedByServer);
    EXPECT_EQ(surplus.statuses(), QList<int>{503});
    EXPECT_EQ(front.server->stats().requests, 0);

    QTcpSocket &first = *held.front();
    QByteArray answer;
    QObject::connect(&first, &QTcpSocket::readyRead, &loop, [&] {
        answer += first.readAll();
        if (answerStatuses(answer).size() == 1)
            loop.quit();
    });
    first.write("GET /api/current HTTP/1.1\r\n" + kHost + "\r\n");
    loop.exec();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK\r\n")) << "a connection within the cap is still served";
}

// chart.js is read once at start, only from a regular file of bounded
// size; a FIFO or a device never blocks the thread.
TEST(WebFront, TheChartScriptIsReadOnceAndOnlyFromABoundedRegularFile)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.js"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString large = dir.filePath(QStringLiteral("large.js"));
    QFile big(large);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(kMostChartScriptBytes + 1));
    big.close();
    const QString script = dir.filePath(QStringLiteral("chart.js"));
    QFile good(script);
    ASSERT_TRUE(good.open(QIODevice::WriteOnly) && good.write("window.Chart = 1;") > 0);
    good.close();

    struct Case {
        QString path;
        int status;
    };
    const Case cases[] = {{fifo, 404}, {QStringLiteral("/dev/zero"), 404}, {large, 404},
                          {dir.path(), 404},      {dir.filePath(QStringLiteral("missing.js")), 404},
                          {script, 200}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        WebSettings settings;
        settings.port = 0;
        settings.chartScript = c.path;
        WebServer server(settings, nullptr);
        QString why;
        ASSERT_TRUE(server.start(&why));
        if (c.status == 200 && good.open(QIODevice::WriteOnly))
            good.write("changed after start");  // what was read at start is served
        good.close();
        const RawExchange r = exchange(server.port(), "GET /chart.js HTTP/1.0\r\n\r\n");
        EXPECT_EQ(r.statuses(), QList<int>{c.status});
        if (c.status == 200)
            EXPECT_TRUE(r.received.endsWith("\r\n\r\nwindow.Chart = 1;"));
        else
            EXPECT_TRUE(r.received.contains("charting library")) << r.received.toStdString();
    }
}

// Host names against the address a connection came to, for a server bound
// to a LAN address or to all addresses (loopback is tried over TCP above).
TEST(WebFront, HostNamesFitTheAddressTheConnectionCameTo)
{
    const QHostAddress lan(QStringLiteral("192.168.1.20"));
    const QHostAddress loopback(QHostAddress::LocalHost);
    const QStringList names{QStringLiteral("station.lan")};
    struct Case {
        QByteArray header;
        QHostAddress local;
        bool fits;
    };
    const Case cases[] = {
        {"192.168.1.20:8377", lan, true}, {"192.168.1.21", lan, false},      {"station.lan", lan, true},
        {"Station.LAN.:80", lan, true},   {"localhost", lan, false},         {"127.0.0.1", lan, false},
        {"127.0.0.2", loopback, true},    {"[::ffff:192.168.1.20]", lan, true}, {"attacker.example", lan, false},
        {"192.168.1.20.nip.io", lan, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(hostFits(hostName(c.header), c.local, names), c.fits) << c.header.constData();
}

// A page that stops reading its event stream is dropped once its unsent
// events pass the limit, instead of growing the program; a page that reads
// stays.
TEST(WebFront, APageThatStopsReadingItsEventsIsDropped)
{
    FrontLimits limits;
    limits.mostStreamBacklog = 64 * 1024;
    Front front(limits);
    QTcpSocket stalled;
    stalled.setReadBufferSize(1024);  // reads no further: the kernel's buffers fill
    QTcpSocket reading;
    QEventLoop loop;
    for (QTcpSocket *page : {&stalled, &reading}) {
        QObject::connect(page, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
        page->connectToHost(QHostAddress::LocalHost, front.port());
        page->write("GET /api/events HTTP/1.1\r\n" + kHost + "\r\n");
        loop.exec();  // its first event
    }
    QObject::connect(&reading, &QTcpSocket::readyRead, [&] { reading.readAll(); });
    ASSERT_EQ(front.server->stats().eventStreams, 2);
    for (int i = 0; i < 100'000 && front.server->stats().eventStreams == 2; ++i) {
        front.server->update({});
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(front.server->stats().eventStreams, 1);
    EXPECT_EQ(reading.state(), QAbstractSocket::ConnectedState);
}
