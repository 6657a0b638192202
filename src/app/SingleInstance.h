// One running instance per user: a second start asks the running one to come
// to the front and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace nimbrel {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);

    // True when another instance answered (and was asked to come forward).
    bool notifyRunning();
    // Starts listening for later starts; false when the name cannot be taken.
    bool listen();

Q_SIGNALS:
    void activationRequested();

private:
    QString key_;
    QLocalServer *server_ = nullptr;
};

}  // namespace nimbrel
