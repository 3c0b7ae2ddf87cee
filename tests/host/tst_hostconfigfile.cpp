#include "host/HostConfigFile.h"
#include "host/HostSettingsStore.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using Values = QMap<QString, QString>;

// The service's settings file: its lines, what a reader gets from it, and the
// file the package installs.
class TestHostConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Values>("values");
        QTest::addColumn<QStringList>("problems");

        QTest::addRow("comments and blank lines")
            << QByteArray("# Feed = kiss://a:1\n; Callsign = X\n\n   \n  #Web = 1.2.3.4:5\n") << Values {}
            << QStringList {};
        QTest::addRow("blanks around key and value, inner ones kept")
            << QByteArray("  Feed   2 =  aprs-is://127.0.0.1:14580  \nTime Zone=UTC\n")
            << Values {{"Feed 2", "aprs-is://127.0.0.1:14580"}, {"Time Zone", "UTC"}} << QStringList {};
        QTest::addRow("a value as it stands: commas, '=', '#'")
            << QByteArray("Exclusions = N0CALL-*, *-15\nFeed = file:/var/log/a=b#1\n")
            << Values {{"Exclusions", "N0CALL-*, *-15"}, {"Feed", "file:/var/log/a=b#1"}} << QStringList {};
        QTest::addRow("an empty value is set and empty")
            << QByteArray("Web =\n") << Values {{"Web", ""}} << QStringList {};
        QTest::addRow("CR LF line ends") << QByteArray("Callsign = N0CALL\r\nPasscode = -1\r\n")
                                         << Values {{"Callsign", "N0CALL"}, {"Passcode", "-1"}} << QStringList {};
        QTest::addRow("feed lookalikes go through to the feed check")
            << QByteArray("Feed 1 = kiss://127.0.0.1:8001\n") << Values {{"Feed 1", "kiss://127.0.0.1:8001"}}
            << QStringList {};
        QTest::addRow("a line without '='")
            << QByteArray("Feed = kiss://127.0.0.1:8001\n[General]\n") << Values {{"Feed", "kiss://127.0.0.1:8001"}}
            << QStringList {"line 2: \"[General]\" is no \"Key = value\" line"};
        QTest::addRow("no key") << QByteArray("= 5\n") << Values {}
                                << QStringList {"line 1: \"= 5\" has no key before the \"=\""};
        QTest::addRow("an unknown key, and a key in the wrong case")
            << QByteArray("Journal Days = 7\nProgram Folder = /opt\ntime zone = UTC\n")
            << Values {{"Journal Days", "7"}}
            << QStringList {"line 2: \"Program Folder\" is no setting; the settings are Feed, Callsign, Passcode, "
                            "Filter, Latitude, Longitude, Exclusions, Replay Rate, Time Zone, Journal Days, Web, "
                            "Feed 2 ... Feed 99",
                   "line 3: \"time zone\" is no setting; the settings are Feed, Callsign, Passcode, Filter, "
                   "Latitude, Longitude, Exclusions, Replay Rate, Time Zone, Journal Days, Web, Feed 2 ... Feed 99"};
        QTest::addRow("a key twice: the first stands")
            << QByteArray("Web = 127.0.0.1:8073\nWeb = 127.0.0.1:9000\n") << Values {{"Web", "127.0.0.1:8073"}}
            << QStringList {"line 2: Web is set a second time"};
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(Values, values);
        QFETCH(QStringList, problems);
        const HostConfigFile::Contents contents = HostConfigFile::parse(text);
        QCOMPARE(contents.values, values);
        QCOMPARE(contents.problems, problems);
    }

    void unreadable()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(HostConfigFile::read(dir.filePath(QStringLiteral("none.conf"))).problems,
            QStringList {"cannot be read (No such file or directory)"});
        QCOMPARE(HostConfigFile::read(dir.path()).problems, QStringList {"is a folder, not a settings file"});
    }

    // The store the host reads once --config chose the file: the file's values,
    // a list value as one text, and nothing of the per-user store.
    void storeOnTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("user")));
        {
            const auto user = HostSettingsStore::open();
            user->setValue(QStringLiteral("Callsign"), QStringLiteral("USER"));
        }
        const QString path = dir.filePath(QStringLiteral("keldan.conf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Feed 2 = kiss://127.0.0.1:8001\nExclusions = A*, B*\nWeb =\nbogus line\n");
        file.close();

        HostSettingsStore::useConfigFile(path);
        const auto store = HostSettingsStore::open();
        HostSettingsStore::useConfigFile(QString());
        QCOMPARE(store->value(QStringLiteral("Feed 2")).toString(), QStringLiteral("kiss://127.0.0.1:8001"));
        QCOMPARE(store->value(QStringLiteral("Exclusions")), QVariant(QStringLiteral("A*, B*")));
        QVERIFY(store->contains(QStringLiteral("Web")));
        QCOMPARE(store->value(QStringLiteral("Web"), QStringLiteral("default")).toString(), QString());
        QVERIFY(!store->contains(QStringLiteral("Callsign")));
        QCOMPARE(HostSettingsStore::open()->value(QStringLiteral("Callsign")).toString(), QStringLiteral("USER"));
    }

    // The installed /etc/keldan/keldan.conf shows every setting, commented out,
    // so that as installed it sets nothing and has no problem.
    void packagedFileShowsEverySetting()
    {
        const QString path = QStringLiteral(KELDAN_SOURCE_DIR "/packaging/keldan.conf");
        const HostConfigFile::Contents contents = HostConfigFile::read(path);
        QCOMPARE(contents.problems, QStringList {});
        QCOMPARE(contents.values, Values {});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const QString &key : HostConfigFile::keys()) {
            const QRegularExpression commented(
                QStringLiteral("^#%1 = ").arg(QRegularExpression::escape(key)), QRegularExpression::MultilineOption);
            QVERIFY2(text.contains(commented), qPrintable(key));
        }
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("^#Feed 2 = "), QRegularExpression::MultilineOption)));
    }
};

QTEST_GUILESS_MAIN(TestHostConfigFile)
#include "tst_hostconfigfile.moc"
