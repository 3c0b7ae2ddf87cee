#include "linuxhost/HostSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using Pairs = QList<QPair<QString, QString>>;

class TestHostSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readsFeed_data();
    void readsFeed();
    void readsSeveralFeeds();
    void readsLoginAndStation();
    void defaultsWhenEmpty();
    void reportsBadValues_data();
    void reportsBadValues();
    void ignoresValuesTheFeedDoesNotUse();
    void exclusions_data();
    void exclusions();
    void webAddress_data();
    void webAddress();

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
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("baudRate");

    const int kiss = int(FeedSettings::Kind::Kiss);
    const int agw = int(FeedSettings::Kind::Agw);
    const int aprsIs = int(FeedSettings::Kind::AprsIs);
    const int serial = int(FeedSettings::Kind::Serial);
    QTest::addRow("KISS on loopback") << "kiss://127.0.0.1:8001" << kiss << "127.0.0.1" << 8001 << "" << 9600;
    QTest::addRow("KISS on a named host") << "kiss://tnc.local:8105" << kiss << "tnc.local" << 8105 << "" << 9600;
    QTest::addRow("scheme in capitals") << "KISS://127.0.0.1:1" << kiss << "127.0.0.1" << 1 << "" << 9600;
    QTest::addRow("APRS-IS") << "aprs-is://rotate.aprs2.example:14580" << aprsIs << "rotate.aprs2.example" << 14580
                             << "" << 9600;
    QTest::addRow("IPv6 in brackets") << "aprs-is://[::1]:65535" << aprsIs << "::1" << 65535 << "" << 9600;
    QTest::addRow("blanks around the value")
        << "  kiss://127.0.0.1:8001  " << kiss << "127.0.0.1" << 8001 << "" << 9600;
    QTest::addRow("AGW") << "agw://192.168.1.20:8010" << agw << "192.168.1.20" << 8010 << "" << 9600;
    QTest::addRow("AGW on its usual port") << "agw://127.0.0.1" << agw << "127.0.0.1" << 8000 << "" << 9600;
    QTest::addRow("AGW on IPv6, usual port") << "agw://[::1]" << agw << "::1" << 8000 << "" << 9600;
    QTest::addRow("serial TNC at the usual rate")
        << "serial:/dev/ttyUSB0" << serial << "127.0.0.1" << 8001 << "/dev/ttyUSB0" << 9600;
    QTest::addRow("serial TNC at 1200 baud")
        << "serial:/dev/ttyS0@1200" << serial << "127.0.0.1" << 8001 << "/dev/ttyS0" << 1200;
    QTest::addRow("Dire Wolf's pseudo-terminal")
        << "serial:///tmp/kisstnc@115200" << serial << "127.0.0.1" << 8001 << "/tmp/kisstnc" << 115200;
}

void TestHostSettings::readsFeed()
{
    QFETCH(QString, feed);
    QFETCH(int, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, path);
    QFETCH(int, baudRate);

    const HostSettings settings = readPairs({{"Feed", feed}, {"Callsign", "N0CALL"}});
    QCOMPARE(settings.allProblems(), QStringList());
    QVERIFY(settings.isUsable());
    QCOMPARE(settings.feeds.size(), 1);
    const FeedSettings &f = settings.feeds.first();
    QCOMPARE(f.number, 1);
    QCOMPARE(int(f.kind), kind);
    QCOMPARE(f.host, host);
    QCOMPARE(int(f.port), port);
    QCOMPARE(f.path, path);
    QCOMPARE(f.baudRate, baudRate);
}

