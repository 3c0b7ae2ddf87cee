#pragma once

#include <QDateTime>
#include <QStringList>
#include <QTextStream>
#include <functional>

// keldan-report: reads the period's rows through ODBC and writes the report.
//
//   keldan-report --dsn DSN [--user U] [--password P] [--database D]
//                 [--since 24h] [--until TIME] [--utc] [--title T] [--home LAT,LON]
//                 [-o report.html]
//
// Exit status: 0 written, 1 the database failed, 2 bad options, 3 the file
// could not be written.
class ReportCommand
{
public:
    // The current time; the tests set a fixed one.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
};
