#include "support/Ax25Frames.h"
#include "support/LogCapture.h"
#include "support/PacketCollector.h"

#include "linuxhost/feeds/SerialKissSource.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <unistd.h>

namespace {

// A real pseudo-terminal pair: the test plays the TNC on the master side, the
// source opens the slave as it would /dev/ttyUSB0. The link stands for the
// device's fixed name, as Dire Wolf's /tmp/kisstnc does.
class PseudoTerminal
{
public:
    ~PseudoTerminal() { close(); }

    bool open(const QString &linkPath)
    {
        int slave = -1;
        if (openpty(&mMaster, &slave, nullptr, nullptr, nullptr) != 0)
            return false;
        const QByteArray slavePath(ttyname(slave));
        // The source is the only one that keeps the slave open.
        ::close(slave);
        mLink = linkPath;
        return !slavePath.isEmpty() && QFile::link(QString::fromLocal8Bit(slavePath), linkPath);
    }
    // The device goes away, as a USB TNC pulled out.
    void close()
    {
        if (mMaster >= 0)
            ::close(mMaster);
        mMaster = -1;
        if (!mLink.isEmpty())
            QFile::remove(mLink);
    }
    bool send(const QByteArray &bytes)
    {
        return ::write(mMaster, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

private:
    int mMaster = -1;
    QString mLink;
};

QByteArray kissFrame(int port, const QByteArray &info)
{
    return char(0xC0) + QByteArray(1, char(port << 4))
        + ax25UiFrame(ax25Address("APRS", 0) + ax25Address("N0CALL", 7, true), info) + char(0xC0);
}

}  // namespace

class TestSerialKissSource : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void deliversFrames();
    void deviceComesAndGoes();

private:
    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<LogCapture> mLog;
    QString mLink;
};

void TestSerialKissSource::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mLink = mDir->filePath(QStringLiteral("kisstnc"));
    mLog = std::make_unique<LogCapture>();
}

void TestSerialKissSource::cleanup()
{
    mLog.reset();
    mDir.reset();
}

void TestSerialKissSource::deliversFrames()
{
    PseudoTerminal tnc;
    QVERIFY(tnc.open(mLink));
    SerialKissSource source(mLink, 1200);
    PacketCollector collector(source);
    source.start();
    QVERIFY(source.isOpen());
    // A frame in three reads, then two at once on ports 0 and 2, one too long.
    const QByteArray first = kissFrame(0, "!4903.50N/07201.75W>one");
    QVERIFY(tnc.send(first.first(5)));
    QTest::qWait(5);
    QVERIFY(tnc.send(first.sliced(5, 10)));
    QTest::qWait(5);
    QVERIFY(tnc.send(first.sliced(15)));
    QVERIFY(tnc.send(kissFrame(2, ">two") + kissFrame(0, ">" + QByteArray(Ax25Decoder::MaxInfoBytes, 'x'))
        + kissFrame(0, ">three")));
    QTRY_COMPARE(collector.lines(),
        (QList<QByteArray> {"N0CALL-7>APRS:!4903.50N/07201.75W>one", "N0CALL-7>APRS:>two", "N0CALL-7>APRS:>three"}));
    QCOMPARE(collector.packets().at(0).radioPort, 1);
    QCOMPARE(collector.packets().at(1).radioPort, 3);
    QCOMPARE(source.overlongDropped(), 1);
    QCOMPARE(mLog->messages(), QStringList {QStringLiteral("SERIAL %1@1200 opened").arg(mLink)});
}

// Missing at start, plugged in, pulled out, plugged in again: each trouble is
// reported once, however often the source tries in between.
void TestSerialKissSource::deviceComesAndGoes()
{
    SerialKissSource source(mLink, SerialKissSource::DefaultBaudRate);
    source.setMillisecondsPerSecond(2);
    PacketCollector collector(source);
    QSignalSpy opened(&source, &SerialKissSource::opened);
    source.start();
    QVERIFY(!source.isOpen());
    QTRY_VERIFY(source.lastRetryDelaySeconds() >= 8);
    QCOMPARE(mLog->messages(),
        QStringList {QStringLiteral("SERIAL %1@9600 cannot be opened (No such file or directory), trying again "
                                    "until it opens")
                         .arg(mLink)});

    auto tnc = std::make_unique<PseudoTerminal>();
    QVERIFY(tnc->open(mLink));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 10000);
    QVERIFY(tnc->send(kissFrame(0, ">first")));
    QTRY_COMPARE(collector.lines(), QList<QByteArray> {"N0CALL-7>APRS:>first"});

    tnc->close();
    QTRY_VERIFY(!source.isOpen());
    // A device that delivered a packet was a good one: the wait starts at 1 s.
    QCOMPARE(source.lastRetryDelaySeconds(), 1);
    QTRY_VERIFY(source.lastRetryDelaySeconds() >= 4);
    tnc = std::make_unique<PseudoTerminal>();
    QVERIFY(tnc->open(mLink));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 2, 10000);
    QVERIFY(tnc->send(kissFrame(1, ">second")));
    QTRY_COMPARE(collector.lines(), (QList<QByteArray> {"N0CALL-7>APRS:>first", "N0CALL-7>APRS:>second"}));
    QCOMPARE(collector.packets().last().radioPort, 2);

    const QStringList log = mLog->messages();
    QCOMPARE(log.size(), 4);
    QCOMPARE(log.at(1), QStringLiteral("SERIAL %1@9600 opened").arg(mLink));
    QVERIFY2(log.at(2).startsWith(QStringLiteral("SERIAL %1@9600 lost (").arg(mLink))
            && log.at(2).endsWith(QStringLiteral("), trying again until it opens")),
        qPrintable(log.at(2)));
    QCOMPARE(log.at(3), log.at(1));
}

QTEST_GUILESS_MAIN(TestSerialKissSource)
#include "tst_serialkisssource.moc"
