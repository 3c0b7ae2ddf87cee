#pragma once

#include "ScriptedReads.h"
#include "host/BeaconRecord.h"

#include <QDateTime>
#include <memory>

// A beacon record with every property settable, each read logged, and any
// read made to fail (see ScriptedReads).
class ScriptedBeaconRecord : public BeaconRecord, public ScriptedReads
{
public:
    struct Fields {
        QString callsign = QStringLiteral("N0CALL");
        QString symbolCode = QStringLiteral("-");
        QString symbolTable = QStringLiteral("/");
        QString packetHeader = QStringLiteral("N0CALL>APRS,WIDE2-1,qAR,N0CALL-10");
        QString packetText = QStringLiteral("!5130.12N/00007.50W-PHG2360");
        QString statusText;
        QString objectOwner;
        float longitude = -7.5f;
        float latitude = 3090.12f;
        qint16 radioPort = 1;
        HostBool heardDirect = HostTrue;
        float speed = 0;
        qint16 course = 0;
        QDateTime timeA = QDateTime(QDate(2004, 5, 6), QTime(14, 30, 0));
        QDateTime timeB = QDateTime(QDate(2004, 5, 6), QTime(14, 30, 0));
        float height = 0;
        float distance = 0;
        qint16 commentStart = 21;
        qint16 stationType = StationType::Fixed;
        HostBool excluded = HostFalse;
    };

    ScriptedBeaconRecord() = default;
    explicit ScriptedBeaconRecord(Fields initial) : fields(std::move(initial)) { }

    Fields fields;

    QString callsign() const override { return read("callsign", fields.callsign); }
    QString symbolCode() const override { return read("symbolCode", fields.symbolCode); }
    QString symbolTable() const override { return read("symbolTable", fields.symbolTable); }
    QString packetHeader() const override { return read("packetHeader", fields.packetHeader); }
    QString packetText() const override { return read("packetText", fields.packetText); }
    QString statusText() const override { return read("statusText", fields.statusText); }
    QString objectOwner() const override { return read("objectOwner", fields.objectOwner); }
    float longitude() const override { return read("longitude", fields.longitude); }
    float latitude() const override { return read("latitude", fields.latitude); }
    qint16 radioPort() const override { return read("radioPort", fields.radioPort); }
    HostBool heardDirect() const override { return read("heardDirect", fields.heardDirect); }
    float speed() const override { return read("speed", fields.speed); }
    qint16 course() const override { return read("course", fields.course); }
    QDateTime timeA() const override { return read("timeA", fields.timeA); }
    QDateTime timeB() const override { return read("timeB", fields.timeB); }
    float height() const override { return read("height", fields.height); }
    float distance() const override { return read("distance", fields.distance); }
    qint16 commentStart() const override { return read("commentStart", fields.commentStart); }
    qint16 stationType() const override { return read("stationType", fields.stationType); }
    HostBool excluded() const override { return read("excluded", fields.excluded); }
};
