// The test databases' own helpers, which every database test relies on.

#include "TestDatabases.h"

#include <QTest>

class TestTestDatabases : public QObject
{
    Q_OBJECT

private slots:
    void connectionStrings_data();
    void connectionStrings();
    void splitSqlScript_data();
    void splitSqlScript();
    void schemaFilesExist();
    void unreachableDatabaseHasAReason();
};

void TestTestDatabases::connectionStrings_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addRow("sqlite") << "sqlite"
                            << "DATABASE=/tmp/x.db;UID=sa;PWD=;DSN=myodbc3-test";
    QTest::addRow("postgres") << "postgres"
                              << "DATABASE=keldan;UID=keldan;PWD=keldan;DSN=keldan-postgres";
    QTest::addRow("mariadb") << "mariadb"
                             << "DATABASE=keldan;UID=keldan;PWD=keldan;DSN=keldan-mariadb";
}

void TestTestDatabases::connectionStrings()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(testDatabase(name, QStringLiteral("/tmp/x.db")).connectionString(), expected);
    const QList<TestDatabase> all = testDatabases(QStringLiteral("/tmp/x.db"));
    QCOMPARE(all.size(), 3);
    QVERIFY(std::any_of(all.begin(), all.end(),
        [&](const TestDatabase &db) { return db.name == name && db.connectionString() == expected; }));
}

void TestTestDatabases::splitSqlScript_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("statements");
    QTest::addRow("comment lines dropped") << "-- a; b\nCREATE TABLE t (a INT);\n  -- c;\n"
                                           << QStringList {"CREATE TABLE t (a INT)"};
    QTest::addRow("two statements, last without ';'")
        << "CREATE TABLE t (a INT);\nCREATE INDEX i ON t (a)"
        << QStringList {"CREATE TABLE t (a INT)", "CREATE INDEX i ON t (a)"};
    QTest::addRow("empty statements skipped") << ";;\n;" << QStringList {};
}

void TestTestDatabases::splitSqlScript()
{
    QFETCH(QString, script);
    QFETCH(QStringList, statements);
    QCOMPARE(::splitSqlScript(script), statements);
}

void TestTestDatabases::schemaFilesExist()
{
    for (const TestDatabase &db : testDatabases(QStringLiteral("/tmp/x.db"))) {
        const QString file = schemaFile(db);
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QFile script(file);
        QVERIFY(script.open(QIODevice::ReadOnly));
        QCOMPARE(::splitSqlScript(QString::fromUtf8(script.readAll())).filter("CREATE TABLE IF NOT EXISTS").size(), 4);
    }
}

void TestTestDatabases::unreachableDatabaseHasAReason()
{
    TestDatabase db = testDatabase(QStringLiteral("postgres"), QString());
    db.dsn = QStringLiteral("keldan-no-such-source");
    const QString reason = unreachableReason(db);
    QVERIFY2(reason.startsWith(QLatin1String("postgres (DSN keldan-no-such-source) does not accept a connection: "
                                             "IM002 [0] ")),
        qPrintable(reason));
    QVERIFY2(reason.contains(QLatin1String("scripts/db-servers.sh start")), qPrintable(reason));
}

QTEST_GUILESS_MAIN(TestTestDatabases)
#include "tst_testdatabases.moc"
