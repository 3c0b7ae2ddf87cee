#pragma once

#include "host/HostApplication.h"
#include "road/BeaconRoad.h"

// The host as the recorder sees it when beacons come along a road of their
// own rather than from the Linux host (an import, a recovery from the
// journal): the weather readings come from that road's memory.
class RoadHost : public HostApplication
{
public:
    explicit RoadHost(const BeaconRoad &road) : mRoad(road) { }

    void setAddOnConnected(HostBool connected) override { mConnected = connected; }
    HostBool addOnConnected() const override { return mConnected; }
    HostBool lookupWeather(QString &callsign, WeatherRecordRef &record) override
    {
        return mRoad.lookupWeather(callsign, record);
    }

private:
    const BeaconRoad &mRoad;
    HostBool mConnected = HostFalse;
};
