#pragma once

#include "report/ReportData.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>

// The report as one HTML file that needs nothing else: the page's style,
// script, the map outline and the data are all inside it, so it opens
// offline and can be mailed or archived as it is.
class ReportPage
{
public:
    QString title = QStringLiteral("Stations heard");
    // "local time" or "UTC": what the stored time stamps are.
    QString timeBase = QStringLiteral("local time");
    QString generatedAt;  // in the same time base
    // The station's own position (latitude, longitude in degrees): the map
    // starts there. Without it the map starts showing every station.
    std::optional<std::pair<double, double>> home;

    QByteArray render(const ReportData &data) const;

    // The data part alone, as the page's script reads it.
    QByteArray dataJson(const ReportData &data) const;
};
