#include "HttpFront.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <sys/socket.h>

namespace nimbrel::web {

namespace {

// Bytes taken from a socket at a time; Qt keeps no more than this unread.
constexpr qint64 kReadChunk = 64 * 1024;
// An answer this large still unsent holds back the next request.
constexpr qint64 kMostUnsentBeforeReading = 256 * 1024;

QByteArray refusal(int status, const QString &sentence)
{
    return httpMessage(HttpReply::error(status, sentence), false, true);
}

}  // namespace

bool hostFits(const QByteArray &host, const QHostAddress &local, const QStringList &names)
{
    if (host.isEmpty())
        return false;
    const QString name = QString::fromLatin1(host);
    if (names.contains(name))
        return true;
    const bool literal = host.startsWith('[');
    const QHostAddress address(literal ? name.mid(1, name.size() - 2) : name);
    // An address is never the result of a name lookup that another site
    // controls; a name other than the configured ones may be.
    if (!address.isNull())
        return address.isEqual(local, QHostAddress::ConvertV4MappedToIPv4) ||
               (address.isLoopback() && local.isLoopback());
    return local.isLoopback() && name == QLatin1String("localhost");
}

// One client's connection: its parser, its one timer and what it is doing.
class HttpConnection : public QObject {
public:
    // `refusal`, when given, is all the connection is told before it closes.
    HttpConnection(HttpFront &front, QTcpSocket *socket, const QByteArray &refusal = {})
        : QObject(&front), front_(front), limits_(front.limits()), socket_(socket), parser_(limits_.request)
    {
        socket_->setParent(this);
        socket_->setReadBufferSize(kReadChunk);
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &HttpConnection::timedOut);
        connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::pump);
        connect(socket_, &QTcpSocket::bytesWritten, this, &HttpConnection::written);
        connect(socket_, &QTcpSocket::disconnected, this, &HttpConnection::gone);
        connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            // A client that only shut its side still gets the answers under
            // way; disconnected() follows once they are out.
            if (error != QAbstractSocket::RemoteHostClosedError && socket_->state() != QAbstractSocket::ConnectedState)
                gone();
        });
        if (!refusal.isEmpty()) {
            socket_->write(refusal);
            close(false);
            return;
        }
        enter(Mode::Idle);
        pump();
    }

    bool isStream() const { return mode_ == Mode::Stream; }

    void send(const QByteArray &bytes)
    {
        if (mode_ != Mode::Stream)
            return;
        if (socket_->bytesToWrite() > limits_.mostStreamBacklog) {
            // The page stopped reading; its browser reconnects if it comes back.
            close(true);
            return;
        }
        socket_->write(bytes);
    }

private:
    // Closing: the last answer is leaving. Draining: it has left and our
    // side is shut; what the client still sends is read and dropped until
    // it closes, so that the answer is not lost to a reset.
    enum class Mode { Idle, Request, Writing, Stream, Closing, Draining, Gone };

    void enter(Mode mode)
    {
        mode_ = mode;
        switch (mode) {
        case Mode::Idle: timer_.start(limits_.idleMs); break;
        case Mode::Request: timer_.start(limits_.requestMs); break;
        case Mode::Writing:
        case Mode::Closing: timer_.start(limits_.writeMs); break;
        case Mode::Draining: timer_.start(limits_.lingerMs); break;
        case Mode::Stream:
        case Mode::Gone: timer_.stop(); break;
        }
    }

    // Reads and answers as long as there are whole requests and room to
    // write their answers.
    void pump()
    {
        // A handler that waits pumps the event queue; this connection's
        // next request waits for the answer under way.
        if (busy_)
            return;
        while (mode_ == Mode::Idle || mode_ == Mode::Request || mode_ == Mode::Writing) {
            if (socket_->bytesToWrite() > kMostUnsentBeforeReading)
                return;  // written() carries on
            if (pending_.isEmpty())
                pending_ = socket_->read(kReadChunk);
            if (pending_.isEmpty())
                return;
            const qsizetype used = parser_.feed(pending_.constData(), pending_.size());
            pending_.remove(0, used);
            if (parser_.started() && mode_ != Mode::Request && mode_ != Mode::Writing)
                enter(Mode::Request);
            switch (parser_.state()) {
            case HttpRequestParser::State::Head:
            case HttpRequestParser::State::Body: continue;
            case HttpRequestParser::State::Failed:
                socket_->write(refusal(parser_.errorStatus(), parser_.errorSentence()));
                close(false);
                return;
            case HttpRequestParser::State::Complete:
                busy_ = true;
                respond();
                busy_ = false;
                break;
            }
        }
        // A page says nothing more on its stream, and a closing client is
        // not listened to: what they send is dropped.
        if (mode_ == Mode::Stream || mode_ == Mode::Closing || mode_ == Mode::Draining) {
            drained_ += socket_->skip(kReadChunk);
            if (mode_ != Mode::Stream && drained_ > limits_.mostDrainBytes)
                close(true);
        }
    }

    void respond()
    {
        const HttpRequest request = parser_.request();
        parser_.reset();
        // The front checks the Host name, then the handler answers.
        const HttpReply reply = front_.answer(request, socket_->localAddress());
        if (mode_ == Mode::Gone)
            return;  // the client left while the handler waited
        const bool head = request.method == "HEAD";
        if (reply.eventStream && !head) {
            socket_->write(httpMessage(reply, false, false));
            enter(Mode::Stream);
            return;
        }
        const bool keep = request.keepAlive && reply.status != 421;
        socket_->write(httpMessage(reply, head, !keep));
        socket_->flush();
        if (!keep) {
            close(false);
            return;
        }
        enter(socket_->bytesToWrite() > 0 ? Mode::Writing : Mode::Idle);
    }

    void written()
    {
        if (mode_ == Mode::Closing) {
            timer_.start(limits_.writeMs);  // still moving
            shutWhenSent();
            return;
        }
        if (mode_ != Mode::Writing)
            return;
        if (socket_->bytesToWrite() > 0)
            timer_.start(limits_.writeMs);
        else
            enter(parser_.started() ? Mode::Request : Mode::Idle);
        pump();
    }

    void timedOut()
    {
        switch (mode_) {
        case Mode::Idle: close(true); break;
        case Mode::Request:
            socket_->write(refusal(408, QStringLiteral("The request took too long to arrive.")));
            close(false);
            break;
        default: close(true); break;  // an answer nobody reads, or a client that never closes
        }
    }

    // Closes now (`drop`) or once the answer has left.
    void close(bool drop)
    {
        if (mode_ == Mode::Gone)
            return;
        pending_.clear();
        if (drop) {
            socket_->abort();
            gone();
            return;
        }
        enter(Mode::Closing);
        socket_->flush();
        shutWhenSent();
    }

    void shutWhenSent()
    {
        if (mode_ != Mode::Closing || socket_->bytesToWrite() > 0)
            return;
        if (socket_->state() != QAbstractSocket::ConnectedState || ::shutdown(int(socket_->socketDescriptor()), SHUT_WR) != 0) {
            close(true);
            return;
        }
        enter(Mode::Draining);
        pump();
    }

    void gone()
    {
        if (mode_ == Mode::Gone)
            return;
        enter(Mode::Gone);
        front_.forget(this);
        deleteLater();
    }

    HttpFront &front_;
    const FrontLimits limits_;
    QTcpSocket *socket_;
    HttpRequestParser parser_;
    QByteArray pending_;  // read but not yet taken by the parser
    qint64 drained_ = 0;
    bool busy_ = false;
    QTimer timer_;
    Mode mode_ = Mode::Idle;
};

