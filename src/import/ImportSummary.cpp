#include "import/ImportSummary.h"

namespace {

QString row(const QString &label, qint64 count)
{
    return QStringLiteral("  %1 %2\n").arg(label + QLatin1Char(':'), -48).arg(count);
}

}  // namespace

QString ImportSummary::text() const
{
    QString out;
    if (interrupted)
        out += QStringLiteral("Stopped by a signal; every committed transaction is kept.\n");
    for (const QString &problem : problems)
        out += QStringLiteral("Problem: %1\n").arg(problem);
    out += QStringLiteral("Files: %1\n").arg(files.size());
    out += QStringLiteral("Lines read: %1\n").arg(lines);
    out += row(QStringLiteral("skipped (blank, comment, not received)"), skipped);
    out += row(QStringLiteral("bad (not a TNC2 line)"), bad);
    out += row(QStringLiteral("packets"), packets);
    out += QStringLiteral("Packets: %1\n").arg(packets);
    out += row(QStringLiteral("duplicate (heard again within 30 s)"), duplicates);
    out += row(QStringLiteral("rejected (not decodable)"), undecodable);
    out += row(QStringLiteral("remembered (status, weather without position)"), remembered);
    out += row(QStringLiteral("not a beacon (messages, telemetry, ...)"), dropped);
    out += row(QStringLiteral("beacons"), beacons);
    out += QStringLiteral("Beacons: %1\n").arg(beacons);
    out += row(QStringLiteral("stored"), stored);
    out += row(QStringLiteral("already stored"), alreadyStored);
    out += row(QStringLiteral("excluded (Enforce Exclusions)"), excluded);
    out += row(QStringLiteral("not recorded (capture switch off)"), notRecorded);
    out += row(QStringLiteral("failed (refused by the database)"), refused);
    if (uncommitted > 0)
        out += row(QStringLiteral("not committed"), uncommitted);
    for (auto it = refusals.cbegin(); it != refusals.cend(); ++it)
        out += QStringLiteral("    %1 x %2\n").arg(it.value()).arg(it.key());
    // The counts in the words of the bridge's own log line.
    out += QStringLiteral("In all: received %1, beacons %2, stored %3, failed %4\n")
               .arg(packets)
               .arg(beacons)
               .arg(stored)
               .arg(refused);
    const double rate = seconds > 0 ? double(stored) / seconds : 0;
    out += QStringLiteral("Time: %1 s, %2 beacons stored per second, %3 transactions\n")
               .arg(seconds, 0, 'f', 1)
               .arg(rate, 0, 'f', 0)
               .arg(transactions);
    return out;
}
