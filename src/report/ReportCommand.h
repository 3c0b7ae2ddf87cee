#pragma once

#include <QDateTime>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTextStream>
#include <functional>

// keldan-report: reads the period's rows through ODBC and writes the report.
//
//   keldan-report [--program-folder DIR] [--dsn DSN] [--user U] [--database D]
//                 [--password-file FILE] [--since 24h] [--until TIME]
//                 [--time-zone local|UTC] [--title T] [--home LAT,LON]
//                 [-o report.html]
//
// The data source is keldan.ini's unless the options name another. Exit
// status: 0 written, 1 the database failed, 2 bad options, 3 a file that
// could not be read or written.
class ReportCommand
{
public:
    // The current time; the tests set a fixed one.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // The default program folder; empty: keldan-report's own.
    QString executableFolder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
};
