#include "recovery/JournalReader.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <zlib.h>

QStringList JournalReader::files(const QDateTime &fromUtc) const
{
    static const QRegularExpression name(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})\\.log(\\.gz)?$"));
    const QDate firstDay = fromUtc.toUTC().date();
    QStringList found;
    const QDir dir(mFolder);
    for (const QString &file : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = name.match(file);
        if (!match.hasMatch())
            continue;
        const QDate day = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
        if (day.isValid() && (!firstDay.isValid() || day >= firstDay))
            found << dir.filePath(file);
    }
    return found;
}

bool JournalReader::forEach(const QDateTime &fromUtc, const QDateTime &toUtc,
    const std::function<bool(const JournalLine::Entry &)> &visit) const
{
    bool readAll = true;
    for (const QString &path : files(fromUtc)) {
        // gzread reads a plain file as it is, so both kinds go the same way.
        gzFile in = gzopen(QFile::encodeName(path).constData(), "rb");
        if (!in) {
            readAll = false;
            continue;
        }
        QByteArray held;
        char buffer[64 * 1024];
        int got = 0;
        bool going = true;
        while (going && (got = gzread(in, buffer, sizeof buffer)) > 0) {
            held.append(buffer, got);
            qsizetype start = 0;
            for (qsizetype end = held.indexOf('\n'); end >= 0; end = held.indexOf('\n', start)) {
                const auto entry = JournalLine::parse(QByteArrayView(held).sliced(start, end - start));
                start = end + 1;
                if (!entry || entry->heardAtUtc < fromUtc || entry->heardAtUtc > toUtc)
                    continue;
                if (!visit(*entry)) {
                    going = false;
                    break;
                }
            }
            held.remove(0, start);
        }
        if (got < 0)
            readAll = false;
        gzclose(in);
        if (!going)
            break;
    }
    return readAll;
}
