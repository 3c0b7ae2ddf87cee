#pragma once

#include <QString>
#include <exception>

// What the Setup window asks of the main window: close the link, store the
// four connection settings, open the link again.
class SetupTarget
{
public:
    virtual ~SetupTarget() = default;
    virtual void logOff() = 0;
    virtual void changeConfig(const QString &Key, const QString &value, bool upCase) = 0;
    virtual void logon() = 0;
    // A failure no handler traps: reported, and the program ends.
    virtual void reportFatalError(std::exception_ptr failure) = 0;
};
