#include "road/StationSettings.h"

QString StationSettings::textValue(QSettings &store, const QString &key)
{
    const QVariant value = store.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).trimmed();
    return value.toString().trimmed();
}

void StationSettings::readStation(QSettings &store, QStringList &problems)
{
    const QString latText = textValue(store, QStringLiteral("Latitude"));
    const QString lonText = textValue(store, QStringLiteral("Longitude"));
    if (!latText.isEmpty() && !lonText.isEmpty()) {
        bool latOk = false;
        bool lonOk = false;
        const double lat = latText.toDouble(&latOk);
        const double lon = lonText.toDouble(&lonOk);
        if (!latOk || lat < -90 || lat > 90)
            problems << QStringLiteral("Latitude \"%1\" is not a latitude; use decimal degrees from -90 to 90, "
                                       "north positive")
                            .arg(latText);
        if (!lonOk || lon < -180 || lon > 180)
            problems << QStringLiteral("Longitude \"%1\" is not a longitude; use decimal degrees from -180 to 180, "
                                       "east positive")
                            .arg(lonText);
        if (latOk && lonOk && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180) {
            latitudeDeg = lat;
            longitudeDeg = lon;
        }
    } else if (!latText.isEmpty() || !lonText.isEmpty()) {
        problems << QStringLiteral("Latitude and Longitude go together; %1 is missing")
                        .arg(latText.isEmpty() ? QStringLiteral("Latitude") : QStringLiteral("Longitude"));
    }

    const QString zone = textValue(store, QStringLiteral("Time Zone"));
    if (zone.isEmpty() || zone.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0)
        timeZone = TimeZone::Local;
    else if (zone.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0)
        timeZone = TimeZone::Utc;
    else
        problems << QStringLiteral("Time Zone \"%1\" is not a time zone; use local or UTC").arg(zone);

    exclusions = CallsignPatternList::fromText(textValue(store, QStringLiteral("Exclusions")));
}
