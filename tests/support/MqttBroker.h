// A mosquitto broker of the test's own on a free loopback port, and a
// subscriber that keeps everything it sends, for the tests that meet MQTT.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace nimbrel::test {

// Pumps events until `done` or the time is up. The time-out is only the net
// under a stalled machine: every wait ends at its event.
inline bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

inline int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A mosquitto of the test's own: loopback only, no persistence, so a
// restart forgets every retained message.
struct Broker {
    static QString binary()
    {
        const QString inPath = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        return inPath.isEmpty()
                   ? QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                    {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")})
                   : inPath;
    }
    // With a user: only "nimbrel" with password "pw" may connect.
    explicit Broker(bool withUser = false)
    {
        QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("listener %1 127.0.0.1\npersistence false\n").arg(port).toUtf8());
        if (!withUser) {
            conf.write("allow_anonymous true\n");
            return;
        }
        // Started as root, mosquitto reads the file as its own user.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString users = dir.filePath(QStringLiteral("users"));
        QProcess::execute(
            QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd")),
            {QStringLiteral("-c"), QStringLiteral("-b"), users, QStringLiteral("nimbrel"), QStringLiteral("pw")});
        conf.write(QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(users).toUtf8());
    }
    ~Broker() { stop(); }
    bool start()
    {
        process.start(binary(), {QStringLiteral("-c"), dir.filePath(QStringLiteral("mosquitto.conf"))});
        return pumpUntil([this] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            return s.waitForConnected(200);
        });
    }
    void stop()
    {
        process.kill();
        process.waitForFinished(3000);
    }
    QTemporaryDir dir;
    int port = freePort();
    QProcess process;
};

#define NEEDS_MOSQUITTO()           \
    if (::nimbrel::test::Broker::binary().isEmpty()) \
    GTEST_SKIP() << "mosquitto is not installed (scripts/install-deps installs it)"

// Everything the broker sends on `#`, as mosquitto_sub -v would print it.
class Subscriber {
public:
    explicit Subscriber(int port)
    {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(mosq_, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard lock(s->mutex_);
            s->messages_.push_back({m->topic, std::string(static_cast<const char *>(m->payload), m->payloadlen)});
        });
        mosquitto_connect(mosq_, "127.0.0.1", port, 30);
        mosquitto_subscribe(mosq_, nullptr, "#", 1);
        mosquitto_loop_start(mosq_);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
    void send(const char *topic, const std::string &payload)
    {
        mosquitto_publish(mosq_, nullptr, topic, static_cast<int>(payload.size()), payload.data(), 1, false);
    }
    std::vector<std::string> payloads(const QString &topic)
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> found;
        for (const auto &[t, payload] : messages_)
            if (t == topic.toStdString())
                found.push_back(payload);
        return found;
    }
    std::string last(const QString &topic)
    {
        const std::vector<std::string> all = payloads(topic);
        return all.empty() ? std::string() : all.back();
    }
    int count(const QString &topic)
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(messages_.begin(), messages_.end(),
                                              [&](const auto &m) { return m.first == topic.toStdString(); }));
    }
    // The newest payload on `topic` once one arrived that `accept` takes.
    std::optional<std::string> waitFor(const QString &topic, std::function<bool(const std::string &)> accept = {})
    {
        std::optional<std::string> found;
        pumpUntil([&] {
            std::lock_guard lock(mutex_);
            for (const auto &[t, payload] : messages_)
                if (t == topic.toStdString() && (!accept || accept(payload)))
                    found = payload;
            return found.has_value();
        });
        return found;
    }

private:
    mosquitto *mosq_;
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> messages_;
};

}  // namespace nimbrel::test
