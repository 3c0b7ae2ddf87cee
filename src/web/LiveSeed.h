#pragma once

#include "report/ReportData.h"
#include "report/ReportPeriod.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// The live map's first rows, read once at start on a thread of its own with
// a connection of its own. The window's thread never waits for it: a server
// that is slow, stalled or away would otherwise freeze the window, and the
// window's link is busy storing beacons anyway. The result comes back on the
// thread that started the read, through its event loop.
class LiveSeed
{
public:
    using Done = std::function<void(const ReportData &data, const QString &failure)>;

    LiveSeed();
    // A read still running is abandoned: its thread ends on its own and its
    // result is dropped.
    ~LiveSeed();
    LiveSeed(const LiveSeed &) = delete;
    LiveSeed &operator=(const LiveSeed &) = delete;

    // connectionString: the bridge's own (DatabaseLink::driverConnectString);
    // it stays on that thread and in no message.
    void start(const QString &connectionString, const ReportPeriod &period, Done done);

private:
    struct Shared;
    std::shared_ptr<Shared> mShared;
    std::unique_ptr<QObject> mContext;
};
