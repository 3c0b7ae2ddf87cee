#pragma once

#include "host/BeaconRecord.h"
#include "host/HostTypes.h"
#include "host/WeatherRecord.h"

#include <QObject>
#include <QString>

// The host application the bridge attaches to. Its two events are signals
// delivered on the UI thread; its members may throw HostError.
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

signals:
    void NotifyBeaconData(BeaconRecordRef cStn);
    void UIView32IsClosing();
};
