#include "MqttPublisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace nimbrel {

namespace {

constexpr int kKeepAliveSecs = 30;
// A broker that takes longer than this to accept a connection is treated as
// down, and the attempt starts again after the pause.
constexpr int kConnectTimeoutMs = 10000;
// How long one turn of the network loop waits for the socket; also the
// longest a new state waits before it is sent.
constexpr int kLoopMs = 50;
// At shut-down, how long "offline" and the goodbye may take.
constexpr int kGoodbyeMs = 1000;
constexpr int kQos = 1;

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString errorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

}  // namespace

class MqttPublisher::Worker {
public:
    Worker(MqttPublisher *owner, const MqttSettings &settings, const MqttTopics &topics, const QString &version)
        : owner_(owner), settings_(settings), topics_(topics), version_(version)
    {
        initLibrary();
        clientId_ = QStringLiteral("nimbrel-%1-%2").arg(topics_.node).arg(::getpid()).toUtf8();
        mosq_ = mosquitto_new(clientId_.constData(), true, this);
    }

    ~Worker()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
        if (mosq_)
            mosquitto_destroy(mosq_);
    }

    void start()
    {
        if (!mosq_) {
            report(false, QStringLiteral("the MQTT client could not be created"));
            return;
        }
        thread_ = std::thread([this] { run(); });
    }

    void setState(const QByteArray &state, const std::array<bool, 5> &channels, bool channelsGrew)
    {
        std::lock_guard lock(mutex_);
        state_ = state;
        stateDirty_ = true;
        channels_ = channels;
        discoveryDirty_ = discoveryDirty_ || channelsGrew;
    }

    std::atomic<bool> connected{false};
    int firstDelayMs = 1000;
    int largestDelayMs = 60000;

