// The report in a real browser (Debian's Chromium, headless): the page runs
// without a script error, the map draws each station where it is in the
// colour of its kind with the mobile station's track, the popup tells what
// was heard, and the weather chart has the station's readings.

#include "RecordedStations.h"
#include "report/DtstampText.h"
#include "report/ReportCommand.h"
#include "report/ReportPage.h"
#include "support/HeadlessChromium.h"

#include <QColor>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The page's colours of the three kinds and of a track over land.
const QColor FixedColour(0x1f, 0x6f, 0xd1);
const QColor WeatherColour(0x1f, 0x9d, 0x3a);
const QColor MobileColour(0xd6, 0x33, 0x1f);
const QColor TrackOverLand(227, 136, 121);

constexpr int Width = 1000;
constexpr int Height = 800;

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

QString colourText(const QColor &c)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// The text of an element's content, tags dropped and entities read.
QString plainText(QString html)
{
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return html.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

qint64 seconds(const QString &dtstamp)
{
    qint64 value = 0;
    parseDtstamp(dtstamp, value);
    return value;
}

// Stations the bridge may well record but the morning's sample lacks: one
// heard both as fixed and as mobile, and objects named like the properties
// every JavaScript object has.
ReportData stationsOfEveryName()
{
    ReportData data;
    StationSummary both;
    both.callsign = QStringLiteral("DL1ABC-7");
    both.kind = 2;
    both.firstHeard = seconds(QStringLiteral("2004-05-06 14:00:00"));
    both.lastHeard = seconds(QStringLiteral("2004-05-06 14:40:00"));
    both.beacons = 2;
    both.latitudeDeg = 48.1;
    both.longitudeDeg = 11.6;
    both.symbol = QStringLiteral("/>");
    both.everMobile = true;
    both.track = {{both.firstHeard, 48.0, 11.5}, {both.lastHeard, 48.1, 11.6}};
    both.fixedAt = both.firstHeard;
    both.comment = QStringLiteral("At home");
    both.fixedPath = QStringLiteral("APRS,WIDE1-1,HOME*");
    both.mobileAt = both.lastHeard;
    both.speedKmh = 52;
    both.courseDeg = 90;
    both.mobilePath = QStringLiteral("APRS,WIDE2-2,ROAD*");
    data.stations << both;
    for (const char *name : {"__proto__", "constructor", "toString"}) {
        StationSummary object;
        object.callsign = QString::fromLatin1(name);
        object.objectOwner = both.callsign;
        object.firstHeard = object.lastHeard = both.firstHeard;
        object.beacons = 1;
        object.latitudeDeg = 48.2;
        object.longitudeDeg = 11.4;
        object.symbol = QStringLiteral("/;");
        object.fixedAt = object.firstHeard;
        object.comment = QStringLiteral("Field day");
        data.stations << object;
    }
    // One sent without a GPS fix and one whose latest position is a jump:
    // both listed, neither counted by Fit, the first not on the map at all.
    StationSummary noFix;
    noFix.callsign = QStringLiteral("NOFIX");
    noFix.firstHeard = noFix.lastHeard = both.firstHeard;
    noFix.beacons = 1;
    noFix.symbol = QStringLiteral("/-");
    noFix.noFix = true;
    data.stations << noFix;
    StationSummary jumped = noFix;
    jumped.callsign = QStringLiteral("JUMPED");
    jumped.noFix = false;
    jumped.jumped = true;
    jumped.latitudeDeg = -33.9;
    jumped.longitudeDeg = 151.2;
    data.stations << jumped;
    // A weather station silent for a day between its second and third reading.
    QList<WeatherSample> samples(3);
    for (int i = 0; i < 3; ++i) {
        samples[i].seconds = both.firstHeard + i * 600 + (i == 2 ? 86400 : 0);
        samples[i].tempC = 10 + i;
    }
    data.weather[QStringLiteral("WX2GAP")] = samples;
    data.stationRows = data.fixedRows = 6;
    data.mobileRows = 1;
    data.weatherRows = 3;
    return data;
}

// data-view-deg: south, west, north, east of what the map shows.
QList<double> viewDegrees(const QString &dom)
{
    const QRegularExpression attribute(QStringLiteral("data-view-deg=\"([^\"]+)\""));
    QList<double> result;
    for (const QString &part : attribute.match(dom).captured(1).split(QLatin1Char(',')))
        result << part.toDouble();
    return result;
}

QList<QPointF> polylinePoints(const QString &points)
{
    QList<QPointF> list;
    for (const QString &pair : points.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList xy = pair.split(QLatin1Char(','));
        list << QPointF(xy.value(0).toDouble(), xy.value(1).toDouble());
    }
    return list;
}

}  // namespace

class TestReportBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pageRunsAndShowsEverything();
    void stationOnTheMap_data();
    void stationOnTheMap();
    void nothingHeard();
    void oddStations_data();
    void oddStations();
    void fitLeavesOutNoFixAndJumps();
    void startsAtHome();

private:
    int makeReport(const QString &since, const QString &file);
    QUrl pageUrl(const QString &fragment = QString()) const;
    void requireCleanRun(const HeadlessChromium &browser, const QByteArray &dom);

    QTemporaryDir mDir;
};

void TestReportBrowser::initTestCase()
{
    if (!HeadlessChromium::available())
        QFAIL("no /usr/bin/chromium: bash scripts/install-packages.sh test installs it");
    QVERIFY(mDir.isValid());
    RecordedStations::store(testDatabase(QStringLiteral("sqlite"), mDir.filePath(QStringLiteral("keldan.db"))));
    QCOMPARE(makeReport(RecordedStations::Since, QStringLiteral("report.html")), 0);
    QFile odd(mDir.filePath(QStringLiteral("odd.html")));
    QVERIFY(odd.open(QIODevice::WriteOnly));
    QVERIFY(odd.write(ReportPage().render(stationsOfEveryName())) > 0);
    QFile home(mDir.filePath(QStringLiteral("home.html")));
    QVERIFY(home.open(QIODevice::WriteOnly));
    ReportPage homePage;
    homePage.home = std::make_pair(50.0, 8.0);
    QVERIFY(home.write(homePage.render(stationsOfEveryName())) > 0);
}

int TestReportBrowser::makeReport(const QString &since, const QString &file)
{
    ReportCommand command;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status =
        command.run({QStringLiteral("keldan-report"), QStringLiteral("--dsn"), QStringLiteral("myodbc3-test"),
                        QStringLiteral("--database"), mDir.filePath(QStringLiteral("keldan.db")),
                        QStringLiteral("--since"), since, QStringLiteral("-o"), mDir.filePath(file)},
            outStream, errStream);
    errStream.flush();
    if (status != 0)
        qWarning("%s", qPrintable(err));
    return status;
}

QUrl TestReportBrowser::pageUrl(const QString &fragment) const
{
    QUrl url = QUrl::fromLocalFile(mDir.filePath(QStringLiteral("report.html")));
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url;
}

void TestReportBrowser::requireCleanRun(const HeadlessChromium &browser, const QByteArray &dom)
{
    QVERIFY2(browser.failure.isEmpty(), qPrintable(browser.failure));
    QVERIFY2(!browser.log.contains(QLatin1String("Uncaught")), qPrintable(browser.log));
    // The root element's attributes: the page's script sets them when it
    // ends, the error catcher when a script fails.
    const qsizetype start = dom.indexOf("<html");
    const QByteArray root = dom.mid(start, dom.indexOf('>', start) - start);
    QVERIFY2(root.contains("data-render-ms="), "the page's script did not run to its end");
    QVERIFY2(!root.contains("data-script-errors"), root.constData());
}

