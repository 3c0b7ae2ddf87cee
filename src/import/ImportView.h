#pragma once

#include "recording/RecorderView.h"

// The switches of the beacon road during an import: the capture switches as
// the bridge's settings file has them, and no window. The status line is not
// needed: BatchExecutor counts every statement the database refuses.
class ImportView : public RecorderView
{
public:
    struct Switches {
        bool storeFixed = true;
        bool storeMobile = true;
        bool storeWx = true;
        bool enforceExclusions = false;
    };

    explicit ImportView(Switches switches) : mSwitches(switches) { }

    const Switches &switches() const { return mSwitches; }

    int checkValue(int checkNumber) const override;
    void setLatestData(int, const QString &) override { }
    void setStatus(const QString &) override { }

private:
    Switches mSwitches;
};
