// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttPublisher.h"

#include "FromTimeText.h"
#include "SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>

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
// States waiting for the network loop while connected; more than a poll
// can bring (a ring of 209 slots) before the oldest are let go.
constexpr std::size_t kMaxQueuedStates = 256;
// The largest caFile taken (a system's whole bundle is about 200 KB).
constexpr qint64 kCaFileMaxBytes = 1024 * 1024;

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
    Worker(MqttPublisher *owner, const MqttSettings &settings, const MqttTopics &topics)
        : owner_(owner), settings_(settings), topics_(topics)
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

    // The caFile as it is now, copied to a private file that mosquitto reads
    // instead: the file is opened without waiting and taken only when it is
    // a regular file of at most kCaFileMaxBytes, so a FIFO or a device
    // swapped in for it never blocks this thread (nor the shut-down, which
    // waits for it), and mosquitto never opens the user's file by name.
    // Empty, with the reason in *why, when it cannot be used.
    QString privateCaCopy(QString *why)
    {
        QByteArray bytes;
        bool whole = false;
        const FileRead read = readFileStart(settings_.caFile, kCaFileMaxBytes, bytes, *why, true, &whole);
        if (read == FileRead::Missing)
            *why = QStringLiteral("no such file");
        else if (read == FileRead::Read && !whole)
            *why = QStringLiteral("it is larger than %1 KB").arg(kCaFileMaxBytes / 1024);
        if (read != FileRead::Read || !whole) {
            *why = QStringLiteral("the caFile %1 cannot be used (%2)").arg(settings_.caFile, *why);
            return {};
        }
        if (!caCopy_) {
            caCopy_ = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("nimbrel-ca-XXXXXX.pem")));
            if (!caCopy_->open()) {
                *why = QStringLiteral("no private copy of the caFile can be made: %1").arg(caCopy_->errorString());
                caCopy_.reset();
                return {};
            }
        }
        if (!caCopy_->resize(0) || !caCopy_->seek(0) || caCopy_->write(bytes) != bytes.size() || !caCopy_->flush()) {
            *why = QStringLiteral("no private copy of the caFile can be written: %1").arg(caCopy_->errorString());
            return {};
        }
        return caCopy_->fileName();
    }

    void start()
    {
        if (!mosq_) {
            report(false, QStringLiteral("the MQTT client could not be created"));
            return;
        }
        thread_ = std::thread([this] { run(); });
    }

    // One record's state, to be sent after those handed over before it.
    // `record` (valid for a record whose acknowledgement is awaited) comes
    // back through acknowledged once the broker has it.
    void addState(const QByteArray &state, const QDateTime &record)
    {
        std::lock_guard lock(mutex_);
        // Away from the broker only the newest counts (see the header).
        if (!connected || queue_.size() >= kMaxQueuedStates)
            queue_.clear();
        queue_.push_back({state, record});
        latest_ = state;
    }

    void setOutbox(bool on)
    {
        std::lock_guard lock(mutex_);
        outbox_ = on;
    }

    void setDiscovery(const DiscoveryOptions &options)
    {
        std::lock_guard lock(mutex_);
        discovery_ = options;
        discoveryDirty_ = true;
    }

    void setStation(bool online)
    {
        std::lock_guard lock(mutex_);
        station_ = online ? kAvailable : kNotAvailable;
        stationDirty_ = true;
        stationJudged_ = true;
    }

    // What the broker holds from the program before (see continueAfter).
    void continueAfter(const DiscoveryOptions &sent)
    {
        std::lock_guard lock(mutex_);
        discovery_ = sent;
        sent_ = sent;
        discoveryDirty_ = false;
        continuing_ = true;
    }

    std::optional<DiscoveryOptions> sentDiscovery()
    {
        std::lock_guard lock(mutex_);
        return sent_;
    }

    void leaveQuietly()
    {
        std::lock_guard lock(mutex_);
        quietGoodbye_ = true;
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
        mosquitto_publish_callback_set(mosq_, &Worker::onPublish);
        awaited_.clear();
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
                QString why;
                const QString copy = privateCaCopy(&why);
                if (copy.isEmpty()) {
                    report(false, QStringLiteral("TLS cannot be set up: %1").arg(why));
                    return false;
                }
                const QByteArray ca = QFile::encodeName(copy);
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
                // The caFile may have been put right meanwhile.
                pause(largestDelayMs);
                if (!stopping())
                    resetClient();
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
        } else if (attempting && leavingQuietly()) {
            // Handed over before the broker's answer came: the broker may
            // already hold the session, and a broken connection would send
            // the last will ("offline") while the next program carries on.
            sayGoodbye();
        }
    }

    bool leavingQuietly()
    {
        std::lock_guard lock(mutex_);
        return quietGoodbye_;
    }

    // "offline" before a clean disconnect: the broker sends the last will
    // only when a connection breaks.
    // Nobody watches the station once the program is gone either.
    // A program handing the station over says nothing: the next one
    // carries on at once, and the clean disconnect sends no last will.
    void sayGoodbye()
    {
        bool quiet = false;
        {
            std::lock_guard lock(mutex_);
            quiet = quietGoodbye_;
        }
        for (const QString &t : {topics_.station, topics_.availability}) {
            if (quiet)
                break;
            const QByteArray topic = t.toUtf8();
            mosquitto_publish(mosq_, nullptr, topic.constData(), static_cast<int>(std::strlen(kNotAvailable)),
                              kNotAvailable, kQos, true);
        }
        mosquitto_disconnect(mosq_);
        QElapsedTimer goodbye;
        goodbye.start();
        while (goodbye.elapsed() < kGoodbyeMs && mosquitto_loop(mosq_, kLoopMs, 1) == MOSQ_ERR_SUCCESS) {
        }
        connected = false;
    }

    bool send(const QString &topic, const QByteArray &payload, const QDateTime &record = {})
    {
        const QByteArray t = topic.toUtf8();
        int mid = 0;
        const bool ok = mosquitto_publish(mosq_, &mid, t.constData(), static_cast<int>(payload.size()),
                                          payload.constData(), kQos, true) == MOSQ_ERR_SUCCESS;
        // The broker's acknowledgement comes in a later turn of this thread's loop.
        if (ok && record.isValid())
            awaited_[mid] = record;
        return ok;
    }

    // Sends what is waiting: configs first (a new entity must exist before
    // its first value), then the station's availability, then the states in
    // the order they were handed over.
    void flush()
    {
        std::deque<State> states;
        QByteArray station;
        bool sendDiscovery = false;
        DiscoveryOptions discovery;
        {
            std::lock_guard lock(mutex_);
            // The station's word goes out at once: a retained "online" left
            // by a program that died must not outlive a new start.
            if (stationDirty_)
                station = station_;
            stationDirty_ = false;
            // Before the first record the channels are not known: the
            // configs wait for it rather than being sent twice.
            // Configs the broker already holds as they are are not sent
            // again, unless everything is due (a new connection, Home
            // Assistant's restart).
            if (!latest_.isEmpty()) {
                states.swap(queue_);
                sendDiscovery = discoveryDirty_ && (forceDiscovery_ || !sent_ || !(*sent_ == discovery_));
                discoveryDirty_ = forceDiscovery_ = false;
                discovery = discovery_;
            }
        }
        bool discoveryOk = true;
        if (sendDiscovery)
            for (const DiscoveryMessage &m : discoveryMessages(topics_, discovery))
                discoveryOk = send(m.topic, m.payload) && discoveryOk;
        if (sendDiscovery && discoveryOk) {
            std::lock_guard lock(mutex_);
            sent_ = discovery;
        }
        const bool stationOk = station.isEmpty() || send(topics_.station, station);
        while (!states.empty() && send(topics_.state, states.front().payload, states.front().record))
            states.pop_front();
        if (discoveryOk && stationOk && states.empty())
            return;
        // The client refused (its connection just broke): what was not sent
        // goes back in front of anything handed over meanwhile.
        std::lock_guard lock(mutex_);
        discoveryDirty_ = discoveryDirty_ || !discoveryOk;
        forceDiscovery_ = forceDiscovery_ || !discoveryOk;
        stationDirty_ = stationDirty_ || !stationOk;
        states.insert(states.end(), queue_.begin(), queue_.end());
        queue_.swap(states);
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
            // Carrying on after another program: the broker holds its
            // configs and station word, which this connection leaves be.
            // The outbox hands again what the broker has not acknowledged.
            if (w->outbox_)
                w->queue_.clear();
            w->markAllDirty(!w->continuing_ || w->connectedBefore_, !w->outbox_);
            w->connectedBefore_ = true;
        }
        w->connected = true;
        w->report(true, QString());
    }

    static void onDisconnect(mosquitto *, void *self, int) { static_cast<Worker *>(self)->connected = false; }

    static void onPublish(mosquitto *, void *self, int mid)
    {
        auto *w = static_cast<Worker *>(self);
        const auto it = w->awaited_.find(mid);
        if (it == w->awaited_.end())
            return;
        const QDateTime record = it->second;
        w->awaited_.erase(it);
        MqttPublisher *owner = w->owner_;
        QMetaObject::invokeMethod(
            owner, [owner, record] { Q_EMIT owner->acknowledged(record); }, Qt::QueuedConnection);
    }

    // Home Assistant came (back) online: it forgets entities whose configs
    // it has not seen since, so they are sent again with the state.
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message)
    {
        auto *w = static_cast<Worker *>(self);
        const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
        if (QString::fromUtf8(message->topic) == w->topics_.homeAssistantStatus && payload == kAvailable) {
            std::lock_guard lock(w->mutex_);
            w->markAllDirty(true);
        }
    }

    // Everything again: on a new connection, or Home Assistant restarted.
    // The newest state goes again unless newer ones are waiting anyway.
    // Without `everything` (the first connection after another program)
    // only what this program has to say: the station's word once judged.
    void markAllDirty(bool everything, bool newestAgain = true)
    {
        discoveryDirty_ = discoveryDirty_ || everything;
        forceDiscovery_ = forceDiscovery_ || everything;
        stationDirty_ = stationDirty_ || everything || stationJudged_;
        if (newestAgain && queue_.empty() && !latest_.isEmpty())
            queue_.push_back({latest_, {}});
    }

    MqttPublisher *owner_;
    const MqttSettings settings_;
    const MqttTopics topics_;
    QByteArray clientId_;
    mosquitto *mosq_ = nullptr;
    std::unique_ptr<QTemporaryFile> caCopy_;  // what mosquitto reads for the caFile
    std::thread thread_;
    bool configured_ = false;
    QString refusal_;
    bool lastReportedConnected_ = false;
    QString lastReportedWhy_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    struct State {
        QByteArray payload;
        QDateTime record;  // valid: its acknowledgement is reported
    };
    std::deque<State> queue_;  // states not yet sent, oldest first
    QByteArray latest_;             // the newest state handed over
    DiscoveryOptions discovery_;
    bool discoveryDirty_ = false;
    bool forceDiscovery_ = false;                // send the configs even as the broker holds them
    std::optional<DiscoveryOptions> sent_;       // the configs as last sent (or left by the program before)
    QByteArray station_ = kNotAvailable;
    bool stationDirty_ = false;
    bool stationJudged_ = false;
    bool continuing_ = false;      // carrying on after another program (continueAfter)
    bool connectedBefore_ = false;
    bool quietGoodbye_ = false;
    bool outbox_ = false;  // see setOutbox
    std::map<int, QDateTime> awaited_;  // message id -> record, only on this thread
};

