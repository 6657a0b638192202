#include "Publishing.h"

#include "CurrentConditions.h"
#include "Destinations.h"

#include <QDir>
#include <cstdio>

namespace nimbrel {

Publishing::Publishing(const AppContext &context, const PublishSettings &settings, bool tellProblems,
                       QObject *parent)
    : QObject(parent), settings_(settings)
{
    const QDir data(context.workDir);

    DestinationContext made;
    made.dataDir = context.workDir;
    made.softwareVersion = QStringLiteral(NIMBREL_VERSION);
    if (const Clock *clock = context.clock)
        made.now = [clock] { return clock->now(); };
    made.outdoorChannel = settings_.channels.outdoor;
    std::vector<std::unique_ptr<Destination>> list = makeDestinations(settings_, made, &settings_.problems);
    if (tellProblems)
        for (const QString &problem : settings_.problems)
            std::fprintf(stderr, "nimbrel: %s\n", qPrintable(problem));
    if (!settings_.problems.isEmpty())
        show();

    for (std::unique_ptr<Destination> &d : list) {
        continuing_ = continuing_ || d->continuing();
        const QString cursor = data.filePath(QStringLiteral("outbox/%1.cursor").arg(d->name()));
        auto outbox = std::make_unique<Outbox>(std::move(d), cursor);
        if (made.now)
            outbox->setClock(made.now);
        connect(outbox.get(), &Outbox::statusChanged, this, &Publishing::show);
        outboxes_.push_back(std::move(outbox));
    }
}

Publishing::~Publishing() = default;

void Publishing::setHistory(const HistoryStore *history, Outbox::Convert convert)
{
    for (const auto &o : outboxes_)
        o->setHistory(history, convert);
}

void Publishing::publish(const CurrentConditions &conditions)
{
    for (const auto &o : outboxes_)
        o->offer(conditions);
}

void Publishing::publishCurrent(const CurrentConditions &conditions)
{
    for (const auto &o : outboxes_)
        o->current(conditions);
}

void Publishing::handOver()
{
    for (const auto &o : outboxes_)
        o->destination().handOver();
}

void Publishing::setStationState(const StationState &state)
{
    for (const auto &o : outboxes_)
        o->destination().setStationState(state);
}

std::vector<DestinationStatus> Publishing::destinations() const
{
    std::vector<DestinationStatus> list;
    for (const auto &o : outboxes_)
        list.push_back(o->status());
    return list;
}

// The status bar has no room for a panel of its own: the site panel at its
// right says in a word what is wrong, its hint the whole sentences.
void Publishing::show()
{
    QString word = QStringLiteral("nimbrel.org");
    if (!settings_.problems.isEmpty())
        word = QStringLiteral("nimbrel.ini?");
    QStringList lines = settings_.problems;
    for (const auto &o : outboxes_) {
        const Destination &d = o->destination();
        if (d.state() == DestinationState::Failing)
            word = d.troubleWord();
        if (!d.line().isEmpty())
            lines << d.line();
    }
    word_ = word;
    lines_ = lines;
    Q_EMIT stateChanged();
}

}  // namespace nimbrel
