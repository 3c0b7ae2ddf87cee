#pragma once

#include <QString>

// The few controls of the main window that the beacon road reads and writes,
// so that dispatch and the store operations run with or without a window.
class RecorderView
{
public:
    virtual ~RecorderView() = default;

    // The check boxes by their number: Check1 is Fixed, … Check5 Enable Bridge.
    enum CheckNumber { Fixed = 1, Mobile = 2, Wx = 3, EnforceExclusions = 4, EnableBridge = 5 };

    // Check1..Check5: 0 unchecked, 1 checked.
    virtual int checkValue(int checkNumber) const = 0;
    // Text1..Text4 of the " Latest Data " frame.
    virtual void setLatestData(int textNumber, const QString &text) = 0;
    // The status line.
    virtual void setStatus(const QString &caption) = 0;
};
