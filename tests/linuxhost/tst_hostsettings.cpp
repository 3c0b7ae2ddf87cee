#include "linuxhost/HostSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Pairs = QList<QPair<QString, QString>>;

class TestHostSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readsFeed_data();
    void readsFeed();
    void readsLoginAndStation();
    void defaultsWhenEmpty();
    void reportsBadValues_data();
    void reportsBadValues();
    void ignoresValuesTheFeedDoesNotUse();
    void exclusions_data();
    void exclusions();

private:
    HostSettings readPairs(const Pairs &pairs);
    // Writes the store as a text file, as a user would edit it.
    HostSettings readText(const QByteArray &text);
    std::unique_ptr<QTemporaryDir> mDir;
};

void TestHostSettings::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

void TestHostSettings::cleanup()
{
    mDir.reset();
}

HostSettings TestHostSettings::readPairs(const Pairs &pairs)
{
    const QString path = mDir->filePath(QStringLiteral("UI-View32.conf"));
    QFile::remove(path);
    {
        QSettings store(path, QSettings::IniFormat);
        for (const auto &[key, value] : pairs)
            store.setValue(key, value);
    }
    QSettings store(path, QSettings::IniFormat);
    return HostSettings::read(store);
}

HostSettings TestHostSettings::readText(const QByteArray &text)
{
    const QString path = mDir->filePath(QStringLiteral("edited.conf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(text);
    file.close();
    QSettings store(path, QSettings::IniFormat);
    return HostSettings::read(store);
}

void TestHostSettings::readsFeed_data()
{
    QTest::addColumn<QString>("feed");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::addRow("KISS on loopback") << "kiss://127.0.0.1:8001" << int(HostSettings::FeedKind::Kiss) << "127.0.0.1"
                                      << 8001;
    QTest::addRow("KISS on a named host") << "kiss://tnc.local:8105" << int(HostSettings::FeedKind::Kiss)
                                          << "tnc.local" << 8105;
    QTest::addRow("scheme in capitals") << "KISS://127.0.0.1:1" << int(HostSettings::FeedKind::Kiss) << "127.0.0.1"
                                        << 1;
    QTest::addRow("APRS-IS") << "aprs-is://rotate.aprs2.example:14580" << int(HostSettings::FeedKind::AprsIs)
                             << "rotate.aprs2.example" << 14580;
    QTest::addRow("IPv6 in brackets") << "aprs-is://[::1]:65535" << int(HostSettings::FeedKind::AprsIs) << "::1"
                                      << 65535;
    QTest::addRow("blanks around the value") << "  kiss://127.0.0.1:8001  " << int(HostSettings::FeedKind::Kiss)
                                             << "127.0.0.1" << 8001;
}

void TestHostSettings::readsFeed()
{
    QFETCH(QString, feed);
    QFETCH(int, kind);
    QFETCH(QString, host);
    QFETCH(int, port);

    const HostSettings settings = readPairs({{"Feed", feed}, {"Callsign", "N0CALL"}});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(int(settings.feedKind), kind);
    QCOMPARE(settings.feedHost, host);
    QCOMPARE(int(settings.feedPort), port);
}

void TestHostSettings::readsLoginAndStation()
{
    const QString log = mDir->filePath(QStringLiteral("packets.log"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    HostSettings settings = readPairs({{"Feed", "aprs-is://127.0.0.1:14580"},
                                       {"Callsign", "n0call-10"},
                                       {"Passcode", "12345"},
                                       {"Filter", "r/51.5/-0.1/100 t/p"},
                                       {"Latitude", "51.4775"},
                                       {"Longitude", "-0.0014"}});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(settings.callsign, QStringLiteral("N0CALL-10"));
    QCOMPARE(settings.passcode, QStringLiteral("12345"));
    QCOMPARE(settings.filter, QStringLiteral("r/51.5/-0.1/100 t/p"));
    QCOMPARE(settings.latitudeDeg.value_or(999), 51.4775);
    QCOMPARE(settings.longitudeDeg.value_or(999), -0.0014);

    settings = readPairs({{"Feed", "file:" + log}, {"Replay Rate", "2.5"}});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(int(settings.feedKind), int(HostSettings::FeedKind::Log));
    QCOMPARE(settings.logPath, log);
    QCOMPARE(settings.replayRate, 2.5);

    settings = readPairs({{"Time Zone", "utc"}});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(int(settings.timeZone), int(HostSettings::TimeZone::Utc));
    settings = readPairs({{"Time Zone", "Local"}});
    QCOMPARE(int(settings.timeZone), int(HostSettings::TimeZone::Local));

    settings = readPairs({{"Feed", "file://" + log}});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(settings.logPath, log);
    QCOMPARE(settings.replayRate, 20.0);
}

void TestHostSettings::defaultsWhenEmpty()
{
    const HostSettings settings = readPairs({});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(int(settings.feedKind), int(HostSettings::FeedKind::Kiss));
    QCOMPARE(settings.feedHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(int(settings.feedPort), 8001);
    QVERIFY(!settings.latitudeDeg);
    QVERIFY(!settings.longitudeDeg);
    QVERIFY(settings.exclusions.isEmpty());
    QCOMPARE(int(settings.timeZone), int(HostSettings::TimeZone::Local));
}

void TestHostSettings::reportsBadValues_data()
{
    QTest::addColumn<Pairs>("pairs");
    QTest::addColumn<QStringList>("problems");

    const QString usage = QStringLiteral("use kiss://HOST:PORT, aprs-is://HOST:PORT or file:PATH");
    QTest::addRow("unknown scheme")
        << Pairs{{"Feed", "agw://127.0.0.1:8000"}}
        << QStringList{"Feed \"agw://127.0.0.1:8000\" has an unknown scheme \"agw\"; " + usage};
    QTest::addRow("no scheme") << Pairs{{"Feed", "127.0.0.1:8001"}}
                               << QStringList{"Feed \"127.0.0.1:8001\" has no scheme; " + usage};
    QTest::addRow("port too large")
        << Pairs{{"Feed", "kiss://127.0.0.1:65536"}}
        << QStringList{"Feed \"kiss://127.0.0.1:65536\" has a bad port \"65536\"; a port is a number from 1 to 65535"};
    QTest::addRow("port zero")
        << Pairs{{"Feed", "kiss://127.0.0.1:0"}}
        << QStringList{"Feed \"kiss://127.0.0.1:0\" has a bad port \"0\"; a port is a number from 1 to 65535"};
    QTest::addRow("port not a number")
        << Pairs{{"Feed", "kiss://127.0.0.1:kiss"}}
        << QStringList{"Feed \"kiss://127.0.0.1:kiss\" has a bad port \"kiss\"; a port is a number from 1 to 65535"};
    QTest::addRow("no port")
        << Pairs{{"Feed", "kiss://127.0.0.1"}}
        << QStringList{"Feed \"kiss://127.0.0.1\" needs a host and a port, as in kiss://127.0.0.1:8001"};
    QTest::addRow("no host")
        << Pairs{{"Feed", "aprs-is://:14580"}, {"Callsign", "N0CALL"}}
        << QStringList{"Feed \"aprs-is://:14580\" needs a host and a port, as in aprs-is://127.0.0.1:14580"};
    QTest::addRow("file feed without a path") << Pairs{{"Feed", "file:"}}
                                              << QStringList{"Feed \"file:\" names no file; " + usage};
    QTest::addRow("log file missing")
        << Pairs{{"Feed", "file:/nonexistent/keldan/packets.log"}}
        << QStringList{"Feed \"file:/nonexistent/keldan/packets.log\": the log file /nonexistent/keldan/packets.log "
                       "cannot be read (No such file or directory)"};
    QTest::addRow("log file is a folder")
        << Pairs{{"Feed", "file:/tmp"}} << QStringList{"Feed \"file:/tmp\": /tmp is a folder, not a log file"};
    QTest::addRow("APRS-IS without a callsign")
        << Pairs{{"Feed", "aprs-is://127.0.0.1:14580"}}
        << QStringList{"Callsign is empty; an APRS-IS feed needs one to log in"};
    QTest::addRow("APRS-IS with a bad callsign")
        << Pairs{{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0 CALL"}}
        << QStringList{"Callsign \"N0 CALL\" is not a callsign (letters and digits, then -SSID if any)"};
    QTest::addRow("passcode not a number")
        << Pairs{{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0CALL"}, {"Passcode", "secret"}}
        << QStringList{"Passcode \"secret\" is not a passcode; use a number from 0 to 32767, or -1 to receive only"};
    QTest::addRow("passcode too large")
        << Pairs{{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0CALL"}, {"Passcode", "99999"}}
        << QStringList{"Passcode \"99999\" is not a passcode; use a number from 0 to 32767, or -1 to receive only"};
    QTest::addRow("filter with a line break")
        << Pairs{{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0CALL"}, {"Filter", "r/51/0/50\nuser X"}}
        << QStringList{"Filter holds a control character; it must be one line of text"};
    QTest::addRow("latitude without longitude")
        << Pairs{{"Latitude", "51.5"}} << QStringList{"Latitude and Longitude go together; Longitude is missing"};
    QTest::addRow("longitude without latitude")
        << Pairs{{"Longitude", "-0.1"}} << QStringList{"Latitude and Longitude go together; Latitude is missing"};
    QTest::addRow("latitude out of range")
        << Pairs{{"Latitude", "91"}, {"Longitude", "0"}}
        << QStringList{"Latitude \"91\" is not a latitude; use decimal degrees from -90 to 90, north positive"};
    QTest::addRow("longitude with a hemisphere letter")
        << Pairs{{"Latitude", "51.5"}, {"Longitude", "0.1W"}}
        << QStringList{
               "Longitude \"0.1W\" is not a longitude; use decimal degrees from -180 to 180, east positive"};
    QTest::addRow("decimal comma")
        << Pairs{{"Latitude", "51,5"}, {"Longitude", "0"}}
        << QStringList{"Latitude \"51,5\" is not a latitude; use decimal degrees from -90 to 90, north positive"};
    QTest::addRow("replay rate zero")
        << Pairs{{"Feed", "file:/dev/null"}, {"Replay Rate", "0"}}
        << QStringList{"Replay Rate \"0\" is not a rate; use packets per second, above 0 and at most 100000"};
    QTest::addRow("replay rate not a number")
        << Pairs{{"Feed", "file:/dev/null"}, {"Replay Rate", "fast"}}
        << QStringList{"Replay Rate \"fast\" is not a rate; use packets per second, above 0 and at most 100000"};
    QTest::addRow("time zone neither local nor UTC")
        << Pairs{{"Time Zone", "Europe/Berlin"}}
        << QStringList{"Time Zone \"Europe/Berlin\" is not a time zone; use local or UTC"};
    QTest::addRow("two bad values, two messages")
        << Pairs{{"Feed", "kiss://127.0.0.1:0"}, {"Latitude", "north"}, {"Longitude", "0"}}
        << QStringList{"Feed \"kiss://127.0.0.1:0\" has a bad port \"0\"; a port is a number from 1 to 65535",
                       "Latitude \"north\" is not a latitude; use decimal degrees from -90 to 90, north positive"};
}

void TestHostSettings::reportsBadValues()
{
    QFETCH(Pairs, pairs);
    QFETCH(QStringList, problems);
    const HostSettings settings = readPairs(pairs);
    QCOMPARE(settings.problems, problems);
    QVERIFY(!settings.isUsable());
}

void TestHostSettings::ignoresValuesTheFeedDoesNotUse()
{
    // A KISS feed needs no login and no replay rate.
    const HostSettings settings =
        readPairs({{"Feed", "kiss://127.0.0.1:8001"}, {"Passcode", "secret"}, {"Replay Rate", "fast"}});
    QCOMPARE(settings.problems, QStringList());
}

void TestHostSettings::exclusions_data()
{
    QTest::addColumn<QByteArray>("storeText");
    QTest::addColumn<QStringList>("excluded");
    QTest::addColumn<QStringList>("kept");

    QTest::addRow("commas, as a user types them")
        << QByteArray("[General]\nExclusions=N0CALL, TEST*,*-15\n")
        << QStringList{"N0CALL", "n0call", "TEST", "TESTER-1", "K1ABC-15"}
        << QStringList{"N0CALL-1", "ATEST", "K1ABC-1", "K1ABC-150"};
    QTest::addRow("blanks") << QByteArray("[General]\nExclusions=N?CALL  W1AW-?\n")
                            << QStringList{"N0CALL", "N1CALL", "W1AW-1", "w1aw-9"}
                            << QStringList{"NCALL", "N10CALL", "W1AW", "W1AW-10"};
    QTest::addRow("quoted list") << QByteArray("[General]\nExclusions=\"a*z, ??\"\n")
                                 << QStringList{"AZ", "ABCZ", "K1", "k2"} << QStringList{"ZAB", "ABC", "K"};
    QTest::addRow("none") << QByteArray("[General]\nExclusions=\n") << QStringList{} << QStringList{"N0CALL", ""};
}

void TestHostSettings::exclusions()
{
    QFETCH(QByteArray, storeText);
    QFETCH(QStringList, excluded);
    QFETCH(QStringList, kept);
    const HostSettings settings = readText(storeText);
    QCOMPARE(settings.problems, QStringList());
    for (const QString &callsign : excluded)
        QVERIFY2(settings.exclusions.matches(callsign), qPrintable(callsign));
    for (const QString &callsign : kept)
        QVERIFY2(!settings.exclusions.matches(callsign), qPrintable(callsign));
}

QTEST_GUILESS_MAIN(TestHostSettings)
#include "tst_hostsettings.moc"
