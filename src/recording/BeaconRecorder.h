#pragma once

#include "host/BeaconRecord.h"
#include "host/HostApplication.h"
#include "host/WeatherRecord.h"

#include <QDateTime>
#include <functional>

class RecorderView;
class StatementBuilder;
class StatementExecutor;

// The road of one drained beacon: the gate switches, the " Latest Data "
// fields, the timestamp, and the rows of stations and of the detail table of
// the station's kind. Every failure ends as a status-line message; nothing
// thrown leaves processBeacon or a store operation.
class BeaconRecorder
{
public:
    BeaconRecorder(RecorderView &view, StatementExecutor &executor);

    // The host that answers weather lookups; start-up attaches it.
    void attachHost(HostApplication *host);
    // Handed to the host by reference on every lookup, and left holding
    // whatever the host put there.
    WeatherRecordRef &weatherRecord() { return mWeatherRecord; }
    // The clock whose date and time Text4 shows; the local clock by default.
    void setClock(std::function<QDateTime()> clock);

    void processBeacon(const BeaconRecordRef &beacon) noexcept;

    // Each reads its values just before it puts them into the statement, in
    // the statement's order, and executes it once. storeStation leaves the
    // status line alone on success; the detail operations empty it.
    void storeStation(const BeaconRecord &beacon, const QDateTime &timestamp);
    void storeFixedData(const BeaconRecord &beacon, const QDateTime &timestamp);
    void storeMobileData(const BeaconRecord &beacon, const QDateTime &timestamp);
    void storeWxData(const BeaconRecord &beacon, const QDateTime &timestamp);

private:
    void showAndRoute(const BeaconRecordRef &beacon);
    void execute(const StatementBuilder &statement);
    QString localDateTimeText(const QDateTime &now);

    RecorderView &mView;
    StatementExecutor &mExecutor;
    HostApplication *mHost = nullptr;
    WeatherRecordRef mWeatherRecord;
    std::function<QDateTime()> mClock;
    // Text4 changes once a second at most; formatting in the system's style
    // costs more than building a statement, so the last texts are kept.
    QDate mShownDate;
    QString mShownDateText;
    QTime mShownTime;
    QString mShownTimeText;
    QString mTimeFormat;
};
