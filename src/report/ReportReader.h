#pragma once

#include "report/ReportData.h"

#include <QHash>

class OdbcConnection;

// Reads what a report shows from the four tables as the bridge fills them,
// straight from the base tables, so that it works on any database made from
// db/schema. Positions are stored in minutes of arc (degrees x 60). Throws
// OdbcError.
class ReportReader
{
public:
    explicit ReportReader(OdbcConnection &connection);

    ReportData read(const ReportPeriod &period);

private:
    void readStations(ReportData &data);
    void readFixed(ReportData &data);
    void readMobile(ReportData &data);
    void readWeather(ReportData &data);
    void readTotals(ReportData &data);
    qint64 count(const QString &table, const QString &column, const ReportPeriod &period);
    static QString latestRows(const QString &columns, const QString &table, const ReportPeriod &period);
    StationSummary *find(const QString &callsign);

    OdbcConnection &mConnection;
    QHash<QString, qsizetype> mIndex;
    QList<StationSummary> mStations;
};