MqttPublisher::MqttPublisher(const MqttSettings &settings, const QString &softwareVersion, QObject *parent)
    : QObject(parent),
      topics_(mqttTopics(settings)),
      worker_(std::make_unique<Worker>(this, settings, topics_))
{
    discovery_.softwareVersion = softwareVersion;
    worker_->setDiscovery(discovery_);
    ageTimer_.setSingleShot(true);
    connect(&ageTimer_, &QTimer::timeout, this, &MqttPublisher::judgeStation);
}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::leaveQuietly()
{
    worker_->leaveQuietly();
}

std::optional<DiscoveryOptions> MqttPublisher::sentDiscovery() const
{
    return worker_->sentDiscovery();
}

void MqttPublisher::continueAfter(const DiscoveryOptions &sent)
{
    // This program's own version goes in; the channels seen stay seen.
    DiscoveryOptions options = sent;
    options.softwareVersion = discovery_.softwareVersion;
    options.channelNames = discovery_.channelNames;
    discovery_ = options;
    worker_->continueAfter(sent);
    worker_->setDiscovery(discovery_);
}

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

QDateTime MqttPublisher::now() const
{
    return now_ ? now_() : QDateTime::currentDateTime();
}

void MqttPublisher::handDiscovery(bool changed)
{
    if (changed)
        worker_->setDiscovery(discovery_);
}

