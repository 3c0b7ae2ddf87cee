#include "linuxhost/feeds/ReconnectBackoff.h"

#include <algorithm>

int ReconnectBackoff::takeDelaySeconds()
{
    const int delay = mNextSeconds;
    mNextSeconds = std::min(mNextSeconds * 2, MaxDelaySeconds);
    return delay;
}
