// The program's clock: the computer's clock, or one that starts at a given
// moment and runs on from there (for demonstrations and reproducible runs).
#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace nimbrel {

class Clock {
public:
    Clock() = default;
    explicit Clock(const QDateTime &start) : start_(start) { elapsed_.start(); }

    QDateTime now() const
    {
        if (!start_.isValid())
            return QDateTime::currentDateTime();
        return start_.addMSecs(elapsed_.elapsed());
    }

private:
    QDateTime start_;
    QElapsedTimer elapsed_;
};

}  // namespace nimbrel
