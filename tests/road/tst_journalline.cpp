#include "road/JournalLine.h"

#include <QTest>
#include <QTimeZone>

class TestJournalLine : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void formatReadsBack();
};

void TestJournalLine::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isEntry");
    QTest::addColumn<QString>("heardAt");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("packet");

    QTest::addRow("rf port") << QByteArray("2026-12-07T18:04:05.123Z 101 N0CALL>APRS:!5230.00N/01320.00E-\n") << true
                             << "2026-12-07T18:04:05.123Z" << 101 << QByteArray("N0CALL>APRS:!5230.00N/01320.00E-");
    QTest::addRow("crlf, port 0") << QByteArray("2026-01-31T00:00:00.000Z 0 A>B:>hi\r\n") << true
                                  << "2026-01-31T00:00:00.000Z" << 0 << QByteArray("A>B:>hi");
    QTest::addRow("NUL kept") << QByteArray("2026-01-31T00:00:00.000Z 1 A>B:>h\0i", 35) << true
                              << "2026-01-31T00:00:00.000Z" << 1 << QByteArray("A>B:>h\0i", 8);
    QTest::addRow("no packet") << QByteArray("2026-01-31T00:00:00.000Z 1 ") << false << "" << 0 << QByteArray();
    QTest::addRow("no port") << QByteArray("2026-01-31T00:00:00.000Z A>B:>hi") << false << "" << 0 << QByteArray();
    QTest::addRow("negative port") << QByteArray("2026-01-31T00:00:00.000Z -1 A>B:>hi") << false << "" << 0
                                   << QByteArray();
    QTest::addRow("port too big") << QByteArray("2026-01-31T00:00:00.000Z 40000 A>B:>hi") << false << "" << 0
                                  << QByteArray();
    QTest::addRow("Feb 30") << QByteArray("2026-02-30T00:00:00.000Z 1 A>B:>hi") << false << "" << 0 << QByteArray();
    QTest::addRow("no zone") << QByteArray("2026-01-31T00:00:00.000 1 A>B:>hi") << false << "" << 0 << QByteArray();
    QTest::addRow("TNC2 line") << QByteArray("N0CALL>APRS:!5230.00N/01320.00E-") << false << "" << 0 << QByteArray();
}

void TestJournalLine::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, isEntry);
    const auto entry = JournalLine::parse(line);
    QCOMPARE(entry.has_value(), isEntry);
    if (!entry)
        return;
    QFETCH(QString, heardAt);
    QFETCH(int, port);
    QFETCH(QByteArray, packet);
    QCOMPARE(entry->heardAtUtc, QDateTime::fromString(heardAt, Qt::ISODateWithMs));
    QCOMPARE(entry->heardAtUtc.timeSpec(), Qt::UTC);
    QCOMPARE(int(entry->radioPort), port);
    QCOMPARE(entry->packet.toByteArray(), packet);
}

void TestJournalLine::formatReadsBack()
{
    // A local time is written as the same instant in UTC.
    const QDateTime heard = QDateTime(QDate(2026, 7, 1), QTime(12, 30, 15, 7), QTimeZone(3600 * 5));
    const QByteArray line = JournalLine::format(heard, 7, "A>B:>status");
    QCOMPARE(line, QByteArray("2026-07-01T07:30:15.007Z 7 A>B:>status\n"));
    const auto entry = JournalLine::parse(line);
    QVERIFY(entry);
    QCOMPARE(entry->heardAtUtc, heard);
}

QTEST_APPLESS_MAIN(TestJournalLine)
#include "tst_journalline.moc"
