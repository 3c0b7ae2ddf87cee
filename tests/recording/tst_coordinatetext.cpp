#include "recording/CoordinateText.h"

#include <QLocale>
#include <QTest>
#include <clocale>
#include <limits>

class TestCoordinateText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void convert_data();
    void convert();
    void convertUnderDecimalComma_data() { convert_data(); }
    void convertUnderDecimalComma();

    void notFinite_data();
    void notFinite();
};

void TestCoordinateText::cleanup()
{
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C");
}

void TestCoordinateText::convert_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<bool>("lat");
    QTest::addColumn<bool>("withDot");
    QTest::addColumn<QString>("expected");

    // Input, as latitude and as longitude, dotted; the undotted form is the
    // same text without its first point.
    struct Worked {
        const char *name;
        double degrees;
        const char *latitude;
        const char *longitude;
    };
    const Worked worked[] = {
        {"51.502", 51.502, "51.30.12N", "051.30.12E"},
        {"51.5", 51.5, "51.30.00N", "051.30.00E"},
        {"51.05", 51.05, "51.03.00N", "051.03.00E"},
        {"51.001 keeps its 0.06 minutes in place", 51.001, "51.00.06N", "051.00.06E"},
        {"-33.8688 truncates 52.128 minutes", -33.8688, "33.52.12S", "033.52.12W"},
        {"151.2093", 151.2093, "151.12.55N", "151.12.55E"},
        {"5.5 pads the degrees", 5.5, "05.30.00N", "005.30.00E"},
        {"-0.125 below one degree", -0.125, "00.07.50S", "000.07.50W"},
        {"0 is not negative", 0.0, "00.00.00N", "000.00.00E"},
        {"180 is not shortened", 180.0, "180.00.00N", "180.00.00E"},
        {"51.99999999 carries into the degrees", 51.99999999, "52.00.00N", "052.00.00E"},
        // The seventh place rounds a half up: 0.0001667 degrees is 0.010002
        // minutes, where 0.0001666 would show 0.00.
        {"12.00016665 rounds its tie up", 12.00016665, "12.00.01N", "012.00.01E"},
        {"-12.00016665 rounds its tie away from zero", -12.00016665, "12.00.01S", "012.00.01W"},
    };
    for (const Worked &w : worked) {
        const QString latitude = QString::fromLatin1(w.latitude);
        const QString longitude = QString::fromLatin1(w.longitude);
        QTest::addRow("%s as latitude, dotted", w.name) << w.degrees << true << true << latitude;
        QTest::addRow("%s as longitude, dotted", w.name) << w.degrees << false << true << longitude;
        QTest::addRow("%s as latitude, undotted", w.name)
            << w.degrees << true << false << QString(latitude).remove(latitude.indexOf(QLatin1Char('.')), 1);
        QTest::addRow("%s as longitude, undotted", w.name)
            << w.degrees << false << false << QString(longitude).remove(longitude.indexOf(QLatin1Char('.')), 1);
    }

    QTest::addRow("undotted example 51.502 latitude") << 51.502 << true << false << QStringLiteral("5130.12N");
    QTest::addRow("undotted example 5.5 latitude") << 5.5 << true << false << QStringLiteral("0530.00N");
    QTest::addRow("undotted example -0.125 longitude") << -0.125 << false << false << QStringLiteral("00007.50W");
    QTest::addRow("table example 51.502 undotted longitude") << 51.502 << false << false << QStringLiteral("05130.12E");

    QTest::addRow("0.8688 is 52.128 minutes, shown 52.12") << 0.8688 << true << true << QStringLiteral("00.52.12N");
    QTest::addRow("0.99999 is 59.9994 minutes, the largest text")
        << 0.99999 << true << true << QStringLiteral("00.59.99N");
    QTest::addRow("-0.0 is not negative") << -0.0 << false << true << QStringLiteral("000.00.00E");
    QTest::addRow("a hundredth of a minute") << 1.0 / 6000 << true << true << QStringLiteral("00.00.01N");
    QTest::addRow("0.01 degrees is 0.6 minutes") << 0.01 << false << true << QStringLiteral("000.00.60E");
    QTest::addRow("below 1e-7 rounds to zero") << 1e-300 << true << true << QStringLiteral("00.00.00N");
    QTest::addRow("-90 south pole") << -90.0 << true << true << QStringLiteral("90.00.00S");
    QTest::addRow("-180 dateline west") << -180.0 << false << false << QStringLiteral("18000.00W");
    QTest::addRow("three-digit latitude undotted is not cut") << 180.0 << true << false << QStringLiteral("18000.00N");
    QTest::addRow("huge value written out without exponent")
        << 1e20 << true << true << QStringLiteral("100000000000000000000.00.00N");
    QTest::addRow("3090.12 minutes in single precision")
        << double(3090.12f / 60.0f) << true << true << QStringLiteral("51.30.12N");
    QTest::addRow("-7.5 minutes in single precision")
        << double(-7.5f / 60.0f) << false << true << QStringLiteral("000.07.50W");
}

void TestCoordinateText::convert()
{
    QFETCH(double, degrees);
    QFETCH(bool, lat);
    QFETCH(bool, withDot);
    QFETCH(QString, expected);

    QCOMPARE(convertDecimaltoLatORLon(degrees, lat, withDot), expected);
}

void TestCoordinateText::convertUnderDecimalComma()
{
    QFETCH(double, degrees);
    QFETCH(bool, lat);
    QFETCH(bool, withDot);
    QFETCH(QString, expected);

    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(QLocale().toString(1.5), QStringLiteral("1,5"));  // the locale really writes commas
    // The C library's own locale too, where this machine has a German one.
    std::setlocale(LC_ALL, "de_DE.UTF-8");

    QCOMPARE(convertDecimaltoLatORLon(degrees, lat, withDot), expected);
}

void TestCoordinateText::notFinite_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<bool>("lat");
    QTest::addColumn<bool>("withDot");
    QTest::addColumn<QString>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addRow("NaN latitude dotted") << nan << true << true << QStringLiteral("00.00.00N");
    QTest::addRow("NaN longitude dotted") << nan << false << true << QStringLiteral("000.00.00W");
    QTest::addRow("NaN latitude undotted") << nan << true << false << QStringLiteral("0000.00N");
    QTest::addRow("NaN longitude undotted") << nan << false << false << QStringLiteral("00000.00W");
    QTest::addRow("+inf latitude keeps N") << inf << true << true << QStringLiteral("00.00.00N");
    QTest::addRow("-inf latitude keeps N") << -inf << true << true << QStringLiteral("00.00.00N");
    QTest::addRow("+inf longitude keeps W") << inf << false << true << QStringLiteral("000.00.00W");
    QTest::addRow("-inf longitude undotted") << -inf << false << false << QStringLiteral("00000.00W");
}

void TestCoordinateText::notFinite()
{
    QFETCH(double, degrees);
    QFETCH(bool, lat);
    QFETCH(bool, withDot);
    QFETCH(QString, expected);

    QCOMPARE(convertDecimaltoLatORLon(degrees, lat, withDot), expected);
}

QTEST_GUILESS_MAIN(TestCoordinateText)
#include "tst_coordinatetext.moc"
