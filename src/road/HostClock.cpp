#include "road/HostClock.h"

#include <QElapsedTimer>

QDateTime HostClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 HostClock::steadyMs() const
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}
