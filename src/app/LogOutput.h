#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Where the program's log lines go: standard error, one line per message with
// its level and category. When standard error is the journal (systemd sets
// JOURNAL_STREAM to its device and inode), each line starts with its syslog
// priority ("<3>") and leaves the time to the journal.
//
//   2026-12-07 10:00:01 info keldan.feed: KISS 127.0.0.1:8001 connected
//   <4>warning keldan.db: statement failed: 23505 [1] ERROR: duplicate key ...
class LogOutput
{
public:
    // Installs the message handler for the whole process.
    static void install();

    // True when JOURNAL_STREAM names the file standard error is.
    static bool stderrIsJournal();

    // The text written for one message, a newline after each line; a message
    // of several lines keeps its level on each of them.
    static QByteArray format(
        QtMsgType type, const char *category, const QString &message, bool journal, const QDateTime &now);
};