private:
    bool stopping()
    {
        std::lock_guard lock(mutex_);
        return stop_;
    }

    void pause(int ms)
    {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
    }

    // Settings of a fresh client: credentials, TLS, the last will, callbacks.
    bool configure()
    {
        mosquitto_threaded_set(mosq_, true);
        mosquitto_connect_callback_set(mosq_, &Worker::onConnect);
        mosquitto_disconnect_callback_set(mosq_, &Worker::onDisconnect);
        mosquitto_message_callback_set(mosq_, &Worker::onMessage);
        const QByteArray will = topics_.availability.toUtf8();
        mosquitto_will_set(mosq_, will.constData(), static_cast<int>(std::strlen(kNotAvailable)), kNotAvailable, kQos,
                           true);
        if (!settings_.user.isEmpty()) {
            const QByteArray user = settings_.user.toUtf8();
            const QByteArray password = settings_.password.toUtf8();
            mosquitto_username_pw_set(mosq_, user.constData(),
                                      settings_.password.isEmpty() ? nullptr : password.constData());
        }
        if (settings_.tls) {
            int rc = MOSQ_ERR_SUCCESS;
            if (settings_.caFile.isEmpty()) {
                rc = mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            } else {
                const QByteArray ca = settings_.caFile.toLocal8Bit();
                rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
            }
            if (rc != MOSQ_ERR_SUCCESS) {
                report(false, QStringLiteral("TLS cannot be set up: %1").arg(errorText(rc)));
                return false;
            }
        }
        return true;
    }

    // A client without any trace of the last connection.
    void resetClient()
    {
        mosquitto_reinitialise(mosq_, clientId_.constData(), true, this);
        configured_ = configure();
    }

    void run()
    {
        configured_ = configure();
        int delay = firstDelayMs;
        bool attempting = false;
        QElapsedTimer sinceAttempt;
        auto failed = [&](const QString &why) {
            attempting = false;
            connected = false;
            report(false, why);
            resetClient();
            pause(delay);
            delay = std::min(delay * 2, largestDelayMs);
        };
        const QByteArray host = settings_.host.toUtf8();
        while (!stopping()) {
            if (!configured_) {
                pause(largestDelayMs);
                continue;
            }
            if (!attempting) {
                const int rc = mosquitto_connect_async(mosq_, host.constData(), settings_.port, kKeepAliveSecs);
                if (rc != MOSQ_ERR_SUCCESS) {
                    failed(QStringLiteral("cannot reach %1:%2: %3")
                               .arg(settings_.host)
                               .arg(settings_.port)
                               .arg(errorText(rc)));
                    continue;
                }
                attempting = true;
                sinceAttempt.start();
            }
            const int rc = mosquitto_loop(mosq_, kLoopMs, 1);
            if (rc != MOSQ_ERR_SUCCESS) {
                failed(refusal_.isEmpty() ? QStringLiteral("connection to %1:%2 lost: %3")
                                                .arg(settings_.host)
                                                .arg(settings_.port)
                                                .arg(errorText(rc))
                                          : refusal_);
                refusal_.clear();
                continue;
            }
            if (connected) {
                delay = firstDelayMs;
                flush();
            } else if (sinceAttempt.elapsed() > kConnectTimeoutMs) {
                failed(QStringLiteral("%1:%2 does not answer").arg(settings_.host).arg(settings_.port));
            }
        }
        if (connected) {
            flush();  // a record taken over just before the end
            sayGoodbye();
        }
    }

    // "offline" before a clean disconnect: the broker sends the last will
    // only when a connection breaks.
    void sayGoodbye()
    {
        const QByteArray topic = topics_.availability.toUtf8();
        mosquitto_publish(mosq_, nullptr, topic.constData(), static_cast<int>(std::strlen(kNotAvailable)),
                          kNotAvailable, kQos, true);
        mosquitto_disconnect(mosq_);
        QElapsedTimer goodbye;
        goodbye.start();
        while (goodbye.elapsed() < kGoodbyeMs && mosquitto_loop(mosq_, kLoopMs, 1) == MOSQ_ERR_SUCCESS) {
        }
        connected = false;
    }

    bool send(const QString &topic, const QByteArray &payload)
    {
        const QByteArray t = topic.toUtf8();
        return mosquitto_publish(mosq_, nullptr, t.constData(), static_cast<int>(payload.size()), payload.constData(),
                                 kQos, true) == MOSQ_ERR_SUCCESS;
    }

    void flush()
    {
        QByteArray state;
        bool sendState = false;
        bool sendDiscovery = false;
        std::array<bool, 5> channels{};
        {
            std::lock_guard lock(mutex_);
            // Before the first record the channels are not known: the
            // configs wait for it rather than being sent twice.
            if (state_.isEmpty())
                return;
            sendState = stateDirty_;
            sendDiscovery = discoveryDirty_;
            stateDirty_ = discoveryDirty_ = false;
            state = state_;
            channels = channels_;
        }
        bool ok = true;
        if (sendDiscovery)
            for (const DiscoveryMessage &m : discoveryMessages(topics_, channels, version_))
                ok = send(m.topic, m.payload) && ok;
        if (sendState)
            ok = send(topics_.state, state) && ok;
        if (!ok) {
            std::lock_guard lock(mutex_);
            stateDirty_ = stateDirty_ || sendState;
            discoveryDirty_ = discoveryDirty_ || sendDiscovery;
        }
    }

    void report(bool isConnected, const QString &why)
    {
        if (isConnected == lastReportedConnected_ && why == lastReportedWhy_)
            return;
        lastReportedConnected_ = isConnected;
        lastReportedWhy_ = why;
        MqttPublisher *owner = owner_;
        QMetaObject::invokeMethod(
            owner, [owner, isConnected, why] { Q_EMIT owner->connectionChanged(isConnected, why); },
            Qt::QueuedConnection);
    }

    static void onConnect(mosquitto *mosq, void *self, int rc)
    {
        auto *w = static_cast<Worker *>(self);
        if (rc != 0) {
            w->refusal_ = QStringLiteral("the broker refused the connection: %1")
                              .arg(QString::fromUtf8(mosquitto_connack_string(rc)));
            return;
        }
        const QByteArray status = w->topics_.homeAssistantStatus.toUtf8();
        mosquitto_subscribe(mosq, nullptr, status.constData(), kQos);
        w->send(w->topics_.availability, QByteArray(kAvailable));
        {
            std::lock_guard lock(w->mutex_);
            w->stateDirty_ = w->discoveryDirty_ = true;
        }
        w->connected = true;
        w->report(true, QString());
    }

    static void onDisconnect(mosquitto *, void *self, int) { static_cast<Worker *>(self)->connected = false; }

    // Home Assistant came (back) online: it forgets entities whose configs
    // it has not seen since, so they are sent again with the state.
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message)
    {
        auto *w = static_cast<Worker *>(self);
        const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
        if (QString::fromUtf8(message->topic) == w->topics_.homeAssistantStatus && payload == kAvailable) {
            std::lock_guard lock(w->mutex_);
            w->stateDirty_ = w->discoveryDirty_ = true;
        }
    }

    MqttPublisher *owner_;
    const MqttSettings settings_;
    const MqttTopics topics_;
    const QString version_;
    QByteArray clientId_;
    mosquitto *mosq_ = nullptr;
    std::thread thread_;
    bool configured_ = false;
    QString refusal_;
    bool lastReportedConnected_ = false;
    QString lastReportedWhy_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    QByteArray state_;
    bool stateDirty_ = false;
    std::array<bool, 5> channels_{};
    bool discoveryDirty_ = false;
};

MqttPublisher::MqttPublisher(const MqttSettings &settings, const QString &softwareVersion, QObject *parent)
    : QObject(parent),
      topics_(mqttTopics(settings)),
      worker_(std::make_unique<Worker>(this, settings, topics_, softwareVersion))
{
}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::setReconnectDelays(int firstMs, int largestMs)
{
    worker_->firstDelayMs = std::max(1, firstMs);
    worker_->largestDelayMs = std::max(worker_->firstDelayMs, largestMs);
}

void MqttPublisher::start()
{
    worker_->start();
}

bool MqttPublisher::isConnected() const
{
    return worker_->connected;
}

void MqttPublisher::publish(const CurrentConditions &conditions)
{
    std::array<bool, 5> channels = channelsSeen_;
    bool grew = false;
    for (int i = 0; i < kChannelCount; ++i) {
        if (conditions.channels[i].present && !channels[i]) {
            channels[i] = true;
            grew = true;
        }
    }
    channelsSeen_ = channels;
    worker_->setState(QJsonDocument(stateJson(conditions)).toJson(QJsonDocument::Compact), channels, grew);
}

}  // namespace nimbrel
