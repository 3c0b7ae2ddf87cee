// keldan-report's command line on a SQLite database the bridge filled: what
// it writes, and how each kind of failure is told.

#include "RecordedStations.h"
#include "report/ReportCommand.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestReportCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void run_data();
    void run();
    void commentCannotEndTheScript();

private:
    int runReport(QStringList arguments, QString &out, QString &err);

    QTemporaryDir mDir;
    TestDatabase mDb;
};

void TestReportCommand::initTestCase()
{
    QVERIFY(mDir.isValid());
    mDb = testDatabase(QStringLiteral("sqlite"), mDir.filePath(QStringLiteral("keldan.db")));
    RecordedStations::store(mDb);
    QFile ini(mDir.filePath(QStringLiteral("keldan.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("DATABASE=" + mDb.database.toUtf8() + "\r\nUSERNAME=sa\r\nDSN=myodbc3-test\r\n");
    // A database without tables: the data source creates no file itself.
    createSqliteFile(testDatabase(QStringLiteral("sqlite"), mDir.filePath(QStringLiteral("empty.db"))));
}

int TestReportCommand::runReport(QStringList arguments, QString &out, QString &err)
{
    for (QString &argument : arguments) {
        argument.replace(QLatin1String("{db}"), mDb.database);
        argument.replace(QLatin1String("{dir}"), mDir.path());
    }
    arguments.prepend(QStringLiteral("keldan-report"));
    ReportCommand command;
    // An hour after the last beacon, in local time as the rows are.
    command.clock = [] { return SampleStamp.addSecs(3600); };
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int status = command.run(arguments, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return status;
}

void TestReportCommand::run_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");  // what standard error starts with
    QTest::addColumn<QString>("hint");     // what else it says; empty for nothing
    QTest::addColumn<QByteArray>("data");  // what the page's data holds; empty for nothing

    const QStringList sqlite = {"--dsn", "myodbc3-test", "--user", "sa", "--database", "{db}"};
    QTest::addRow("the last 24 hours")
        << (sqlite + QStringList {"--since", "24h", "-o", "{dir}/day.html"}) << 0
        << "9 stations rows (3 stations, 1 tracks), 1 fixed, 5 mobile, 3 weather rows (1 weather stations) since "
           "2004-05-05 15:30:00; read in"
        << QString() << QByteArray();
    QTest::addRow("every row")
        << (sqlite + QStringList {"--since", "all", "-o", "{dir}/all.html"}) << 0
        << "10 stations rows (4 stations, 1 tracks), 2 fixed, 5 mobile, 3 weather rows (1 weather stations) every row"
        << QString() << QByteArray();
    QTest::addRow("a window with nothing in it")
        << (sqlite + QStringList {"--since", "2020-01-01", "-o", "{dir}/empty.html"}) << 0
        << "0 stations rows (0 stations, 0 tracks), 0 fixed, 0 mobile, 0 weather rows (0 weather stations)"
        << "Nothing heard since 2020-01-01 00:00:00: the stations table holds 10 rows, the newest of 2004-05-06 "
           "14:50:00. Try --since all, or --since 2004-05-06.\n"
        << QByteArray("\"allRows\":10,\"newest\":\"2004-05-06 14:50:00\"");
    QTest::addRow("a home position") << (sqlite
        + QStringList {"--since", "all", "--home", "51.5,-0.12", "-o", "{dir}/home.html"})
                                     << 0 << "10 stations rows" << QString() << QByteArray("\"home\":[51.5,-0.12]");
    QTest::addRow("a home off the globe")
        << (sqlite + QStringList {"--home", "95,0"}) << 2
        << "keldan-report: --home 95,0: give latitude,longitude in degrees" << QString() << QByteArray();
    QTest::addRow("a home of one number")
        << (sqlite + QStringList {"--home", "51.5"}) << 2
        << "keldan-report: --home 51.5: give latitude,longitude in degrees" << QString() << QByteArray();
    QTest::addRow("no tables") << QStringList {"--dsn", "myodbc3-test", "--database", "{dir}/empty.db", "-o",
        "{dir}/x.html"} << 1 << "keldan-report: database: HY000 [1] [SQLite]no such table: stations (1)"
                               << QString() << QByteArray();
    // The bridge's keldan.ini in the program folder names the data source.
    QTest::addRow("the data source of keldan.ini")
        << QStringList {"--program-folder", "{dir}", "--since", "all", "-o", "{dir}/ini.html"} << 0
        << "10 stations rows (4 stations, 1 tracks)" << QString() << QByteArray();
}

void TestReportCommand::run()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, hint);
    QFETCH(QByteArray, data);
    message.replace(QLatin1String("{dir}"), mDir.path());
    QString out, err;
    QCOMPARE(runReport(arguments, out, err), status);
    QVERIFY2(err.startsWith(message), qPrintable(err));
    QVERIFY2(err.contains(hint), qPrintable(err));
    if (hint.isEmpty())
        QVERIFY2(!err.contains(QLatin1String("Nothing heard")), qPrintable(err));
    if (status == 0) {
        QFile page(arguments.last().replace(QLatin1String("{dir}"), mDir.path()));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        QVERIFY(html.startsWith("<!DOCTYPE html>"));
        QVERIFY2(html.contains(data), data.constData());
    }
}

// Markup in a comment reaches the page as JSON text only: nothing in it can
// close the data's <script> element and start one of its own.
void TestReportCommand::commentCannotEndTheScript()
{
    QString out, err;
    QCOMPARE(runReport({"--dsn", "myodbc3-test", "--database", "{db}", "--since", "all", "--title",
                           "Mine </title><script>alert(2)</script>", "-o", "{dir}/markup.html"},
                 out, err),
        0);
    QFile file(mDir.filePath(QStringLiteral("markup.html")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray page = file.readAll();
    QCOMPARE(page.count("<script"), 4);  // the error catcher, the data, the outline, the page's script
    QCOMPARE(page.count("</script>"), 4);
    QVERIFY(page.contains("<title>Mine &lt;/title&gt;&lt;script&gt;alert(2)&lt;/script&gt;</title>"));
    QVERIFY(page.contains("\"cm\":\"PHG2360 \\u003cb\\u003eits\\u003c/b\\u003e 5C \\u003c/script\\u003e"));
}

QTEST_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
