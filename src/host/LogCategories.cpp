#include "host/LogCategories.h"

Q_LOGGING_CATEGORY(lcFeed, "keldan.feed", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHost, "keldan.host", QtInfoMsg)
Q_LOGGING_CATEGORY(lcQueue, "keldan.queue", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBridge, "keldan.bridge", QtInfoMsg)
