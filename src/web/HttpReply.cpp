#include "HttpReply.h"

#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>

namespace nimbrel::web {

namespace {

void commonHeaders(QHttpServerResponder &r, const QByteArray &contentType, const QByteArray &cacheControl)
{
    r.writeHeader("Content-Type", contentType);
    r.writeHeader("Cache-Control", cacheControl);
    r.writeHeader("Content-Security-Policy", kContentSecurityPolicy);
    r.writeHeader("X-Content-Type-Options", "nosniff");
    r.writeHeader("Referrer-Policy", "no-referrer");
    r.writeHeader("X-Frame-Options", "DENY");
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

void sendReply(QHttpServerResponder &responder, const HttpReply &reply, bool head)
{
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    commonHeaders(responder, reply.contentType, reply.cacheControl);
    if (!reply.allow.isEmpty())
        responder.writeHeader("Allow", reply.allow);
    // A HEAD answer tells the length of the body it leaves out.
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeBody(head ? QByteArray() : reply.body);
}

void sendEventStreamHead(QHttpServerResponder &responder)
{
    responder.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
    commonHeaders(responder, "text/event-stream; charset=utf-8", "no-store");
    responder.writeHeader("Connection", "keep-alive");
    responder.writeBody(QByteArray());
}

}  // namespace nimbrel::web
