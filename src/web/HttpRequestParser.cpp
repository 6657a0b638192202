#include "HttpRequestParser.h"

#include <QList>
#include <algorithm>
#include <cstring>
#include <string_view>

namespace nimbrel::web {

namespace {

// The characters of a method or header name (RFC 9110 token).
bool isTokenChar(char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(const QByteArray &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), isTokenChar);
}

// A header value: visible characters, spaces, tabs and bytes past ASCII.
bool isFieldValue(const QByteArray &s)
{
    return std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == '\t' || (u >= 0x20 && u != 0x7F);
    });
}

bool isDigits(const QByteArray &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QByteArray trimmedOws(const QByteArray &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && (s[from] == ' ' || s[from] == '\t'))
        ++from;
    while (to > from && (s[to - 1] == ' ' || s[to - 1] == '\t'))
        --to;
    return s.mid(from, to - from);
}

bool hasToken(const QByteArray &list, const char *token)
{
    for (const QByteArray &item : list.split(','))
        if (trimmedOws(item).toLower() == token)
            return true;
    return false;
}

}  // namespace

QByteArray hostName(const QByteArray &value)
{
    QByteArray name = value;
    QByteArray port;
    if (name.startsWith('[')) {
        const qsizetype close = name.indexOf(']');
        if (close < 0)
            return {};
        port = name.mid(close + 1);
        name = name.left(close + 1);
        const QByteArray inside = name.mid(1, name.size() - 2);
        const bool address = !inside.isEmpty() && std::all_of(inside.begin(), inside.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
        });
        if (!address)
            return {};
    } else {
        const qsizetype colon = name.indexOf(':');
        if (colon >= 0) {
            port = name.mid(colon);
            name = name.left(colon);
        }
        if (name.endsWith('.'))
            name.chop(1);
        const bool plain = !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                   c == '.' || c == '_';
        });
        if (!plain)
            return {};
    }
    if (!port.isEmpty() && (port[0] != ':' || port.size() > 6 || (port.size() > 1 && !isDigits(port.mid(1)))))
        return {};
    return name.toLower();
}

void HttpRequestParser::reset()
{
    state_ = State::Head;
    head_.clear();
    bodyLeft_ = 0;
    request_ = {};
    errorStatus_ = 0;
    errorSentence_.clear();
}

void HttpRequestParser::fail(int status, const QString &sentence)
{
    state_ = State::Failed;
    errorStatus_ = status;
    errorSentence_ = sentence;
    head_.clear();
}

qsizetype HttpRequestParser::feed(const char *data, qsizetype size)
{
    qsizetype used = 0;
    while (used < size && state_ == State::Head) {
        if (head_.isEmpty() && (data[used] == '\r' || data[used] == '\n')) {
            ++used;  // blank lines before a request
            continue;
        }
        // Up to the next end of line, and never past the limit.
        const char *from = data + used;
        const qsizetype span = std::min<qsizetype>(size - used, limits_.mostHeadBytes + 1 - head_.size());
        const auto *end = static_cast<const char *>(std::memchr(from, '\n', static_cast<std::size_t>(span)));
        const qsizetype take = end ? end - from + 1 : span;
        head_.append(from, take);
        used += take;
        if (end && (head_.endsWith("\n\n") || head_.endsWith("\n\r\n"))) {
            parseHead();
            break;
        }
        if (head_.size() > limits_.mostHeadBytes) {
            fail(431, QStringLiteral("The request's address or headers are too long."));
            return used;
        }
    }
    if (state_ == State::Body) {
        const qint64 take = std::min<qint64>(bodyLeft_, size - used);
        used += take;
        bodyLeft_ -= take;
        if (bodyLeft_ == 0)
            state_ = State::Complete;
    }
    return used;
}

void HttpRequestParser::parseHead()
{
    const QString malformed = QStringLiteral("The request is malformed.");
    QList<QByteArray> lines = head_.split('\n');
    head_.clear();
    // The two ends of line that close the head.
    lines.removeLast();
    lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\r'))
            return fail(400, malformed);
    }
    if (lines.size() - 1 > limits_.mostHeaders)
        return fail(431, QStringLiteral("The request has too many headers."));

    const QList<QByteArray> parts = lines.value(0).split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/'))
        return fail(400, malformed);
    const QByteArray &target = parts[1];
    if (!std::all_of(target.begin(), target.end(), [](char c) { return c > 0x20 && c < 0x7F; }))
        return fail(400, malformed);
    const QByteArray &version = parts[2];
    if (version.size() != 8 || !version.startsWith("HTTP/") || version[6] != '.' || !isDigits(version.mid(5, 1)) ||
        !isDigits(version.mid(7, 1)))
        return fail(400, malformed);
    if (version[5] != '1')
        return fail(505, QStringLiteral("Only HTTP/1.0 and HTTP/1.1 are answered here."));
    request_.method = parts[0];
    request_.target = target;
    request_.minorVersion = version[7] - '0';

    int hosts = 0;
    QByteArray contentLength;
    bool chunked = false;
    bool close = request_.minorVersion == 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return fail(400, malformed);
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = trimmedOws(line.mid(colon + 1));
        if (!isToken(name) || !isFieldValue(value))
            return fail(400, malformed);  // also a folded line and a space before the colon
        if (name == "host") {
            ++hosts;
            request_.host = hostName(value);
            if (request_.host.isEmpty())
                return fail(400, malformed);
        } else if (name == "content-length") {
            // Two different lengths would let a proxy and this server cut the
            // stream in different places.
            if (!isDigits(value) || value.size() > 15 || (!contentLength.isEmpty() && contentLength != value))
                return fail(400, malformed);
            contentLength = value;
        } else if (name == "transfer-encoding") {
            chunked = true;
        } else if (name == "connection") {
            close = close || hasToken(value, "close");
        }
    }
    if (hosts > 1 || (hosts == 0 && request_.minorVersion > 0))
        return fail(400, QStringLiteral("The request must name its host once."));
    if (chunked && !contentLength.isEmpty())
        return fail(400, malformed);
    if (chunked)
        return fail(501, QStringLiteral("A request body of unknown length is not accepted here."));
    request_.hasHost = hosts == 1;
    request_.keepAlive = !close;
    request_.bodyBytes = contentLength.isEmpty() ? 0 : contentLength.toLongLong();
    if (request_.bodyBytes > limits_.mostBodyBytes)
        return fail(413, QStringLiteral("The request's body is too large."));
    bodyLeft_ = request_.bodyBytes;
    state_ = bodyLeft_ > 0 ? State::Body : State::Complete;
}

}  // namespace nimbrel::web