// Each feed key is one feed, numbered by its key; a feed that cannot be used
// is left out and the others run.
void TestHostSettings::readsSeveralFeeds()
{
    const HostSettings settings = readText("[General]\n"
                                           "Feed=kiss://127.0.0.1:8001\n"
                                           "Feed%202=aprs-is://rotate.aprs2.example:14580\n"
                                           "Feed 3=ax25://nowhere\n"
                                           "Feed%2010=agw://127.0.0.1\n"
                                           "Feed 1=kiss://127.0.0.1:8002\n"
                                           "Callsign=N0CALL\n");
    QList<int> numbers;
    for (const FeedSettings &feed : settings.feeds)
        numbers << feed.number;
    QCOMPARE(numbers, (QList<int> {1, 2, 3, 10}));
    QList<int> usable;
    for (const FeedSettings &feed : settings.usableFeeds())
        usable << feed.number;
    QCOMPARE(usable, (QList<int> {1, 2, 10}));
    QCOMPARE(settings.feeds.at(3).key(), QStringLiteral("Feed 10"));
    QCOMPARE(int(settings.feeds.at(3).kind), int(FeedSettings::Kind::Agw));
    QVERIFY(settings.isUsable());
    QCOMPARE(settings.allProblems(),
        (QStringList {"Feed 3 \"ax25://nowhere\" has an unknown scheme \"ax25\"; use kiss://HOST:PORT, "
                      "agw://HOST:PORT, aprs-is://HOST:PORT, serial:DEVICE@BAUD or file:PATH",
            "\"Feed 1\" is no feed key and is left out; the feeds are Feed, Feed 2, Feed 3 ... Feed 99"}));

    // Without "Feed" there is no default feed besides the ones named.
    const HostSettings second = readPairs({{"Feed 2", "agw://127.0.0.1:8000"}});
    QCOMPARE(second.feeds.size(), 1);
    QCOMPARE(second.feeds.first().number, 2);

    // One login for every APRS-IS feed: without it they are left out, not the others.
    const HostSettings noLogin =
        readPairs({{"Feed", "aprs-is://127.0.0.1:14580"}, {"Feed 2", "kiss://127.0.0.1:8001"}});
    QCOMPARE(noLogin.usableFeeds().size(), 1);
    QCOMPARE(noLogin.usableFeeds().first().number, 2);
    QCOMPARE(noLogin.allProblems(), QStringList {"Callsign is empty; an APRS-IS feed needs one to log in"});
    QVERIFY(noLogin.isUsable());
}

