#pragma once

#include <QDateTime>
#include <QString>

// The heard time up to which every beacon of the journal is stored or given
// up, kept in a small file of the program folder so that a start after a
// stop that left beacons behind knows where to begin.
namespace RecoveryMark {

constexpr const char *FileName = "journal.mark";

QString path(const QString &programFolder);
// The mark, or an invalid time when there is none or it cannot be read.
QDateTime read(const QString &path);
// Replaces the mark as a whole (written beside it, then renamed); false when
// it cannot.
bool write(const QString &path, const QDateTime &upToUtc);

}  // namespace RecoveryMark