void TestReportBrowser::pageRunsAndShowsEverything()
{
    HeadlessChromium browser;
    const QByteArray domBytes = browser.dumpDom(pageUrl());
    requireCleanRun(browser, domBytes);
    if (QTest::currentTestFailed())
        return;
    const QString dom = QString::fromUtf8(domBytes);

    // Every station of the period is on the map, OLD1 is not.
    QVERIFY(dom.contains(QLatin1String("data-markers=\"3\"")));
    QVERIFY(!dom.contains(QLatin1String("OLD1")));
    QVERIFY(dom.contains(QLatin1String("3 stations from 9 beacons, since 2004-05-06 14:00:00 (local time)")));

    // The table: latest first; markup in a comment is shown as text.
    QStringList order;
    const QRegularExpression row(QStringLiteral("<tr data-callsign=\"([^\"]+)\""));
    for (auto match = row.globalMatch(dom); match.hasNext();)
        order << match.next().captured(1);
    QCOMPARE(order, QStringList({"WX1ABC", "N0CALL-9", "N0CALL"}));
    QVERIFY(dom.contains(QLatin1String("PHG2360 &lt;b&gt;its&lt;/b&gt; 5C &lt;/script&gt;&lt;script&gt;alert(1)")));

    // The temperature chart: three readings, left to right, rising.
    const QRegularExpression temperature(
        QStringLiteral("<polyline points=\"([^\"]+)\" stroke=\"#d6331f\" data-series=\"temperature\""));
    const QRegularExpressionMatch found = temperature.match(dom);
    QVERIFY2(found.hasMatch(), "no temperature line");
    const QList<QPointF> points = polylinePoints(found.captured(1));
    QCOMPARE(points.size(), 3);
    QVERIFY(points.at(0).x() < points.at(1).x() && points.at(1).x() < points.at(2).x());
    QVERIFY(points.at(0).y() > points.at(1).y() && points.at(1).y() > points.at(2).y());  // SVG y grows down
    // The reading without pressure breaks that line in two.
    QCOMPARE(dom.count(QLatin1String("data-series=\"pressure\"")), 2);
    QCOMPARE(dom.count(QLatin1String("<figure class=\"chart\"")), 5);
}

void TestReportBrowser::stationOnTheMap_data()
{
    QTest::addColumn<QString>("callsign");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QStringList>("popup");
    QTest::addColumn<bool>("track");

    QTest::addRow("fixed, an object") << "N0CALL" << FixedColour
                                      << QStringList {"KindFixed object of N0CALL-2", "Last heard2004-05-06 14:30:30",
                                             "Symbol\\k (SUV)", "Position51.5020°N 0.1250°W", "StatusOn the air",
                                             "Comment" + RecordedStations::Comment}
                                      << false;
    QTest::addRow("mobile") << "N0CALL-9" << MobileColour
                            << QStringList {"KindMobile", "Last heard2004-05-06 14:35:00",
                                   "Beacons5 since 2004-05-06 14:31:00", "Symbol/> (car)", "Speed44 km/h, course 270°",
                                   "PathAPRS,WIDE1-1,WIDE2-1"}
                            << true;
    QTest::addRow("weather") << "WX1ABC" << WeatherColour
                             << QStringList {"KindWeather", "Last heard2004-05-06 14:50:00",
                                    "Symbol/_ (weather station)", "Position47.0000°N 4.8000°E",
                                    "Weather-1.5 °C, 1013.2 hPa, 55 %, wind 8.5 m/s"}
                             << false;
}