void TestHostSettings::readsLoginAndStation()
{
    const QString log = mDir->filePath(QStringLiteral("packets.log"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    HostSettings settings = readPairs({{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "n0call-10"},
        {"Passcode", "12345"}, {"Filter", "r/51.5/-0.1/100 t/p"}, {"Latitude", "51.4775"}, {"Longitude", "-0.0014"}});
    QCOMPARE(settings.allProblems(), QStringList());
    QCOMPARE(settings.callsign, QStringLiteral("N0CALL-10"));
    QCOMPARE(settings.passcode, QStringLiteral("12345"));
    QCOMPARE(settings.filter, QStringLiteral("r/51.5/-0.1/100 t/p"));
    QCOMPARE(settings.latitudeDeg.value_or(999), 51.4775);
    QCOMPARE(settings.longitudeDeg.value_or(999), -0.0014);

    settings = readPairs({{"Feed", "file:" + log}, {"Replay Rate", "2.5"}});
    QCOMPARE(settings.allProblems(), QStringList());
    QCOMPARE(int(settings.feeds.first().kind), int(FeedSettings::Kind::Log));
    QCOMPARE(settings.feeds.first().path, log);
    QCOMPARE(settings.replayRate, 2.5);

    settings = readPairs({{"Time Zone", "utc"}});
    QCOMPARE(settings.problems, QStringList());
    QCOMPARE(int(settings.timeZone), int(HostSettings::TimeZone::Utc));
    settings = readPairs({{"Time Zone", "Local"}});
    QCOMPARE(int(settings.timeZone), int(HostSettings::TimeZone::Local));

    settings = readPairs({{"Feed", "file://" + log}});
    QCOMPARE(settings.allProblems(), QStringList());
    QCOMPARE(settings.feeds.first().path, log);
    QCOMPARE(settings.replayRate, 20.0);

    // A named pipe is taken without opening it: that would wait for a writer.
    const QString pipe = mDir->filePath(QStringLiteral("live.pipe"));
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    settings = readPairs({{"Feed", "file:" + pipe}});
    QCOMPARE(settings.allProblems(), QStringList());
    QCOMPARE(settings.feeds.first().path, pipe);
}

void TestHostSettings::defaultsWhenEmpty()
{
    const HostSettings settings = readPairs({});
    QCOMPARE(settings.allProblems(), QStringList());
    QCOMPARE(settings.feeds.size(), 1);
    QCOMPARE(settings.feeds.first().key(), QStringLiteral("Feed"));
    QCOMPARE(int(settings.feeds.first().kind), int(FeedSettings::Kind::Kiss));
    QCOMPARE(settings.feeds.first().host, QStringLiteral("127.0.0.1"));
    QCOMPARE(int(settings.feeds.first().port), 8001);
    QVERIFY(!settings.latitudeDeg);
    QVERIFY(!settings.longitudeDeg);
    QVERIFY(settings.exclusions.isEmpty());
    QCOMPARE(int(settings.timeZone), int(HostSettings::TimeZone::Local));
    QCOMPARE(settings.journalDays, 30);
    QCOMPARE(readPairs({{"Journal Days", "0"}}).journalDays, 0);
    QCOMPARE(readPairs({{"Journal Days", "7"}}).journalDays, 7);
}

void TestHostSettings::reportsBadValues_data()
{
    QTest::addColumn<Pairs>("pairs");
    QTest::addColumn<QStringList>("problems");

    const QString usage = QStringLiteral("use kiss://HOST:PORT, agw://HOST:PORT, aprs-is://HOST:PORT, "
                                         "serial:DEVICE@BAUD or file:PATH");
    QTest::addRow("unknown scheme") << Pairs {{"Feed", "ax25://127.0.0.1:8000"}}
                                    << QStringList {
                                           "Feed \"ax25://127.0.0.1:8000\" has an unknown scheme \"ax25\"; " + usage};
    QTest::addRow("no scheme") << Pairs {{"Feed", "127.0.0.1:8001"}}
                               << QStringList {"Feed \"127.0.0.1:8001\" has no scheme; " + usage};
    QTest::addRow("port too large")
        << Pairs {{"Feed", "kiss://127.0.0.1:65536"}}
        << QStringList {"Feed \"kiss://127.0.0.1:65536\" has a bad port \"65536\"; a port is a number from 1 to 65535"};
    QTest::addRow("port zero")
        << Pairs {{"Feed", "kiss://127.0.0.1:0"}}
        << QStringList {"Feed \"kiss://127.0.0.1:0\" has a bad port \"0\"; a port is a number from 1 to 65535"};
    QTest::addRow("port not a number")
        << Pairs {{"Feed", "kiss://127.0.0.1:kiss"}}
        << QStringList {"Feed \"kiss://127.0.0.1:kiss\" has a bad port \"kiss\"; a port is a number from 1 to 65535"};
    QTest::addRow("no port") << Pairs {{"Feed", "kiss://127.0.0.1"}}
                             << QStringList {
                                    "Feed \"kiss://127.0.0.1\" needs a host and a port, as in kiss://127.0.0.1:8001"};
    QTest::addRow("no host")
        << Pairs {{"Feed", "aprs-is://:14580"}, {"Callsign", "N0CALL"}}
        << QStringList {"Feed \"aprs-is://:14580\" needs a host and a port, as in aprs-is://127.0.0.1:14580"};
    QTest::addRow("AGW with a bad port")
        << Pairs {{"Feed", "agw://127.0.0.1:x"}}
        << QStringList {"Feed \"agw://127.0.0.1:x\" has a bad port \"x\"; a port is a number from 1 to 65535"};
    QTest::addRow("serial without a device")
        << Pairs {{"Feed", "serial:@9600"}} << QStringList {"Feed \"serial:@9600\" names no device; " + usage};
    QTest::addRow("serial with a bad rate")
        << Pairs {{"Feed", "serial:/dev/ttyUSB0@fast"}}
        << QStringList {"Feed \"serial:/dev/ttyUSB0@fast\" has a bad baud rate \"fast\"; use bits per second from 50 "
                        "to 4000000, such as 1200, 9600 or 115200"};
    QTest::addRow("the only feed bad, in a numbered key")
        << Pairs {{"Feed 2", "kiss://127.0.0.1"}}
        << QStringList {"Feed 2 \"kiss://127.0.0.1\" needs a host and a port, as in kiss://127.0.0.1:8001"};
    QTest::addRow("file feed without a path")
        << Pairs {{"Feed", "file:"}} << QStringList {"Feed \"file:\" names no file; " + usage};
    QTest::addRow("log file missing")
        << Pairs {{"Feed", "file:/nonexistent/keldan/packets.log"}}
        << QStringList {"Feed \"file:/nonexistent/keldan/packets.log\": the log file /nonexistent/keldan/packets.log "
                        "cannot be read (No such file or directory)"};
    QTest::addRow("log file is a folder")
        << Pairs {{"Feed", "file:/tmp"}} << QStringList {"Feed \"file:/tmp\": /tmp is a folder, not a log file"};
    QTest::addRow("APRS-IS without a callsign")
        << Pairs {{"Feed", "aprs-is://127.0.0.1:14580"}}
        << QStringList {"Callsign is empty; an APRS-IS feed needs one to log in"};
    QTest::addRow("APRS-IS with a bad callsign")
        << Pairs {{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0 CALL"}}
        << QStringList {"Callsign \"N0 CALL\" is not a callsign (letters and digits, then -SSID if any)"};
    QTest::addRow("passcode not a number")
        << Pairs {{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0CALL"}, {"Passcode", "secret"}}
        << QStringList {"Passcode \"secret\" is not a passcode; use a number from 0 to 32767, or -1 to receive only"};
    QTest::addRow("passcode too large")
        << Pairs {{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0CALL"}, {"Passcode", "99999"}}
        << QStringList {"Passcode \"99999\" is not a passcode; use a number from 0 to 32767, or -1 to receive only"};
    QTest::addRow("filter with a line break")
        << Pairs {{"Feed", "aprs-is://127.0.0.1:14580"}, {"Callsign", "N0CALL"}, {"Filter", "r/51/0/50\nuser X"}}
        << QStringList {"Filter holds a control character; it must be one line of text"};
    QTest::addRow("journal days not a number")
        << Pairs {{"Journal Days", "a month"}}
        << QStringList {"Journal Days \"a month\" is not a number of days; use 0 (no journal) to 3660"};
    QTest::addRow("journal days below zero")
        << Pairs {{"Journal Days", "-1"}}
        << QStringList {"Journal Days \"-1\" is not a number of days; use 0 (no journal) to 3660"};
    QTest::addRow("latitude without longitude")
        << Pairs {{"Latitude", "51.5"}} << QStringList {"Latitude and Longitude go together; Longitude is missing"};
    QTest::addRow("longitude without latitude")
        << Pairs {{"Longitude", "-0.1"}} << QStringList {"Latitude and Longitude go together; Latitude is missing"};
    QTest::addRow("latitude out of range")
        << Pairs {{"Latitude", "91"}, {"Longitude", "0"}}
        << QStringList {"Latitude \"91\" is not a latitude; use decimal degrees from -90 to 90, north positive"};
    QTest::addRow("longitude with a hemisphere letter")
        << Pairs {{"Latitude", "51.5"}, {"Longitude", "0.1W"}}
        << QStringList {"Longitude \"0.1W\" is not a longitude; use decimal degrees from -180 to 180, east positive"};
    QTest::addRow("decimal comma")
        << Pairs {{"Latitude", "51,5"}, {"Longitude", "0"}}
        << QStringList {"Latitude \"51,5\" is not a latitude; use decimal degrees from -90 to 90, north positive"};
    QTest::addRow("replay rate zero")
        << Pairs {{"Feed", "file:/dev/null"}, {"Replay Rate", "0"}}
        << QStringList {"Replay Rate \"0\" is not a rate; use packets per second, above 0 and at most 100000"};
    QTest::addRow("replay rate not a number")
        << Pairs {{"Feed", "file:/dev/null"}, {"Replay Rate", "fast"}}
        << QStringList {"Replay Rate \"fast\" is not a rate; use packets per second, above 0 and at most 100000"};
    QTest::addRow("time zone neither local nor UTC")
        << Pairs {{"Time Zone", "Europe/Berlin"}}
        << QStringList {"Time Zone \"Europe/Berlin\" is not a time zone; use local or UTC"};
    QTest::addRow("two bad values, two messages")
        << Pairs {{"Feed", "kiss://127.0.0.1:0"}, {"Latitude", "north"}, {"Longitude", "0"}}
        << QStringList {"Feed \"kiss://127.0.0.1:0\" has a bad port \"0\"; a port is a number from 1 to 65535",
               "Latitude \"north\" is not a latitude; use decimal degrees from -90 to 90, north positive"};
}

void TestHostSettings::reportsBadValues()
{
    QFETCH(Pairs, pairs);
    QFETCH(QStringList, problems);
    const HostSettings settings = readPairs(pairs);
    QCOMPARE(settings.allProblems(), problems);
    QVERIFY(!settings.isUsable());
}

void TestHostSettings::ignoresValuesTheFeedDoesNotUse()
{
    // A KISS feed needs no login and no replay rate.
    const HostSettings settings =
        readPairs({{"Feed", "kiss://127.0.0.1:8001"}, {"Passcode", "secret"}, {"Replay Rate", "fast"}});
    QCOMPARE(settings.allProblems(), QStringList());
}

void TestHostSettings::exclusions_data()
{
    QTest::addColumn<QByteArray>("storeText");
    QTest::addColumn<QStringList>("excluded");
    QTest::addColumn<QStringList>("kept");

    QTest::addRow("commas, as a user types them") << QByteArray("[General]\nExclusions=N0CALL, TEST*,*-15\n")
                                                  << QStringList {"N0CALL", "n0call", "TEST", "TESTER-1", "K1ABC-15"}
                                                  << QStringList {"N0CALL-1", "ATEST", "K1ABC-1", "K1ABC-150"};
    QTest::addRow("blanks") << QByteArray("[General]\nExclusions=N?CALL  W1AW-?\n")
                            << QStringList {"N0CALL", "N1CALL", "W1AW-1", "w1aw-9"}
                            << QStringList {"NCALL", "N10CALL", "W1AW", "W1AW-10"};
    QTest::addRow("quoted list") << QByteArray("[General]\nExclusions=\"a*z, ??\"\n")
                                 << QStringList {"AZ", "ABCZ", "K1", "k2"} << QStringList {"ZAB", "ABC", "K"};
    QTest::addRow("none") << QByteArray("[General]\nExclusions=\n") << QStringList {} << QStringList {"N0CALL", ""};
}

void TestHostSettings::exclusions()
{
    QFETCH(QByteArray, storeText);
    QFETCH(QStringList, excluded);
    QFETCH(QStringList, kept);
    const HostSettings settings = readText(storeText);
    QCOMPARE(settings.allProblems(), QStringList());
    for (const QString &callsign : excluded)
        QVERIFY2(settings.exclusions.matches(callsign), qPrintable(callsign));
    for (const QString &callsign : kept)
        QVERIFY2(!settings.exclusions.matches(callsign), qPrintable(callsign));
}

QTEST_GUILESS_MAIN(TestHostSettings)
#include "tst_hostsettings.moc"

void TestHostSettings::webAddress_data()
{
    QTest::addColumn<Pairs>("pairs");
    QTest::addColumn<QString>("host");  // empty: the page is off
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("problem");

    QTest::addRow("absent: this machine only") << Pairs {} << "127.0.0.1" << 8073 << false;
    QTest::addRow("empty: off") << Pairs {{"Web", ""}} << "" << 0 << false;
    QTest::addRow("every address") << Pairs {{"Web", "0.0.0.0:8080"}} << "0.0.0.0" << 8080 << false;
    QTest::addRow("localhost") << Pairs {{"Web", "localhost:9000"}} << "127.0.0.1" << 9000 << false;
    QTest::addRow("IPv6") << Pairs {{"Web", "[::1]:8073"}} << "::1" << 8073 << false;
    QTest::addRow("no port") << Pairs {{"Web", "127.0.0.1"}} << "" << 0 << true;
    QTest::addRow("port out of range") << Pairs {{"Web", "127.0.0.1:70000"}} << "" << 0 << true;
    QTest::addRow("a name") << Pairs {{"Web", "example.org:80"}} << "" << 0 << true;
}

void TestHostSettings::webAddress()
{
    QFETCH(Pairs, pairs);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, problem);
    const HostSettings settings = readPairs(pairs);
    QCOMPARE(settings.webHost, host);
    QCOMPARE(settings.webEnabled(), !host.isEmpty());
    if (!host.isEmpty())
        QCOMPARE(int(settings.webPort), port);
    QCOMPARE(settings.webProblems.size(), problem ? 1 : 0);
    // A page that cannot start stops nothing else.
    QVERIFY(settings.isUsable());
}
