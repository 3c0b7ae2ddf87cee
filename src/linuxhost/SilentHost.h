#pragma once

#include "host/HostApplication.h"

// A host that raises no events: what the bridge attaches to when no feed is
// configured or the feed's settings cannot be used. It still keeps the
// connection flag and answers weather lookups with "not known".
class SilentHost : public HostApplication
{
    Q_OBJECT
public:
    using HostApplication::HostApplication;

    void setAddOnConnected(HostBool connected) override { mAddOnConnected = connected; }
    HostBool addOnConnected() const override { return mAddOnConnected; }
    HostBool lookupWeather(QString &, WeatherRecordRef &) override { return HostFalse; }

private:
    HostBool mAddOnConnected = HostFalse;
};
