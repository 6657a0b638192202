// SPDX-License-Identifier: GPL-3.0-or-later
// Sends every record taken over to an MQTT broker: a retained JSON state
// message per record, Home Assistant discovery configs, the program's
// availability topic with a last will and the station's availability topic.
//
// All network work happens on a thread of the publisher's own, which owns
// the libmosquitto client: it connects, waits for the broker's answers and
// reconnects after a loss with a growing pause (doubling from one second up
// to a minute by default). The window's thread only hands over each state
// and returns at once; a broker that is down, slow or never answers
// therefore never delays a poll or a refresh. While connected, every state
// handed over is sent, in the order handed over (a poll that brings five
// records sends five messages, each with its record's time). While the
// broker is away only the newest state is kept: sending a backlog later
// would show old readings as current. It is sent, retained, on every
// (re)connect together with the discovery configs, "online" and the
// station's availability, so a broker restarted without persistence is
// filled again.
#pragma once

#include "CurrentConditions.h"
#include "HomeAssistantDiscovery.h"
#include "PublishSettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace nimbrel {

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    MqttPublisher(const MqttSettings &settings, const QString &softwareVersion, QObject *parent = nullptr);
    // Publishes "offline", disconnects and waits for the thread (at most about
    // a second beyond a host name lookup that is under way).
    ~MqttPublisher() override;

    // Pauses between connection attempts: the first, doubled after each
    // failure up to the largest. Before start().
    void setReconnectDelays(int firstMs, int largestMs);
    // Starts the thread and the first connection attempt.
    void start();

    // A handover between programs on one broker and topics. The program
    // handing over ends with leaveQuietly(): no "offline" on either
    // availability topic at the end, since another program carries on at
    // once. sentDiscovery() is what its configs last said on the broker
    // (nothing when none were sent). The program taking over calls
    // continueAfter() with that before start(): its first connection sends
    // neither the configs, unless they differ from those, nor the station's
    // word before it has judged the station, so Home Assistant sees the
    // station stay online. Home Assistant's own "online", and later
    // reconnections, send everything as always.
    void leaveQuietly();
    std::optional<DiscoveryOptions> sentDiscovery() const;
    void continueAfter(const DiscoveryOptions &sent);

    // A record taken over: its state replaces the one kept and is sent as
    // soon as the broker is there; a channel seen for the first time gets its
    // discovery configs. Never waits for the network.
    void publish(const CurrentConditions &conditions);

    // The program's clock, which decides when the newest record has grown
    // old. Before setStationState.
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    // What the caller knows of the station: whether it is connected, the
    // time of its newest record (the station's wall clock, as Measurement::Dat)
    // and its history period in minutes (0: not known). The station topic
    // says "online" while it is connected and that record is younger than
    // kExpirePeriods periods, "offline" otherwise; it turns "offline" by
    // itself when the record grows old. The period also sets the configs'
    // expire_after.
    void setStationState(bool connected, const QDateTime &newestRecord, int periodMinutes);
    // The channels' names in the entity names ([channels] nameN); empty:
    // "Channel N".
    void setChannelNames(const std::array<QString, 5> &names);
    // The device's configuration_url in the configs; empty: none.
    void setConfigurationUrl(const QString &url);

    // Fed by an outbox: each state's record comes back through acknowledged
    // once the broker has it, and a new connection sends nothing of its own
    // (the outbox hands again what was not acknowledged). Before start().
    void setOutbox(bool on);

    bool isConnected() const;
    bool stationOnline() const { return stationOnline_; }
    const MqttTopics &topics() const { return topics_; }

Q_SIGNALS:
    // The broker accepted the connection (true) or it ended / an attempt
    // failed (false, with the reason).
    void connectionChanged(bool connected, const QString &why);
    // With setOutbox: the broker acknowledged the state of that record.
    void acknowledged(const QDateTime &recordTime);

private:
    class Worker;
    void judgeStation();
    void handDiscovery(bool changed);
    QDateTime now() const;

    MqttTopics topics_;
    std::array<bool, 5> channelsSeen_{};  // channels whose configs were handed over
    std::function<QDateTime()> now_;
    bool stationConnected_ = false;
    QDateTime newestRecord_;
    int periodMinutes_ = 0;
    bool stationOnline_ = false;
    bool outbox_ = false;
    bool stationJudged_ = false;  // stationOnline_ was handed to the worker
    QTimer ageTimer_;  // fires when the newest record grows too old
    DiscoveryOptions discovery_;
    std::unique_ptr<Worker> worker_;
};

}  // namespace nimbrel
