#pragma once

#include "road/HostClock.h"

// The host's clock during an import: it stands at the time of the line being
// imported, so the beacon's time is the log's and the 30 s duplicate window
// runs on the log's time. Lines without a stamp keep the last stamp; before
// the first one, the time of the import.
class ImportClock : public HostClock
{
public:
    // An invalid time means "no stamp on this line".
    void setLineTime(const QDateTime &time);

    QDateTime now() const override { return mNow; }
    qint64 steadyMs() const override { return mSteadyMs; }

private:
    QDateTime mNow = QDateTime::currentDateTime();
    // Never goes back, as the duplicate window needs, even where a log does.
    qint64 mSteadyMs = 0;
};
