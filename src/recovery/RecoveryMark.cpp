#include "recovery/RecoveryMark.h"

#include <QFile>
#include <QSaveFile>

namespace RecoveryMark {

namespace {
const QString Format = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ");
}

QString path(const QString &programFolder)
{
    return programFolder + QLatin1Char('/') + QLatin1String(FileName);
}

QDateTime read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QDateTime mark = QDateTime::fromString(QString::fromLatin1(file.readLine(64).trimmed()), Format);
    mark.setTimeSpec(Qt::UTC);
    return mark;
}

bool write(const QString &path, const QDateTime &upToUtc)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(upToUtc.toUTC().toString(Format).toLatin1() + '\n');
    return file.commit();
}

}  // namespace RecoveryMark
