#include "import/ImportClock.h"

#include <algorithm>

void ImportClock::setLineTime(const QDateTime &time)
{
    // The host's clock gives local time; a stamp in UTC or with an offset is
    // the same instant in local time (the Time Zone setting may then make it
    // UTC again).
    if (time.isValid())
        mNow = time.timeSpec() == Qt::LocalTime ? time : time.toLocalTime();
    mSteadyMs = std::max(mSteadyMs, mNow.toMSecsSinceEpoch());
}
