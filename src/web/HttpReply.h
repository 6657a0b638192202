// One answer of the web server and the headers every answer carries: its
// type, how long it may be kept, and a content security policy that lets the
// page load only the program's own scripts and styles and talk only to the
// program (no inline script, no other site, no frames, no forms).
#pragma once

#include <QByteArray>
#include <QString>

class QHttpServerResponder;

namespace nimbrel::web {

struct HttpReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray cacheControl = "no-store";
    QByteArray allow;  // the Allow header of a 405

    // {"error": sentence}, the body of every refusal.
    static HttpReply error(int status, const QString &sentence);
    static HttpReply json(const QByteArray &document, int status = 200);
};

inline constexpr char kContentSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// Writes the status line, the headers and (unless for HEAD) the body.
void sendReply(QHttpServerResponder &responder, const HttpReply &reply, bool head);

// The status line and headers of an event stream; the connection stays
// open for the events that follow.
void sendEventStreamHead(QHttpServerResponder &responder);

}  // namespace nimbrel::web
