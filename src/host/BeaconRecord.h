#pragma once

#include "host/HostTypes.h"

#include <QDateTime>
#include <QString>
#include <memory>

// One decoded beacon as the host describes it. Read-only from the bridge's
// side; every read is a call that may throw HostError. Latitude and longitude
// are minutes of arc (degrees x 60), north and east positive.
class BeaconRecord
{
public:
    virtual ~BeaconRecord() = default;

    virtual QString callsign() const = 0;
    virtual QString symbolCode() const = 0;
    virtual QString symbolTable() const = 0;
    virtual QString packetHeader() const = 0;
    virtual QString packetText() const = 0;
    virtual QString statusText() const = 0;
    virtual QString objectOwner() const = 0;
    virtual float longitude() const = 0;
    virtual float latitude() const = 0;
    virtual qint16 radioPort() const = 0;
    virtual HostBool heardDirect() const = 0;
    virtual float speed() const = 0;
    virtual qint16 course() const = 0;
    virtual QDateTime timeA() const = 0;
    virtual QDateTime timeB() const = 0;
    virtual float height() const = 0;
    virtual float distance() const = 0;
    virtual qint16 commentStart() const = 0;
    virtual qint16 stationType() const = 0;
    virtual HostBool excluded() const = 0;
};

// The queue's slot holds one reference and the drain tick another; the record
// lives until the last of them is dropped.
using BeaconRecordRef = std::shared_ptr<const BeaconRecord>;

// The station kinds of stationType().
namespace StationType {
inline constexpr qint16 Fixed = 0;
inline constexpr qint16 Weather = 1;
inline constexpr qint16 Mobile = 2;
}  // namespace StationType
