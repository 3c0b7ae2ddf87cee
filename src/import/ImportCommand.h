#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <QTextStream>

#include <atomic>
#include <cstdio>

// keldan-import: arguments in, the summary and the exit status out.
//
//   keldan-import [--program-folder DIR] [--dsn DSN] [--user U] [--database D]
//                 [--password-file FILE] [--time-zone local|UTC] [--log-time local|UTC]
//                 [--batch N] [--rejects FILE] LOG...
//
// Exit status: 0 imported, 1 the database failed (or a file failed while
// it was read), 2 bad options or a log that is not there, 3 a file that
// cannot be read; 130 or 143 stopped by SIGINT or SIGTERM. Arguments, the log files and the
// settings are checked before the database is touched.
class ImportCommand
{
public:
    // The default program folder; empty: keldan-import's own.
    QString executableFolder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Where the progress goes (standard error), and whether it is a terminal; none by default.
    std::FILE *progressStream = nullptr;
    bool progressOnTerminal = false;
    // Set to the signal's number by a signal: the import stops after the
    // current line (or the read it waits in), and ends with 128 + that number.
    const std::atomic_int *stop = nullptr;

    int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
};
