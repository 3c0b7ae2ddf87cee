#pragma once

#include "host/BeaconRecord.h"
#include "host/HostTypes.h"
#include "host/WeatherRecord.h"

#include <QObject>
#include <QString>

// The host application the bridge attaches to. Its two events are signals
// delivered on the UI thread (queued when the host runs on a thread of its
// own); its members, called on the UI thread, may throw HostError.
class HostApplication : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~HostApplication() override = default;

    // Told True after a successful logon and False before the link closes.
    virtual void setAddOnConnected(HostBool connected) = 0;
    virtual HostBool addOnConnected() const = 0;

    // True when the host holds weather readings for callsign; record then
    // refers to them (filled in place, or replaced by the host's own object).
    virtual HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) = 0;

    // The recorder names the beacon it is storing (null once done), so that a
    // host that keeps each beacon's readings answers lookupWeather with those
    // heard with it, however long it waited in the queue.
    virtual void setBeaconBeingStored(const BeaconRecord *beacon) { Q_UNUSED(beacon); }
    // How many beacons the bridge holds and has yet to store (the queue and
    // the one a lost link kept); a host that stops waits for them.
    virtual void setBeaconsWaiting(int count) { Q_UNUSED(count); }

signals:
    void NotifyBeaconData(BeaconRecordRef cStn);
    void UIView32IsClosing();
};
