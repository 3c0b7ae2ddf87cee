#pragma once

#include <QLoggingCategory>

// keldan.db: the link's connection changes and failed statements, each with
// the driver's full diagnostic. Never the password.
Q_DECLARE_LOGGING_CATEGORY(lcDb)