// "#station=CALL" centres the map on the station and opens its popup.
void TestReportBrowser::stationOnTheMap()
{
    QFETCH(QString, callsign);
    QFETCH(QColor, colour);
    QFETCH(QStringList, popup);
    QFETCH(bool, track);
    const QString fragment = QStringLiteral("station=") + callsign;

    HeadlessChromium browser;
    const QByteArray domBytes = browser.dumpDom(pageUrl(fragment));
    requireCleanRun(browser, domBytes);
    if (QTest::currentTestFailed())
        return;
    const QString dom = QString::fromUtf8(domBytes);
    const QRegularExpression popupElement(QStringLiteral("<div id=\"popup\" role=\"dialog\"([^>]*)>(.*?)</dl>"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch found = popupElement.match(dom);
    QVERIFY2(found.hasMatch(), "no popup");
    QVERIFY(found.captured(1).contains(QStringLiteral("data-callsign=\"%1\"").arg(callsign)));
    QVERIFY(!found.captured(1).contains(QLatin1String("hidden")));
    const QString text = plainText(found.captured(2));
    QVERIFY2(text.startsWith(QStringLiteral("×") + callsign), qPrintable(text));
    for (const QString &line : popup)
        QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" not in: ") + text));

    // The map fills the window's width and the top 70 % of its height; the
    // chosen station's symbol is drawn at its centre: a badge of its kind's
    // colour with a white glyph in its middle.
    const QImage shot = browser.screenshot(pageUrl(fragment), Width, Height);
    QVERIFY2(browser.failure.isEmpty(), qPrintable(browser.failure));
    QCOMPARE(shot.size(), QSize(Width, Height));
    const QPoint centre(Width / 2, Height * 35 / 100);
    int badge = 0, glyph = 0;
    for (int y = -12; y <= 12; ++y)
        for (int x = -12; x <= 12; ++x) {
            const QColor pixel = shot.pixelColor(centre + QPoint(x, y));
            badge += near(pixel, colour, 12) ? 1 : 0;
            glyph += x * x + y * y <= 5 * 5 && near(pixel, Qt::white, 12) ? 1 : 0;
        }
    QVERIFY2(badge > 60, qPrintable(QString::number(badge) + " pixels of " + colourText(colour)));
    QVERIFY2(glyph > 10, qPrintable(QString::number(glyph) + " white pixels in the badge's middle"));
    int trackPixels = 0;
    for (int y = Height * 35 / 100 - 150; y < Height * 35 / 100 + 150; ++y)
        for (int x = Width / 2 - 150; x < Width / 2 + 150; ++x)
            trackPixels += near(shot.pixelColor(x, y), TrackOverLand, 10) ? 1 : 0;
    if (track)
        QVERIFY2(trackPixels > 50, qPrintable(QString::number(trackPixels) + " track pixels"));
    else
        QCOMPARE(trackPixels, 0);
}

// A period without a beacon: an empty map of the world, and the page says so.
void TestReportBrowser::nothingHeard()
{
    QCOMPARE(makeReport(QStringLiteral("2030-01-01"), QStringLiteral("empty.html")), 0);
    HeadlessChromium browser;
    const QByteArray dom = browser.dumpDom(QUrl::fromLocalFile(mDir.filePath(QStringLiteral("empty.html"))));
    requireCleanRun(browser, dom);
    QVERIFY(dom.contains("data-markers=\"0\""));
    QVERIFY(dom.contains("<p class=\"notice\" id=\"empty-period\">Nothing was heard since 2030-01-01 00:00:00. The "
                         "stations table holds 10 rows, the newest of 2004-05-06 14:50:00: make the report again with "
                         "--since all, or --since 2004-05-06.</p>"));
    QVERIFY(dom.contains("<p id=\"table-more\"><span class=\"empty\">No station.</span></p>"));
    QVERIFY(dom.contains("<p class=\"empty\">No weather station was heard in this period.</p>"));
}

void TestReportBrowser::oddStations_data()
{
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<QString>("callsign");  // whose popup opens; empty for none
    QTest::addColumn<QStringList>("popup");

    QTest::addRow("fixed and mobile rows: both kinds' details")
        << "station=DL1ABC-7"
        << "DL1ABC-7"
        << QStringList {"KindMobile", "CommentAt home", "Fixed pathAPRS,WIDE1-1,HOME*", "Speed52 km/h, course 90°",
               "Mobile pathAPRS,WIDE2-2,ROAD*"};
    for (const char *name : {"__proto__", "constructor", "toString"})
        QTest::addRow("an object named %s", name) << QStringLiteral("station=") + QLatin1String(name) << name
                                                  << QStringList {"KindFixed object of DL1ABC-7", "CommentField day"};
    QTest::addRow("a station hash that is no URI text") << "station=%E0%A4A"
                                                        << "" << QStringList {};
    QTest::addRow("a chart hash that is no URI text") << "wx-%E0%A4A"
                                                      << "" << QStringList {};
}

