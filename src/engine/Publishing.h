// Hands every record the engine takes over to the destinations nimbrel.ini
// asks for (the MQTT publisher, the weather-network upload), each through
// its outbox in the data folder, and says how they fare: in a word for the
// status bar's site panel, in whole sentences, and per destination.
#pragma once

#include "AppContext.h"
#include "Destination.h"
#include "Outbox.h"
#include "PublishSettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace nimbrel {

struct CurrentConditions;

class Publishing : public QObject {
    Q_OBJECT
public:
    // The destinations `settings` (nimbrel.ini as read) asks for; with
    // tellProblems, what cannot be used of the file goes to stderr (once
    // per program: not again when the station is taken back). What a
    // program that handed the station to this one left of its MQTT
    // connection (handOver) is taken, so that Home Assistant sees the
    // station stay online and gets no configs it already holds.
    Publishing(const AppContext &context, const PublishSettings &settings, bool tellProblems,
               QObject *parent = nullptr);
    ~Publishing() override;

    const PublishSettings &settings() const { return settings_; }
    // The history the outboxes read, and how a stored row becomes what is
    // sent. Before the first record.
    void setHistory(const HistoryStore *history, Outbox::Convert convert);
    // One record taken over (stored), as it is published.
    void publish(const CurrentConditions &conditions);
    // The current conditions of a record stored before (a restart, a
    // handover): what each outbox holds due, else sent over MQTT again.
    void publishCurrent(const CurrentConditions &conditions);
    // Another program takes the station over at once: MQTT ends without
    // saying "offline" and leaves what its configs said for that program.
    void handOver();
    // MQTT carries on after a program that handed the station over.
    bool continuing() const { return continuing_; }
    void setStationState(const StationState &state);

    // "nimbrel.org" when all is well, else what is wrong in a word
    // ("nimbrel.ini?", "MQTT offline", "Upload failed"); empty until there
    // is anything to say.
    QString word() const { return word_; }
    QStringList lines() const { return lines_; }
    // One entry per destination configured.
    std::vector<DestinationStatus> destinations() const;

Q_SIGNALS:
    void stateChanged();

private:
    void show();

    PublishSettings settings_;
    bool continuing_ = false;
    std::vector<std::unique_ptr<Outbox>> outboxes_;
    QString word_;
    QStringList lines_;
};

}  // namespace nimbrel
