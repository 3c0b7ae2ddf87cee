#pragma once

#include "recording/RecorderView.h"

#include <QMap>

// The switches and status line of the beacon road during an import: the
// capture switches as the bridge's settings file has them, no window, and
// every failure message counted.
class ImportView : public RecorderView
{
public:
    struct Switches {
        bool storeFixed = true;
        bool storeMobile = true;
        bool storeWx = true;
        bool enforceExclusions = false;
    };

    explicit ImportView(Switches switches) : mSwitches(switches) {}

    const Switches &switches() const { return mSwitches; }

    int checkValue(int checkNumber) const override;
    void setLatestData(int, const QString &) override {}
    void setStatus(const QString &caption) override;

    // Failure messages of the road ("Stations Table (Error Inserting Data
    // into database)", ...) and how often each came.
    const QMap<QString, qint64> &failures() const { return mFailures; }
    qint64 failureCount() const { return mFailureCount; }

private:
    Switches mSwitches;
    QMap<QString, qint64> mFailures;
    qint64 mFailureCount = 0;
};
