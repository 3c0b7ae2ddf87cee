#pragma once

#include "linuxhost/HostLog.h"

#include <QRegularExpression>
#include <QStringList>

// Collects the host's log lines for one test instead of writing them to
// standard error; the time stamp is cut off so that lines can be compared.
class LogCapture
{
public:
    LogCapture()
    {
        HostLog::setSink([this](const QString &line) { mLines.append(line); });
    }
    ~LogCapture() { HostLog::setSink({}); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The lines without their "yyyy-MM-dd HH:mm:ss " stamp.
    QStringList messages() const
    {
        static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "));
        QStringList out;
        for (QString line : mLines)
            out.append(line.remove(stamp));
        return out;
    }
    const QStringList &lines() const { return mLines; }
    void clear() { mLines.clear(); }

private:
    QStringList mLines;
};
