#pragma once

#include <QDateTime>

// The host's two clocks: the local time stamped on a beacon, and a steady
// millisecond count for the duplicate window that wall-clock jumps leave alone.
// Tests put a clock of their own in its place.
class HostClock
{
public:
    virtual ~HostClock() = default;
    virtual QDateTime now() const;
    virtual qint64 steadyMs() const;
};
