// Headless Chromium driven over the DevTools protocol, for tests of the web
// page: the browser starts on a free debugging port, one page is attached,
// and each command waits for its own answer (or an event) in a local event
// loop, so the server in the same process keeps answering meanwhile.
#pragma once

#include "LoopbackHttp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QNetworkRequest>
#include <QWebSocket>
#include <cstdio>

namespace nimbrel::testing {

class HeadlessChromium {
public:
    static QString executable()
    {
        for (const char *name : {"chromium", "chromium-browser"}) {
            const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
            if (!path.isEmpty())
                return path;
        }
        return {};
    }

    // False when the browser did not start or offered no page.
    bool start()
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(executable(),
                       {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                        QStringLiteral("--no-first-run"), QStringLiteral("--disable-extensions"),
                        QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                        QStringLiteral("--disable-sync"), QStringLiteral("--hide-scrollbars"),
                        QStringLiteral("--remote-debugging-address=127.0.0.1"), QStringLiteral("--remote-debugging-port=0"),
                        QStringLiteral("--remote-allow-origins=http://127.0.0.1"),
                        QStringLiteral("--user-data-dir=") + profile_.path(), QStringLiteral("about:blank")});
        // "DevTools listening on ws://127.0.0.1:PORT/devtools/browser/..."
        const QRegularExpression listening(QStringLiteral("ws://127\\.0\\.0\\.1:(\\d+)/"));
        int port = 0;
        QEventLoop loop;
        QByteArray err;
        QObject::connect(&process_, &QProcess::readyReadStandardError, &loop, [&] {
            err += process_.readAllStandardError();
            const auto m = listening.match(QString::fromUtf8(err));
            if (m.hasMatch()) {
                port = m.captured(1).toInt();
                loop.quit();
            }
        });
        QObject::connect(&process_, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process_, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(&process_, nullptr, &loop, nullptr);
        if (port == 0) {
            std::fprintf(stderr, "chromium did not start: %s\n", err.right(500).constData());
            return false;
        }
        const HttpAnswer list = fetch(static_cast<quint16>(port), "GET", "/json/list");
        QString pageSocket;
        for (const QJsonValue &target : QJsonDocument::fromJson(list.body).array())
            if (target[QStringLiteral("type")] == QStringLiteral("page"))
                pageSocket = target[QStringLiteral("webSocketDebuggerUrl")].toString();
        if (pageSocket.isEmpty()) {
            std::fprintf(stderr, "no page among the targets: %d %s\n", list.status, list.body.left(300).constData());
            return false;
        }
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString &text) {
            messages_.append(QJsonDocument::fromJson(text.toUtf8()).object());
            if (waiting_)
                waiting_->quit();
        });
        QEventLoop opened;
        QObject::connect(&socket_, &QWebSocket::connected, &opened, &QEventLoop::quit);
        QObject::connect(&socket_, &QWebSocket::disconnected, &opened, &QEventLoop::quit);
        // The browser accepts the socket only from an origin it was told of.
        QNetworkRequest request{QUrl(pageSocket)};
        request.setRawHeader("Origin", "http://127.0.0.1");
        socket_.open(request);
        if (socket_.state() != QAbstractSocket::ConnectedState)
            opened.exec();
        if (socket_.state() != QAbstractSocket::ConnectedState) {
            std::fprintf(stderr, "the page's socket %s did not open: %s\n", qPrintable(pageSocket),
                         qPrintable(socket_.errorString()));
            return false;
        }
        return true;
    }

    ~HeadlessChromium()
    {
        socket_.abort();
        process_.kill();
        process_.waitForFinished();
    }

    // Sends a command and returns its "result" (empty on an error answer).
    QJsonObject call(const QString &method, const QJsonObject &params = {})
    {
        const int id = ++lastId_;
        socket_.sendTextMessage(QString::fromUtf8(QJsonDocument(QJsonObject{
            {QStringLiteral("id"), id}, {QStringLiteral("method"), method}, {QStringLiteral("params"), params}})
                                                      .toJson(QJsonDocument::Compact)));
        const QJsonObject answer = waitFor([id](const QJsonObject &m) { return m[QStringLiteral("id")].toInt() == id; });
        return answer[QStringLiteral("result")].toObject();
    }

    // Waits for the event named `method`.
    QJsonObject event(const QString &method)
    {
        return waitFor([&](const QJsonObject &m) { return m[QStringLiteral("method")].toString() == method; });
    }

    // The events named `method` that have come in so far, oldest first,
    // without waiting for more (a command's answer comes after the events
    // the command caused).
    QList<QJsonObject> takeEvents(const QString &method)
    {
        QList<QJsonObject> taken;
        for (qsizetype i = 0; i < messages_.size();) {
            if (messages_[i][QStringLiteral("method")].toString() == method)
                taken.append(messages_.takeAt(i));
            else
                ++i;
        }
        return taken;
    }

    // Evaluates `expression` in the page; a promise is awaited. The value.
    QJsonValue evaluate(const QString &expression)
    {
        const QJsonObject r = call(QStringLiteral("Runtime.evaluate"),
                                   {{QStringLiteral("expression"), expression},
                                    {QStringLiteral("awaitPromise"), true},
                                    {QStringLiteral("returnByValue"), true}});
        return r[QStringLiteral("result")].toObject()[QStringLiteral("value")];
    }

private:
    template <class Match>
    QJsonObject waitFor(Match match)
    {
        for (;;) {
            for (qsizetype i = 0; i < messages_.size(); ++i) {
                if (match(messages_[i]))
                    return messages_.takeAt(i);
            }
            if (socket_.state() != QAbstractSocket::ConnectedState)
                return {};
            QEventLoop loop;
            waiting_ = &loop;
            QObject::connect(&socket_, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
            loop.exec();
            waiting_ = nullptr;
        }
    }

    QTemporaryDir profile_;
    QProcess process_;
    QWebSocket socket_;
    QList<QJsonObject> messages_;
    QEventLoop *waiting_ = nullptr;
    int lastId_ = 0;
};

}  // namespace nimbrel::testing
