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
            return QDateTime::currentDateTime().addMSecs(skipped_);
        return start_.addMSecs(elapsed_.elapsed() + skipped_);
    }

    // Moves the clock on at once, as if that much time had passed (a test
    // that lets hours go by while the station stores records).
    void skip(qint64 msecs) { skipped_ += msecs; }

private:
    QDateTime start_;
    qint64 skipped_ = 0;
    QElapsedTimer elapsed_;
};

}  // namespace nimbrel
