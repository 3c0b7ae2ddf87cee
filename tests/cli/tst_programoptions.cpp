// The command line keldan, keldan-import and keldan-report share, each run
// in-process: the same options, messages and exit statuses, and every
// argument and file checked before the database is touched (the data source
// "no-such-dsn" would end in status 1).

#include "ProgramRun.h"
#include "version/KeldanVersion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestProgramOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void run_data();
    void run();

private:
    QTemporaryDir mDir;
};

void TestProgramOptions::initTestCase()
{
    QVERIFY(mDir.isValid());
    QVERIFY(QDir(mDir.path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(mDir.path()).mkpath(QStringLiteral("folder.log")));
    QFile log(mDir.filePath(QStringLiteral("day.log")));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("2024-05-05 12:00:00 N0CALL>APRS:!5100.00N/00800.00E-\n");
    // The host settings of keldan-import: none, all defaults.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(mDir.filePath(QStringLiteral("config"))));
}

void TestProgramOptions::run_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // what standard output starts with
    QTest::addColumn<QString>("err");  // what standard error starts with

    const QStringList nowhere = {"--dsn", "no-such-dsn"};
    const QString version =
        QStringLiteral("%1.%2.%3\n").arg(KeldanVersion::Major).arg(KeldanVersion::Minor).arg(KeldanVersion::Patch);
    for (const QString program : {"keldan", "keldan-import", "keldan-report"}) {
        const QByteArray nameBytes = program.toUtf8();
        const char *name = nameBytes.constData();
        QTest::addRow("%s --version", name)
            << program << QStringList {"--version"} << 0 << program + " " + version << "";
        QTest::addRow("%s -v", name) << program << QStringList {"-v"} << 0 << program + " " + version << "";
        QTest::addRow("%s --help", name) << program << QStringList {"--help"} << 0 << "Usage: "
                                         << "";
        QTest::addRow("%s: an unknown option", name)
            << program << QStringList {"--colour"} << 2 << ""
            << program + ": Unknown option 'colour'.\nTry '" + program + " --help' for more information.\n";
        QTest::addRow("%s: a zone that is neither", name) << program << QStringList {"--time-zone", "CET"} << 2 << ""
                                                          << program + ": --time-zone 'CET': use local or UTC.";
        QTest::addRow("%s: a program folder that is not there", name)
            << program << QStringList {"--program-folder", "@/none"} << 2 << ""
            << program + ": the program folder '@/none' does not exist.";
    }
    for (const QString program : {"keldan-import", "keldan-report"}) {
        const QByteArray nameBytes = program.toUtf8();
        const char *name = nameBytes.constData();
        // What the program works on: a log in, or the page out.
        const bool import = program == QLatin1String("keldan-import");
        const QStringList target = import ? QStringList {"@/day.log"} : QStringList {"-o", "@/x.html"};
        QTest::addRow("%s: --password is gone", name)
            << program << (QStringList {"--password", "secret"} + target) << 2 << ""
            << program
                + ": --password is gone, since every user of the machine sees the arguments; use "
                  "--password-file FILE, the environment variable KELDAN_PASSWORD or keldan.ini's PASSWORD=";
        QTest::addRow("%s: a password file that is not there", name)
            << program << (nowhere + QStringList {"--password-file", "@/none"} + target) << 2 << ""
            << program + ": the password file '@/none' does not exist.";
        QTest::addRow("%s: a password file that cannot be read", name)
            << program << (nowhere + QStringList {"--password-file", "@/bin"} + target) << 3 << ""
            << program + ": cannot read the password file '@/bin': ";
        QTest::addRow("%s: a data source that is not there", name)
            << program << (nowhere + target) << 1 << ""
            << program + (import ? ": cannot connect to no-such-dsn: " : ": database: ");
    }
    QTest::addRow("keldan-import: no log") << "keldan-import" << nowhere << 2 << ""
                                           << "keldan-import: no log file given.";
    QTest::addRow("keldan-import: a log that is not there")
        << "keldan-import" << (nowhere + QStringList {"@/day.log", "@/none.log"}) << 2 << ""
        << "keldan-import: the log '@/none.log' does not exist.";
    QTest::addRow("keldan-import: a log that cannot be read")
        << "keldan-import" << (nowhere + QStringList {"@/folder.log"}) << 3 << ""
        << "keldan-import: cannot read the log '@/folder.log': Is a folder";
    QTest::addRow("keldan-import: a batch of none")
        << "keldan-import" << (nowhere + QStringList {"--batch", "0", "@/day.log"}) << 2 << ""
        << "keldan-import: --batch '0': use a number of beacons, 1 or more.";
    QTest::addRow("keldan-import: a log time that is neither")
        << "keldan-import" << (nowhere + QStringList {"--log-time", "GMT", "@/day.log"}) << 2 << ""
        << "keldan-import: --log-time 'GMT': use local or UTC.";
    QTest::addRow("keldan-report: a stray word")
        << "keldan-report" << (nowhere + QStringList {"report.html"}) << 2 << ""
        << "keldan-report: unexpected argument 'report.html'.";
    QTest::addRow("keldan-report: a period that does not read")
        << "keldan-report" << (nowhere + QStringList {"--since", "last week"}) << 2 << ""
        << "keldan-report: --since \"last week\": give a span";
    QTest::addRow("keldan-report: an output folder that is not there")
        << "keldan-report" << (nowhere + QStringList {"-o", "@/no/such/folder/report.html"}) << 3 << ""
        << "keldan-report: cannot write @/no/such/folder/report.html: ";
    QTest::addRow("keldan-report: --utc is still taken, with a warning")
        << "keldan-report" << (nowhere + QStringList {"--utc", "-o", "@/x.html"}) << 1 << ""
        << "keldan-report: --utc is deprecated; use --time-zone UTC\nkeldan-report: database: ";
}

void TestProgramOptions::run()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const auto here = [this](QString text) { return text.replace(QLatin1Char('@'), mDir.path()); };
    for (QString &argument : arguments)
        argument = here(argument);
    const ProgramRun run = ProgramRun::of(program, arguments, mDir.filePath(QStringLiteral("bin")));
    QVERIFY2(run.status == status, qPrintable(run.err));
    // Nothing written is a null string, which starts with no empty one.
    const auto startsWith = [](const QString &text, const QString &start) {
        return start.isEmpty() || text.startsWith(start);
    };
    QVERIFY2(startsWith(run.out, here(out)), qPrintable(run.out));
    QVERIFY2(startsWith(run.err, here(err)), qPrintable(run.err));
    if (out.isEmpty())
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    if (err.isEmpty())
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestProgramOptions)
#include "tst_programoptions.moc"
