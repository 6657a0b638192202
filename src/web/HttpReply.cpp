#include "HttpReply.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace nimbrel::web {

namespace {

const char *reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 413: return "Content Too Large";
    case 421: return "Misdirected Request";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Status";
    }
}

}  // namespace

HttpReply HttpReply::error(int status, const QString &sentence)
{
    return json(QJsonDocument(QJsonObject{{QStringLiteral("error"), sentence}}).toJson(QJsonDocument::Compact), status);
}

HttpReply HttpReply::json(const QByteArray &document, int status)
{
    HttpReply r;
    r.status = status;
    r.contentType = "application/json; charset=utf-8";
    r.body = document;
    return r;
}

QByteArray httpMessage(const HttpReply &reply, bool head, bool close)
{
    QByteArray m;
    m.reserve(512 + (head ? 0 : reply.body.size()));
    m += "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    m += "Content-Type: " + reply.contentType + "\r\n";
    m += "Cache-Control: " + reply.cacheControl + "\r\n";
    m += QByteArray("Content-Security-Policy: ") + kContentSecurityPolicy + "\r\n";
    m += "X-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\nX-Frame-Options: DENY\r\n";
    if (!reply.allow.isEmpty())
        m += "Allow: " + reply.allow + "\r\n";
    // A stream's body ends when the connection does; a HEAD answer tells
    // the length of the body it leaves out.
    if (!reply.eventStream || head)
        m += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    if (close)
        m += "Connection: close\r\n";
    m += "\r\n";
    if (!head)
        m += reply.body;
    return m;
}

}  // namespace nimbrel::web
