#pragma once

#include "road/HostClock.h"

// The host's clock while the journal is read back: it stands at the time the
// line was heard, so the beacon carries the time it was heard and the 30 s
// duplicate window runs on the journal's time.
class RecoveryClock : public HostClock
{
public:
    void setHeardAt(const QDateTime &heardAtUtc)
    {
        mNow = heardAtUtc.toLocalTime();
        mSteadyMs = qMax(mSteadyMs, heardAtUtc.toMSecsSinceEpoch());
    }
    QDateTime now() const override { return mNow; }
    qint64 steadyMs() const override { return mSteadyMs; }

private:
    QDateTime mNow;
    qint64 mSteadyMs = 0;
};
