// Where keldan-import and keldan-report find the data source and its
// password, against PostgreSQL, which checks it: keldan.ini in the program
// folder, KELDAN_PASSWORD over it, --password-file over both; never the
// arguments.

#include "ProgramRun.h"
#include "TestDatabases.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestProgramLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void login_data();
    void login();

private:
    void writeFile(const QString &name, const QByteArray &content);

    QTemporaryDir mDir;
    TestDatabase mDb;
};

void TestProgramLogin::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(mDir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

void TestProgramLogin::initTestCase()
{
    QVERIFY(mDir.isValid());
    mDb = testDatabase(QStringLiteral("postgres"), QString());
    recreateTables(mDb);
    writeFile(QStringLiteral("day.log"), "2024-05-05 12:00:00 N0CALL>APRS:!5100.00N/00800.00E-\n");
    writeFile(QStringLiteral("right.txt"), mDb.password.toUtf8() + "\nsecond line\n");
    writeFile(QStringLiteral("wrong.txt"), "not-" + mDb.password.toUtf8() + "\r\n");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(mDir.filePath(QStringLiteral("config"))));
}

void TestProgramLogin::login_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("iniPassword");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("environment");  // KELDAN_PASSWORD, when not null
    QTest::addColumn<int>("status");

    const QString right = testDatabase(QStringLiteral("postgres"), QString()).password;
    const QString wrong = "not-" + right;
    for (const QString program : {"keldan-import", "keldan-report"}) {
        const QByteArray nameBytes = program.toUtf8();
        const char *name = nameBytes.constData();
        const QStringList target =
            program == QLatin1String("keldan-import") ? QStringList {"@/day.log"} : QStringList {"-o", "@/x.html"};
        QTest::addRow("%s: keldan.ini's password", name) << program << right << target << QString() << 0;
        QTest::addRow("%s: a wrong password in keldan.ini", name) << program << wrong << target << QString() << 1;
        QTest::addRow("%s: KELDAN_PASSWORD over keldan.ini's", name) << program << wrong << target << right << 0;
        QTest::addRow("%s: a wrong KELDAN_PASSWORD", name) << program << right << target << wrong << 1;
        QTest::addRow("%s: --password-file over KELDAN_PASSWORD", name)
            << program << wrong << (QStringList {"--password-file", "@/right.txt"} + target) << wrong << 0;
        QTest::addRow("%s: a wrong password in the file", name)
            << program << right << (QStringList {"--password-file", "@/wrong.txt"} + target) << right << 1;
    }
}

void TestProgramLogin::login()
{
    QFETCH(QString, program);
    QFETCH(QString, iniPassword);
    QFETCH(QStringList, arguments);
    QFETCH(QString, environment);
    QFETCH(int, status);
    for (QString &argument : arguments) {
        argument.replace(QLatin1Char('@'), mDir.path());
        QVERIFY(!argument.contains(mDb.password));
    }
    // The bridge's Setup writes these; the program folder is the default one.
    writeFile(QStringLiteral("keldan.ini"),
        QStringLiteral("DATABASE=%1\r\nUSERNAME=%2\r\nDSN=%3\r\nPASSWORD=%4\r\n")
            .arg(mDb.database, mDb.user, mDb.dsn, iniPassword)
            .toUtf8());
    QProcessEnvironment env;
    if (!environment.isNull())
        env.insert(QStringLiteral("KELDAN_PASSWORD"), environment);

    const ProgramRun run = ProgramRun::of(program, arguments, mDir.path(), env);
    QVERIFY2(run.status == status, qPrintable(run.err));
    if (status == 1)
        QVERIFY2(run.err.contains(QLatin1String("password authentication failed")), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestProgramLogin)
#include "tst_programlogin.moc"