void MqttPublisher::publish(const CurrentConditions &conditions)
{
    bool grew = false;
    for (int i = 0; i < kChannelCount; ++i) {
        if (conditions.channels[i].present && !discovery_.channelsPresent[i]) {
            discovery_.channelsPresent[i] = true;
            grew = true;
        }
    }
    // Configs before the state that first names a new channel.
    handDiscovery(grew);
    worker_->addState(QJsonDocument(stateJson(conditions)).toJson(QJsonDocument::Compact),
                      outbox_ ? conditions.time : QDateTime());
}

void MqttPublisher::setOutbox(bool on)
{
    outbox_ = on;
    worker_->setOutbox(on);
}

void MqttPublisher::setChannelNames(const std::array<QString, 5> &names)
{
    handDiscovery(std::exchange(discovery_.channelNames, names) != names);
}

void MqttPublisher::setConfigurationUrl(const QString &url)
{
    handDiscovery(std::exchange(discovery_.configurationUrl, url) != url);
}

void MqttPublisher::setStationState(bool connected, const QDateTime &newestRecord, int periodMinutes)
{
    stationConnected_ = connected;
    newestRecord_ = newestRecord;
    periodMinutes_ = std::max(0, periodMinutes);
    const int expire = kExpirePeriods * periodMinutes_ * 60;
    handDiscovery(std::exchange(discovery_.expireAfterSecs, expire) != expire);
    judgeStation();
}

// Online while connected and the newest record is younger than
// kExpirePeriods periods; the timer judges again when it grows too old.
void MqttPublisher::judgeStation()
{
    ageTimer_.stop();
    bool online = false;
    if (stationConnected_ && newestRecord_.isValid() && periodMinutes_ > 0) {
        // Both on the station's wall clock: the record carries no offset.
        const QDateTime limit = wallClock(newestRecord_).addSecs(qint64(kExpirePeriods) * periodMinutes_ * 60);
        const qint64 left = wallClock(now()).msecsTo(limit);
        online = left > 0;
        if (online)
            ageTimer_.start(static_cast<int>(std::min<qint64>(left, std::numeric_limits<int>::max())));
    }
    if (online == stationOnline_ && stationJudged_)
        return;
    stationJudged_ = true;
    stationOnline_ = online;
    worker_->setStation(online);
}

}  // namespace nimbrel
