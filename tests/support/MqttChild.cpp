// A program that publishes one record to the broker on 127.0.0.1:<port> and
// then runs until killed: the last-will test kills it mid-connection.
#include "CurrentConditions.h"
#include "MqttPublisher.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    nimbrel::MqttSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = std::atoi(argv[1]);
    nimbrel::MqttPublisher publisher(settings, QStringLiteral("test"));
    publisher.setReconnectDelays(100, 200);
    publisher.start();
    nimbrel::CurrentConditions c;
    c.time = QDateTime::currentDateTime();
    publisher.publish(c);
    return app.exec();
}
