// The report's period from its command-line words, and the time stamps it
// reads, without a database.

#include "report/DtstampText.h"
#include "report/ReportPeriod.h"

#include <QTest>
#include <QTimeZone>
#include <stdexcept>

class TestReportPeriod : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void dtstamp_data();
    void dtstamp();
    void wallClock_data();
    void wallClock();
};

namespace {

qint64 at(const char *text)
{
    qint64 seconds = 0;
    if (!parseDtstamp(QString::fromLatin1(text), seconds))
        throw std::invalid_argument(text);
    return seconds;
}

}  // namespace

void TestReportPeriod::parse_data()
{
    QTest::addColumn<QString>("since");
    QTest::addColumn<QString>("until");
    QTest::addColumn<QString>("where");  // or the error's start
    QTest::addRow("all") << "all"
                         << ""
                         << "";
    QTest::addRow("24h back from now") << "24h"
                                       << ""
                                       << " where t >= '2026-03-28 12:00:00'";
    QTest::addRow("90 minutes") << "90m"
                                << ""
                                << " where t >= '2026-03-29 10:30:00'";
    QTest::addRow("7 days") << "7d"
                            << ""
                            << " where t >= '2026-03-22 12:00:00'";
    QTest::addRow("2 weeks") << "2w"
                             << ""
                             << " where t >= '2026-03-15 12:00:00'";
    QTest::addRow("a date is its midnight") << "2026-03-01"
                                            << ""
                                            << " where t >= '2026-03-01 00:00:00'";
    QTest::addRow("minutes without seconds") << "2026-03-01 08:15"
                                             << "2026-03-02"
                                             << " where t >= '2026-03-01 08:15:00' and t < '2026-03-02 00:00:00'";
    QTest::addRow("an end alone") << "all"
                                  << "1h"
                                  << " where t < '2026-03-29 11:00:00'";
    QTest::addRow("a word") << "yesterday"
                            << ""
                            << "--since \"yesterday\"";
    QTest::addRow("no such month") << "2026-13-01"
                                   << ""
                                   << "--since \"2026-13-01\"";
    QTest::addRow("all is no end") << "24h"
                                   << "all"
                                   << "--until \"all\"";
    QTest::addRow("end before start") << "1h"
                                      << "2h"
                                      << "--until 2026-03-29 10:00:00 is not after";
}

void TestReportPeriod::parse()
{
    QFETCH(QString, since);
    QFETCH(QString, until);
    QFETCH(QString, where);
    const qint64 now = at("2026-03-29 12:00:00");
    try {
        const ReportPeriod period = ReportPeriod::parse(since, until, now);
        QCOMPARE(period.whereClause(QStringLiteral("t")), where);
    } catch (const std::invalid_argument &e) {
        const QString message = QString::fromUtf8(e.what());
        QVERIFY2(where.startsWith(QLatin1String("--")) && message.startsWith(where), qPrintable(message));
    }
}

void TestReportPeriod::dtstamp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("back");  // dtstampText of what was read
    QTest::addRow("as stored") << "2004-05-06 14:30:00" << true << "2004-05-06 14:30:00";
    QTest::addRow("before 1970") << "1969-12-31 23:59:59" << true << "1969-12-31 23:59:59";
    QTest::addRow("ISO T and a fraction") << "2004-05-06T14:30:00.000" << true << "2004-05-06 14:30:00";
    QTest::addRow("a leap day") << "2024-02-29 00:00:00" << true << "2024-02-29 00:00:00";
    QTest::addRow("no leap day") << "2023-02-29 00:00:00" << false << "";
    QTest::addRow("hour 24") << "2004-05-06 24:00:00" << false << "";
    QTest::addRow("no seconds") << "2004-05-06 14:30" << false << "";
    QTest::addRow("a zone after it") << "2004-05-06 14:30:00+02" << false << "";
    QTest::addRow("empty (NULL)") << "" << false << "";
}

void TestReportPeriod::dtstamp()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, back);
    qint64 seconds = 0;
    QCOMPARE(parseDtstamp(text, seconds), valid);
    if (valid)
        QCOMPARE(dtstampText(seconds), back);
}

void TestReportPeriod::wallClock_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");  // dtstampText of its seconds
    QTest::addRow("the reading in its own zone, not the instant")
        << QDateTime(QDate(2004, 5, 6), QTime(17, 30, 15), QTimeZone(7200)) << "2004-05-06 17:30:15";
    QTest::addRow("milliseconds dropped")
        << QDateTime(QDate(2004, 5, 6), QTime(23, 59, 59, 999), QTimeZone::utc()) << "2004-05-06 23:59:59";
    QTest::addRow("before 1970") << QDateTime(QDate(1969, 12, 31), QTime(23, 0, 1), QTimeZone(-3600))
                                 << "1969-12-31 23:00:01";
}

// The report's "now": what the clock reads where the rows were stored.
void TestReportPeriod::wallClock()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(dtstampText(dtstampSeconds(time)), text);
}

QTEST_APPLESS_MAIN(TestReportPeriod)
#include "tst_reportperiod.moc"
