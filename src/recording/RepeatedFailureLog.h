#pragma once

#include <QHash>
#include <QString>

// Failed statements in the log without a flood: the first failure of a kind
// (its SQLSTATE and native number) is written at once with its whole
// diagnostic; further ones are counted, and minutePassed() writes one line per
// kind with the count. A kind quiet for a whole minute is written at once
// again when it comes back.
class RepeatedFailureLog
{
public:
    void report(const QString &kind, const QString &text);
    void minutePassed();

    qint64 failures() const { return mFailures; }

private:
    // Failures of each kind since the last minutePassed(), less the one
    // written at once.
    QHash<QString, qint64> mRepeats;
    qint64 mFailures = 0;
};
