#include "host/BackOff.h"

#include <algorithm>

int BackOff::takeDelaySeconds()
{
    const int delay = mNextSeconds;
    mNextSeconds = std::min(mNextSeconds * 2, mLongestSeconds);
    return delay;
}
