#pragma once

#include <QString>

#include <functional>

// The host's only report: one line per connection event or settings problem on
// standard error, led by the local time ("2026-12-07 10:00:01 KISS 127.0.0.1:8001
// connected"). Tests route the lines elsewhere to read them.
class HostLog
{
public:
    using Sink = std::function<void(const QString &line)>;

    static void write(const QString &message);
    static QString stamped(const QString &message);

    // An empty sink restores standard error.
    static void setSink(Sink sink);
};
