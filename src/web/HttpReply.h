// One answer of the web server and the headers every answer carries: its
// type, how long it may be kept, and a content security policy that lets the
// page load only the program's own scripts and styles and talk only to the
// program (no inline script, no other site, no frames, no forms).
#pragma once

#include <QByteArray>
#include <QString>

namespace nimbrel::web {

struct HttpReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray cacheControl = "no-store";
    QByteArray allow;  // the Allow header of a 405
    // An event stream: the connection stays open after the body (its first
    // events) for the events that follow, and has no length.
    bool eventStream = false;

    // {"error": sentence}, the body of every refusal.
    static HttpReply error(int status, const QString &sentence);
    static HttpReply json(const QByteArray &document, int status = 200);
};

inline constexpr char kContentSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// The whole HTTP/1.1 answer: status line, headers and (unless for HEAD)
// the body. `close` says the connection ends after it.
QByteArray httpMessage(const HttpReply &reply, bool head, bool close);

}  // namespace nimbrel::web
