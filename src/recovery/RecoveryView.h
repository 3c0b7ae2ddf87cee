#pragma once

#include "recording/RecorderView.h"

#include <QList>

// The recorder's view during a recovery: the check boxes as the window had
// them when the recovery began (Check1 at index 1), and no window to show
// anything in.
class RecoveryView : public RecorderView
{
public:
    explicit RecoveryView(QList<int> checks) : mChecks(std::move(checks)) { }
    int checkValue(int checkNumber) const override { return mChecks.value(checkNumber, 1); }
    void setLatestData(int, const QString &) override { }
    void setStatus(const QString &) override { }

private:
    QList<int> mChecks;
};
