// Sends every record taken over to an MQTT broker: a retained JSON state
// message, Home Assistant discovery configs and an availability topic with a
// last will.
//
// All network work happens on a thread of the publisher's own, which owns
// the libmosquitto client: it connects, waits for the broker's answers and
// reconnects after a loss with a growing pause (doubling from one second up
// to a minute by default). The window's thread only hands over the newest
// state and returns at once; a broker that is down, slow or never answers
// therefore never delays a poll or a refresh. While the broker is away only
// the newest state is kept; it is sent, retained, on every (re)connect
// together with the discovery configs and "online", so a broker restarted
// without persistence is filled again.
#pragma once

#include "CurrentConditions.h"
#include "HomeAssistantDiscovery.h"
#include "PublishSettings.h"

#include <QObject>
#include <QString>
#include <array>
#include <memory>

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

    // A record taken over: its state replaces the one kept and is sent as
    // soon as the broker is there; a channel seen for the first time gets its
    // discovery configs. Never waits for the network.
    void publish(const CurrentConditions &conditions);

    bool isConnected() const;
    const MqttTopics &topics() const { return topics_; }

Q_SIGNALS:
    // The broker accepted the connection (true) or it ended / an attempt
    // failed (false, with the reason).
    void connectionChanged(bool connected, const QString &why);

private:
    class Worker;
    MqttTopics topics_;
    std::array<bool, 5> channelsSeen_{};  // channels whose configs were handed over
    std::unique_ptr<Worker> worker_;
};

}  // namespace nimbrel
