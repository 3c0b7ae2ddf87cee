#include "db/LiteralRule.h"

#include "db/OdbcError.h"

#include <QStringList>

namespace LiteralRule {

namespace {

QString settingName(Family family)
{
    return family == Family::PostgreSql ? QStringLiteral("standard_conforming_strings") : QStringLiteral("sql_mode");
}

}  // namespace

Family family(const QString &dbmsName)
{
    if (dbmsName.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return Family::PostgreSql;
    if (dbmsName.contains(QLatin1String("MySQL"), Qt::CaseInsensitive)
        || dbmsName.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
        return Family::MySql;
    return Family::Standard;
}

QString settingQuery(Family family)
{
    switch (family) {
    case Family::PostgreSql:
        return QStringLiteral("select current_setting('standard_conforming_strings')");
    case Family::MySql:
        return QStringLiteral("select @@session.sql_mode");
    case Family::Standard:
        break;
    }
    return QString();
}

SqlDialect fromSetting(Family family, const QString &value)
{
    switch (family) {
    case Family::Standard:
        return SqlDialect::Standard;
    case Family::PostgreSql:
        if (value.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
            return SqlDialect::Standard;
        if (value.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
            return SqlDialect::BackslashEscapes;
        break;
    case Family::MySql: {
        // A list of mode names, possibly empty; a name with anything but
        // letters, digits and underscores is no mode the server would report.
        const QStringList modes = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        bool wellFormed = true;
        for (const QString &mode : modes) {
            for (const QChar c : mode)
                wellFormed = wellFormed && (c.isLetterOrNumber() || c == QLatin1Char('_')) && c.unicode() < 0x80;
        }
        if (!wellFormed)
            break;
        return modes.contains(QLatin1String("NO_BACKSLASH_ESCAPES"), Qt::CaseInsensitive)
            ? SqlDialect::Standard
            : SqlDialect::BackslashEscapes;
    }
    }
    cannotTell(family, QStringLiteral("it reported %1 = '%2'").arg(settingName(family), value));
}

void cannotTell(Family family, const QString &why)
{
    throw OdbcError(QStringLiteral("Reading %1").arg(settingName(family)),
        {OdbcDiagnostic {QStringLiteral("HY000"), 0,
            QStringLiteral("The server did not tell how it reads a backslash in a text "
                           "literal (%1): %2. Nothing is written until it does.")
                .arg(settingName(family), why)}});
}

}  // namespace LiteralRule
