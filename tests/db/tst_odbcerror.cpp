// The error numbers and texts the status line and message boxes show.

#include "db/OdbcError.h"

#include <QTest>

class TestOdbcError : public QObject
{
    Q_OBJECT

private slots:
    void statusNumber_data();
    void statusNumber();
    void meansConnectionLost_data();
    void meansConnectionLost();
    void describeListsEveryRecord();
    void noDiagnosticAtAll();
};

void TestOdbcError::statusNumber_data()
{
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<qint32>("nativeError");
    QTest::addColumn<int>("expected");

    QTest::addRow("native error wins") << QStringLiteral("28000") << 1045 << 1045;
    QTest::addRow("negative native error is kept") << QStringLiteral("HY000") << -1 << -1;
    QTest::addRow("driver manager class") << QStringLiteral("IM002") << 0 << 6001;
    QTest::addRow("connection class") << QStringLiteral("08001") << 0 << 6008;
    QTest::addRow("connection not open") << QStringLiteral("08003") << 0 << 6008;
    QTest::addRow("authorisation class") << QStringLiteral("28P01") << 0 << 6028;
    QTest::addRow("syntax class") << QStringLiteral("42601") << 0 << 6042;
    QTest::addRow("data class") << QStringLiteral("22007") << 0 << 6022;
    QTest::addRow("constraint class") << QStringLiteral("23505") << 0 << 6023;
    QTest::addRow("general error class") << QStringLiteral("HY000") << 0 << 6100;
    QTest::addRow("lower-case class") << QStringLiteral("hy000") << 0 << 6100;
    QTest::addRow("other class") << QStringLiteral("01004") << 0 << 6999;
    QTest::addRow("empty state") << QString() << 0 << 6999;
}

void TestOdbcError::statusNumber()
{
    QFETCH(QString, sqlState);
    QFETCH(qint32, nativeError);
    QFETCH(int, expected);

    const OdbcError error(QStringLiteral("SQLDriverConnect"),
        {{sqlState, nativeError, QStringLiteral("first")}, {QStringLiteral("01000"), 7, "second"}});
    QCOMPARE(error.statusNumber(), expected);
    QCOMPARE(error.sqlState(), sqlState);
    QCOMPARE(error.nativeError(), nativeError);
}

void TestOdbcError::meansConnectionLost_data()
{
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<qint32>("nativeError");
    QTest::addColumn<bool>("lost");

    QTest::addRow("communication link failure") << QStringLiteral("08S01") << 2013 << true;
    QTest::addRow("server refused the connection") << QStringLiteral("08001") << 101 << true;
    QTest::addRow("MariaDB: server has gone away") << QStringLiteral("HY000") << 2006 << true;
    QTest::addRow("MariaDB: lost connection during query") << QStringLiteral("HY000") << 2013 << true;
    QTest::addRow("no such table") << QStringLiteral("42P01") << 1 << false;
    QTest::addRow("duplicate key") << QStringLiteral("23505") << 1 << false;
    QTest::addRow("PostgreSQL statement timeout") << QStringLiteral("57014") << 1 << false;
    QTest::addRow("MariaDB lock wait timeout") << QStringLiteral("HY000") << 1205 << false;
    QTest::addRow("query timeout") << QStringLiteral("HYT00") << 0 << false;
}

void TestOdbcError::meansConnectionLost()
{
    QFETCH(QString, sqlState);
    QFETCH(qint32, nativeError);
    QFETCH(bool, lost);
    const OdbcError error(QStringLiteral("SQLExecDirect"), {{sqlState, nativeError, QStringLiteral("first")}});
    QCOMPARE(error.meansConnectionLost(), lost);
}

void TestOdbcError::describeListsEveryRecord()
{
    const OdbcError error(QStringLiteral("SQLExecDirect"),
        {{QStringLiteral("42000"), 1064, QStringLiteral("You have an error in your SQL syntax")},
            {QStringLiteral("01000"), 0, QStringLiteral("General warning")}});
    QCOMPARE(error.describe(),
        QStringLiteral("42000 [1064] You have an error in your SQL syntax\n"
                       "01000 [0] General warning"));
    QCOMPARE(QString::fromStdString(error.what()),
        QStringLiteral("SQLExecDirect failed: 42000 [1064] You have an error in your SQL syntax\n"
                       "01000 [0] General warning"));
    QCOMPARE(error.diagnostics().size(), 2);
    QCOMPARE(error.operation(), QStringLiteral("SQLExecDirect"));
}

void TestOdbcError::noDiagnosticAtAll()
{
    const OdbcError error(QStringLiteral("SQLDisconnect"), {});
    QCOMPARE(error.statusNumber(), 6999);
    QCOMPARE(error.describe(), QString());
    QCOMPARE(QString::fromStdString(error.what()), QStringLiteral("SQLDisconnect failed"));
}

QTEST_GUILESS_MAIN(TestOdbcError)
#include "tst_odbcerror.moc"
