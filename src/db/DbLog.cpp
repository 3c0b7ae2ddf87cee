#include "db/DbLog.h"

Q_LOGGING_CATEGORY(lcDb, "keldan.db", QtInfoMsg)
