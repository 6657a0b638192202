// Runs one of the project's programs as a user would and collects what it
// said. A run that does not finish in time is killed and reported with exit
// code -1, as is a crash.
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace nimbrel::test {

struct ProcessRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json;  // stdout read as a JSON object, when it is one
};

inline ProcessRun runProcess(const QString &program, const QStringList &arguments,
                             const QString &workingDirectory = {}, const QMap<QString, QString> &environment = {},
                             int timeoutMs = 60000)
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.begin(); it != environment.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProcessRun r;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    r.json = QJsonDocument::fromJson(r.out).object();
    return r;
}

}  // namespace nimbrel::test
