// One HTTP/1.1 request read strictly as its bytes arrive, within fixed
// limits, so that no client can make the program keep more than a few
// kilobytes for it or read a request two ways.
//
// Accepted: a request line `METHOD SP /target SP HTTP/1.x` (origin form,
// visible ASCII only), header lines `name: value` (no folded lines, no space
// before the colon, no control characters), ends of line CRLF or LF, blank
// lines before a request (a keep-alive client's stray CRLF). A body is only
// ever counted and dropped: no address takes one. Refused, with the status
// the connection is answered with before it is closed:
//
//   400  anything malformed; HTTP/1.1 without exactly one Host; a
//        Content-Length that is not one plain number, or one beside a
//        Transfer-Encoding
//   413  a Content-Length over the body limit (the body is never read)
//   431  a request line and headers over the head limit, or too many headers
//   501  a Transfer-Encoding (a body of unknown length)
//   505  a major version other than 1
#pragma once

#include <QByteArray>
#include <QString>

namespace nimbrel::web {

struct HttpLimits {
    qsizetype mostHeadBytes = 16 * 1024;  // request line and headers together
    int mostHeaders = 100;
    qint64 mostBodyBytes = 16 * 1024;
};

struct HttpRequest {
    QByteArray method;        // as sent: methods are case-sensitive
    QByteArray target;        // "/path?query", still percent-encoded
    int minorVersion = 1;     // 0 for HTTP/1.0
    bool hasHost = false;     // HTTP/1.0 may leave it out
    QByteArray host;          // the Host header's name, lower case, without port or final dot
    bool keepAlive = true;    // false for HTTP/1.0 and for Connection: close
    qint64 bodyBytes = 0;
};

class HttpRequestParser {
public:
    enum class State { Head, Body, Complete, Failed };

    explicit HttpRequestParser(HttpLimits limits = {}) : limits_(limits) {}

    // Takes bytes of the connection and returns how many belong to the
    // current request; it stops at its end (Complete) or at the first fault
    // (Failed). The bytes it did not take start the next request.
    qsizetype feed(const char *data, qsizetype size);
    // Ready for the next request on the same connection.
    void reset();

    State state() const { return state_; }
    // Whether a byte of a request (not a blank line between two) has come.
    bool started() const { return !head_.isEmpty() || state_ != State::Head; }
    const HttpRequest &request() const { return request_; }
    // For Failed: the status to answer with and one sentence for the user.
    int errorStatus() const { return errorStatus_; }
    const QString &errorSentence() const { return errorSentence_; }

private:
    void parseHead();
    void fail(int status, const QString &sentence);

    HttpLimits limits_;
    State state_ = State::Head;
    QByteArray head_;
    qint64 bodyLeft_ = 0;
    HttpRequest request_;
    int errorStatus_ = 0;
    QString errorSentence_;
};

// The name of a Host header value ("Name.example:8377", "[::1]:80"): lower
// case, without the port and a final dot. Empty when the value is not a
// host name or address with an optional port.
QByteArray hostName(const QByteArray &value);

}  // namespace nimbrel::web
