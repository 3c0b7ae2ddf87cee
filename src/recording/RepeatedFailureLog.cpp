#include "recording/RepeatedFailureLog.h"

#include "db/DbLog.h"

void RepeatedFailureLog::report(const QString &kind, const QString &text)
{
    ++mFailures;
    const auto found = mRepeats.find(kind);
    if (found != mRepeats.end()) {
        ++*found;
        return;
    }
    mRepeats.insert(kind, 0);
    qCWarning(lcDb).noquote() << text;
}

void RepeatedFailureLog::minutePassed()
{
    for (auto it = mRepeats.begin(); it != mRepeats.end();) {
        if (it.value() == 0) {
            it = mRepeats.erase(it);
            continue;
        }
        qCWarning(lcDb).noquote()
            << QStringLiteral("%1 more statements failed with %2 in the last minute").arg(it.value()).arg(it.key());
        it.value() = 0;
        ++it;
    }
}