// The page from data written for it: nothing a station is called, nor what
// the address bar holds, stops the script.
void TestReportBrowser::oddStations()
{
    QFETCH(QString, fragment);
    QFETCH(QString, callsign);
    QFETCH(QStringList, popup);

    HeadlessChromium browser;
    const QString url = QUrl::fromLocalFile(mDir.filePath(QStringLiteral("odd.html"))).toString();
    const QByteArray domBytes = browser.dumpDom(QUrl(url + QLatin1Char('#') + fragment));
    requireCleanRun(browser, domBytes);
    if (QTest::currentTestFailed())
        return;
    const QString dom = QString::fromUtf8(domBytes);
    QVERIFY(dom.contains(QLatin1String("data-markers=\"4\"")));  // JUMPED is far off, NOFIX nowhere
    const QRegularExpression popupElement(QStringLiteral("<div id=\"popup\" role=\"dialog\"([^>]*)>(.*?)</div>"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch found = popupElement.match(dom);
    QVERIFY2(found.hasMatch(), "no popup element");
    if (callsign.isEmpty()) {
        QVERIFY2(found.captured(1).contains(QLatin1String("hidden")), qPrintable(found.captured(0)));
        return;
    }
    QVERIFY(found.captured(1).contains(QStringLiteral("data-callsign=\"%1\"").arg(callsign)));
    const QString text = plainText(found.captured(2));
    QVERIFY2(text.startsWith(QStringLiteral("×") + callsign), qPrintable(text));
    for (const QString &line : popup)
        QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" not in: ") + text));
}

// Fit shows the stations around Munich: not the one at 0° 0°, which is not
// drawn at all, nor the jump to Sydney; the table lists both.
void TestReportBrowser::fitLeavesOutNoFixAndJumps()
{
    HeadlessChromium browser;
    const QByteArray domBytes = browser.dumpDom(QUrl::fromLocalFile(mDir.filePath(QStringLiteral("odd.html"))));
    requireCleanRun(browser, domBytes);
    if (QTest::currentTestFailed())
        return;
    const QString dom = QString::fromUtf8(domBytes);
    const QList<double> view = viewDegrees(dom);
    QCOMPARE(view.size(), 4);
    QVERIFY2(view[0] > 40 && view[2] < 56 && view[1] > 2 && view[3] < 21,
        qPrintable(QStringLiteral("the view is %1").arg(dom.section(QLatin1String("data-view-deg=\""), 1).left(40))));
    QVERIFY(dom.contains(QLatin1String("data-markers=\"4\"")));
    QVERIFY(dom.contains(QLatin1String("<tr data-callsign=\"NOFIX\">")));
    QVERIFY(dom.contains(QStringLiteral("no position (0° 0°)")));
    QVERIFY(dom.contains(QLatin1String("<tr data-callsign=\"JUMPED\">")));
    // The day without readings breaks the temperature line in two.
    QCOMPARE(dom.count(QLatin1String("data-series=\"temperature\"")), 2);
}

// With a home position the map starts there, about 3° across, whatever the
// stations are.
void TestReportBrowser::startsAtHome()
{
    HeadlessChromium browser;
    const QByteArray domBytes = browser.dumpDom(QUrl::fromLocalFile(mDir.filePath(QStringLiteral("home.html"))));
    requireCleanRun(browser, domBytes);
    if (QTest::currentTestFailed())
        return;
    const QList<double> view = viewDegrees(QString::fromUtf8(domBytes));
    QCOMPARE(view.size(), 4);
    QVERIFY(qAbs((view[1] + view[3]) / 2 - 8.0) < 0.01);
    QVERIFY(view[0] < 50.0 && view[2] > 50.0);
    QVERIFY(qAbs((view[0] + view[2]) / 2 - 50.0) < 0.2);
    const double across = qMin(view[3] - view[1], view[2] - view[0]);
    QVERIFY2(across > 1 && across < 5, qPrintable(QString::number(across)));
}

QTEST_MAIN(TestReportBrowser)
#include "tst_reportbrowser.moc"
