#pragma once

#include "road/JournalLine.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// Reads the packet journal back: the day files of its folder (YYYY-MM-DD.log,
// or .log.gz once compressed) in day order. A line still being written (no
// newline yet) is left for the next reading.
class JournalReader
{
public:
    explicit JournalReader(QString folder) : mFolder(std::move(folder)) { }

    // The journal's day files from the day of fromUtc on, oldest first.
    QStringList files(const QDateTime &fromUtc) const;
    // Every entry heard in [fromUtc, toUtc], in journal order; visit returns
    // false to stop. False when a file could not be read.
    bool forEach(const QDateTime &fromUtc, const QDateTime &toUtc,
        const std::function<bool(const JournalLine::Entry &)> &visit) const;

private:
    QString mFolder;
};
