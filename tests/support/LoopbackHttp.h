// A plain HTTP/1.1 client over one QTcpSocket per request, for tests and
// benchmarks of the web interface on loopback. It writes exactly the request
// line it is given (so a test can send any method or path, even ones a
// browser would clean up) and reads the answer until its Content-Length is
// in, an event stream's first `events` events are in, or the server closes.
#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QHostAddress>
#include <QMap>
#include <QTcpSocket>
#include <functional>
#include <memory>

namespace nimbrel::testing {

struct HttpAnswer {
    bool complete = false;
    int status = 0;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

// True once `data` holds a whole answer; for HEAD the body is never sent.
inline bool parseAnswer(const QByteArray &data, bool head, int events, HttpAnswer &out)
{
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = data.left(end).split('\n');
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    out.status = statusLine.value(1).toInt();
    out.headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            out.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    out.body = data.mid(end + 4);
    if (head)
        return true;
    if (out.headers.value("content-type").startsWith("text/event-stream"))
        return out.body.count("\n\n") >= events;
    const qsizetype length = out.headers.value("content-length", "-1").toLongLong();
    return length >= 0 && out.body.size() >= length;
}

// Sends one request and calls `done` with the answer (complete false when
// the connection ended first). The object deletes itself afterwards.
class HttpExchange : public QObject {
public:
    HttpExchange(quint16 port, const QByteArray &method, const QByteArray &target,
                 std::function<void(const HttpAnswer &)> done, int events = 1)
        : head_(method == "HEAD"), events_(events), done_(std::move(done))
    {
        connect(&socket_, &QTcpSocket::connected, this, [this, method, target, port] {
            socket_.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                          "\r\nConnection: close\r\n\r\n");
        });
        connect(&socket_, &QTcpSocket::readyRead, this, [this] {
            data_ += socket_.readAll();
            if (parseAnswer(data_, head_, events_, answer_)) {
                answer_.complete = true;
                finish();
            }
        });
        connect(&socket_, &QTcpSocket::disconnected, this, &HttpExchange::finish);
        connect(&socket_, &QTcpSocket::errorOccurred, this, &HttpExchange::finish);
        socket_.connectToHost(QHostAddress::LocalHost, port);
    }

    // The socket stays open: an event stream's later events come through it.
    QTcpSocket &socket() { return socket_; }
    QByteArray &data() { return data_; }
    void keepOpen() { keep_ = true; }

private:
    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        if (!answer_.complete)
            parseAnswer(data_, head_, events_, answer_);
        done_(answer_);
        if (!keep_) {
            socket_.abort();
            deleteLater();
        }
    }

    QTcpSocket socket_;
    QByteArray data_;
    bool head_;
    int events_;
    bool finished_ = false;
    bool keep_ = false;
    HttpAnswer answer_;
    std::function<void(const HttpAnswer &)> done_;
};

// One request, waiting for its answer in a local event loop (the server
// answers on the same thread meanwhile).
inline HttpAnswer fetch(quint16 port, const QByteArray &method, const QByteArray &target)
{
    HttpAnswer answer;
    QEventLoop loop;
    new HttpExchange(port, method, target, [&](const HttpAnswer &a) {
        answer = a;
        loop.quit();
    });
    loop.exec();
    return answer;
}

// `total` requests with at most `parallel` in flight; `target(i)` names the
// i-th. Returns how many were answered with status 200.
inline int loadRun(quint16 port, int total, int parallel, const std::function<QByteArray(int)> &target)
{
    int started = 0;
    int finished = 0;
    int ok = 0;
    QEventLoop loop;
    std::function<void()> next = [&] {
        const int i = started++;
        new HttpExchange(port, "GET", target(i), [&](const HttpAnswer &a) {
            ++finished;
            ok += a.complete && a.status == 200 ? 1 : 0;
            if (started < total)
                next();
            else if (finished == total)
                loop.quit();
        });
    };
    for (int i = 0; i < parallel && started < total; ++i)
        next();
    loop.exec();
    return ok;
}

}  // namespace nimbrel::testing