HttpFront::HttpFront(Handler handler, QObject *parent) : QObject(parent), handler_(std::move(handler)) {}

HttpFront::~HttpFront()
{
    // The connections are children; they go without telling.
    for (HttpConnection *c : connections_)
        c->disconnect();
    connections_.clear();
}

void HttpFront::setHostNames(const QStringList &names)
{
    hostNames_.clear();
    for (const QString &name : names) {
        QString n = name.trimmed().toLower();
        if (n.endsWith(QLatin1Char('.')))
            n.chop(1);
        if (!n.isEmpty())
            hostNames_ << n;
    }
}

bool HttpFront::listen(const QHostAddress &address, quint16 port, QString *error, int *code)
{
    auto *server = new QTcpServer(this);
    if (!server->listen(address, port)) {
        if (error)
            *error = server->errorString();
        if (code)
            *code = server->serverError();
        delete server;
        return false;
    }
    server_ = server;
    connect(server_, &QTcpServer::newConnection, this, &HttpFront::accept);
    return true;
}

quint16 HttpFront::port() const
{
    return server_ ? server_->serverPort() : 0;
}

int HttpFront::eventStreams() const
{
    return static_cast<int>(
        std::count_if(connections_.begin(), connections_.end(), [](HttpConnection *c) { return c->isStream(); }));
}

void HttpFront::broadcast(const QByteArray &bytes)
{
    // send() may close a connection, which leaves the list.
    const std::vector<HttpConnection *> all = connections_;
    for (HttpConnection *c : all)
        c->send(bytes);
}

void HttpFront::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        if (connections() < limits_.mostConnections) {
            connections_.push_back(new HttpConnection(*this, socket));
        } else if (refusing_ < limits_.mostConnections) {
            // Told in a few hundred bytes, then closed; not counted as open.
            auto *c = new HttpConnection(
                *this, socket, refusal(503, QStringLiteral("The server has too many connections open; try again later.")));
            ++refusing_;
            connect(c, &QObject::destroyed, this, [this] { --refusing_; });
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }
}

void HttpFront::forget(HttpConnection *connection)
{
    std::erase(connections_, connection);
}

HttpReply HttpFront::answer(const HttpRequest &request, const QHostAddress &local)
{
    // HTTP/1.0 without a Host header cannot come from a browser, the only
    // thing a rebinding site can use.
    if (request.hasHost && !hostFits(request.host, local, hostNames_))
        return HttpReply::error(421, QStringLiteral("This server does not answer for the name \"%1\"; add it to "
                                                    "hosts in [web] of nimbrel.ini to let it in.")
                                         .arg(QString::fromLatin1(request.host)));
    return handler_(request);
}

}  // namespace nimbrel::web
