#pragma once

#include <QLoggingCategory>

// The program's log categories besides keldan.db; QT_LOGGING_RULES filters
// them ("keldan.feed.info=false"). Debug lines are off unless a rule turns
// them on.
Q_DECLARE_LOGGING_CATEGORY(lcFeed)    // keldan.feed: feed connections and their ends
Q_DECLARE_LOGGING_CATEGORY(lcHost)    // keldan.host: the host's settings and signals
Q_DECLARE_LOGGING_CATEGORY(lcQueue)   // keldan.queue: beacons refused by a full queue
Q_DECLARE_LOGGING_CATEGORY(lcBridge)  // keldan.bridge: the periodic summary, start and stop
