#include "import/ImportClock.h"

#include <algorithm>

void ImportClock::setLineTime(const QDateTime &time)
{
    if (time.isValid())
        mNow = time;
    mSteadyMs = std::max(mSteadyMs, mNow.toMSecsSinceEpoch());
}
