// The web server's connections: a strict HTTP/1.1 front on a QTcpServer of
// the program's event loop. It reads each request within the limits of
// HttpRequestParser.h, refuses Host names that do not fit the address the
// server listens on (DNS rebinding), times out idle and slow connections,
// caps their number, and hands each good request to one handler, whose
// reply it writes. Nothing here waits: every step runs on a socket's or a
// timer's event, and a connection is closed, never waited for.
//
// A connection is closed after its answer when the client asked for it
// (Connection: close), spoke HTTP/1.0, sent a malformed or refused request,
// or let a timeout pass; otherwise it stays open for the next request.
// Requests sent back to back are answered in order, the next one read only
// once the previous answer has left.
#pragma once

#include "HttpReply.h"
#include "HttpRequestParser.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <functional>

class QTcpServer;

namespace nimbrel::web {

class HttpConnection;

struct FrontLimits {
    HttpLimits request;
    int mostConnections = 256;  // past it a new connection gets 503 and is closed
    int idleMs = 15'000;        // with no request under way (after accept and between requests)
    int requestMs = 10'000;     // from a request's first byte to its last
    int writeMs = 30'000;       // an answer whose bytes stop moving this long is dropped
    // After the last answer: how long, and how many bytes, a client still
    // sending is listened to before the connection is reset.
    int lingerMs = 2'000;
    qint64 mostDrainBytes = 1 << 20;
    // Unsent bytes an event stream may pile up (a page that stopped
    // reading) before it is closed.
    qint64 mostStreamBacklog = 1 << 20;
};

// Whether a request's Host name fits: a loopback name or address when the
// connection came over loopback, the address the connection came to, or one
// of the names the user configured. `local` is the connection's own address.
bool hostFits(const QByteArray &host, const QHostAddress &local, const QStringList &names);

class HttpFront : public QObject {
    Q_OBJECT
public:
    // An event stream reply (HttpReply::eventStream) keeps its connection
    // open; its body is the stream's first bytes.
    using Handler = std::function<HttpReply(const HttpRequest &)>;

    explicit HttpFront(Handler handler, QObject *parent = nullptr);
    ~HttpFront() override;

    // Before listen(); a connection keeps the limits it was opened with.
    void setLimits(const FrontLimits &limits) { limits_ = limits; }
    const FrontLimits &limits() const { return limits_; }
    void setHostNames(const QStringList &names);

    // False with the server's error in `error` and `code`.
    bool listen(const QHostAddress &address, quint16 port, QString *error, int *code);
    quint16 port() const;

    int connections() const { return static_cast<int>(connections_.size()); }
    int eventStreams() const;
    // Sends bytes to every open event stream.
    void broadcast(const QByteArray &bytes);

private:
    friend class HttpConnection;
    void accept();
    void forget(HttpConnection *connection);
    HttpReply answer(const HttpRequest &request, const QHostAddress &local);

    Handler handler_;
    FrontLimits limits_;
    QStringList hostNames_;  // lower case, without a final dot
    QTcpServer *server_ = nullptr;
    std::vector<HttpConnection *> connections_;
    int refusing_ = 0;  // connections past the cap being told so
};

}  // namespace nimbrel::web
