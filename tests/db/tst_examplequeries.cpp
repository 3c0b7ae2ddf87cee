// Every example query of docs/queries.md, as written there, on SQLite,
// PostgreSQL and MariaDB, against the rows the beacon road stores for
// tests/data/import/day.log.

#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "import/LogImporter.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The "### title" and the ```sql block under it, for each example.
QMap<QString, QString> documentedQueries()
{
    QFile file(QStringLiteral(KELDAN_SOURCE_DIR "/docs/queries.md"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression example(QStringLiteral("^### ([^\\n]+)\\n+```sql\\n(.*?)```"),
        QRegularExpression::MultilineOption | QRegularExpression::DotMatchesEverythingOption);
    QMap<QString, QString> queries;
    for (auto it = example.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        queries.insert(match.captured(1).trimmed(), match.captured(2).trimmed());
    }
    return queries;
}

// Numbers by value (each driver prints them its own way), the rest as text.
QString normalised(const QString &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? QString::number(number, 'g', 6) : value;
}

QStringList normalisedRows(const QList<QStringList> &rows)
{
    QStringList out;
    for (const QStringList &row : rows) {
        QStringList values;
        for (const QString &value : row)
            values << normalised(value);
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

}  // namespace

class TestExampleQueries : public QObject
{
    Q_OBJECT

private slots:
    void everyExampleIsTested();
    void runs_data();
    void runs();

private:
    static QMap<QString, QStringList> expectedResults();
};

QMap<QString, QStringList> TestExampleQueries::expectedResults()
{
    return {
        {QStringLiteral("Latest position of every station"),
            {"DB0XYZ|2024-05-06 10:31:00|51|9|/#|0", "DL1ABC-9|2024-05-06 10:30:00|52|7|/>|2",
                "DL2WX|2024-05-08 00:00:00|52|8|/_|1", "DL3FIX|2024-05-06 11:45:00|51.1667|9.16667|/-|0"}},
        // Two beacons in the 10:00:00 second, each once, told apart by beacon_seq.
        {QStringLiteral("A mobile station's track over a day"),
            {"2024-05-06 09:00:00|1|51.25|7|37.04|90|152.4", "2024-05-06 09:30:00|1|51.5|7|55.56|90|152.4",
                "2024-05-06 10:00:00|1|51.75|7|74.08|90|152.4", "2024-05-06 10:00:00|2|51.75|7.25|74.08|90|152.4",
                "2024-05-06 10:30:00|1|52|7|92.6|90|152.4"}},
        {QStringLiteral("A weather station's readings over a week"),
            {"2024-05-01 08:00:00|10|1010|80|180|4.4704|6.7056|0", "2024-05-03 08:00:00|15|1011|70|180|4.4704|6.7056|0",
                "2024-05-06 10:00:00|20|1013.2|55|180|4.4704|6.7056|0",
                "2024-05-07 23:59:59|5|1009|90|180|4.4704|6.7056|0"}},
        {QStringLiteral("Stations heard per hour"),
            {"2024-05-06 09:00|2|3", "2024-05-06 10:00|3|5", "2024-05-06 11:00|1|2"}},
        {QStringLiteral("Who was heard directly, and who via digipeaters"),
            {"DL1ABC-9|4|1|2024-05-06 10:30:00", "DL3FIX|2|0|2024-05-06 11:45:00", "DB0XYZ|1|1|2024-05-06 10:31:00",
                "DL2WX|1|0|2024-05-06 10:00:00"}},
        {QStringLiteral("Fixed stations with their latest comment and status"),
            {"DB0XYZ|2024-05-06 10:31:00|51|9|/#|digi on the hill|",
                "DL3FIX|2024-05-06 11:45:00|51.1667|9.16667|/-|home again|at home all day"}},
    };
}

void TestExampleQueries::everyExampleIsTested()
{
    QCOMPARE(documentedQueries().keys(), expectedResults().keys());
}

void TestExampleQueries::runs_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("title");
    for (const char *name : {"sqlite", "postgres", "mariadb"}) {
        for (const QString &title : expectedResults().keys())
            QTest::addRow("%s: %s", name, qPrintable(title)) << QString::fromLatin1(name) << title;
    }
}

void TestExampleQueries::runs()
{
    QFETCH(QString, database);
    QFETCH(QString, title);

    // One import per database, kept for all of its queries.
    static QTemporaryDir dir;
    static QSet<QString> filled;
    const TestDatabase db = testDatabase(database, dir.filePath(QStringLiteral("keldan.db")));
    if (!filled.contains(database)) {
        KELDAN_REQUIRE_DATABASE(db);
        recreateTables(db);
        OdbcConnection connection(QStringLiteral("import"));
        connection.open(db.connectionString());
        LogImporter importer(StationSettings(), connection, LogImporter::Options());
        const ImportSummary summary = importer.run({QStringLiteral(KELDAN_TEST_DATA "/import/day.log")});
        connection.close();
        QCOMPARE(summary.stored, 15);
        filled.insert(database);
    }

    const QString query = documentedQueries().value(title);
    QVERIFY(!query.isEmpty());
    QCOMPARE(normalisedRows(queryRows(db, query)), expectedResults().value(title));
}

QTEST_GUILESS_MAIN(TestExampleQueries)
#include "tst_examplequeries.moc"
