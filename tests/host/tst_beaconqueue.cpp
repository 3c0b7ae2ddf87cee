#include "host/BeaconQueue.h"

#include <QTest>
#include <functional>

namespace {

// Only identity matters to the queue: it never reads a property.
class NumberedRecord : public BeaconRecord
{
public:
    explicit NumberedRecord(int number) : mNumber(number) { }
    int number() const { return mNumber; }

    QString callsign() const override { return QString::number(mNumber); }
    QString symbolCode() const override { return {}; }
    QString symbolTable() const override { return {}; }
    QString packetHeader() const override { return {}; }
    QString packetText() const override { return {}; }
    QString statusText() const override { return {}; }
    QString objectOwner() const override { return {}; }
    float longitude() const override { return 0; }
    float latitude() const override { return 0; }
    qint16 radioPort() const override { return 0; }
    HostBool heardDirect() const override { return HostFalse; }
    float speed() const override { return 0; }
    qint16 course() const override { return 0; }
    QDateTime timeA() const override { return {}; }
    QDateTime timeB() const override { return {}; }
    float height() const override { return 0; }
    float distance() const override { return 0; }
    qint16 commentStart() const override { return 1; }
    qint16 stationType() const override { return 0; }
    HostBool excluded() const override { return HostFalse; }

private:
    int mNumber;
};

class RecordingView : public BeaconQueue::View
{
public:
    QStringList bufferCaptions;
    QStringList statusCaptions;
    QList<int> processed;
    std::function<void()> duringProcessing;
    std::function<void()> duringDispatch;
    int dispatchCount = 0;

    void setBufferCaption(const QString &caption) override { bufferCaptions.append(caption); }
    void setStatusCaption(const QString &caption) override { statusCaptions.append(caption); }
    void processBeacon(const BeaconRecordRef &beacon) override
    {
        processed.append(static_cast<const NumberedRecord &>(*beacon).number());
        if (duringProcessing)
            duringProcessing();
    }
    void dispatchPendingMessages() override
    {
        ++dispatchCount;
        if (duringDispatch)
            duringDispatch();
    }
};

BeaconRecordRef record(int number)
{
    return std::make_shared<NumberedRecord>(number);
}

}  // namespace

class TestBeaconQueue : public QObject
{
    Q_OBJECT

private slots:
    void firstBeaconShowsOne()
    {
        RecordingView view;
        BeaconQueue queue(view);
        queue.queueBeacon(record(1));
        QCOMPARE(view.bufferCaptions, QStringList {"Buffering [1]"});
        QCOMPARE(queue.queueCount(), qint16(1));
    }

    void thousandthIsAcceptedAndTheNextRefused()
    {
        RecordingView view;
        BeaconQueue queue(view);
        for (int i = 0; i < 999; ++i)
            queue.queueBeacon(record(i));
        queue.queueBeacon(record(999));
        QCOMPARE(view.bufferCaptions.last(), QString("Buffering [1000]"));
        QVERIFY(view.statusCaptions.isEmpty());

        const auto captionsBefore = view.bufferCaptions.size();
        queue.queueBeacon(record(1000));
        QCOMPARE(view.statusCaptions, QStringList {"Buffer full, packet ignored"});
        QCOMPARE(view.bufferCaptions.size(), captionsBefore);
        QCOMPARE(queue.queueCount(), qint16(1000));

        // Every refusal repeats the message.
        queue.queueBeacon(record(1001));
        QCOMPARE(view.statusCaptions.size(), 2);

        queue.TimerBeaconData_Timer();
        QCOMPARE(view.processed, QList<int> {0});
        QCOMPARE(view.bufferCaptions.last(), QString("Buffering [999]"));
        queue.queueBeacon(record(2000));
        QCOMPARE(view.bufferCaptions.last(), QString("Buffering [1000]"));
        QCOMPARE(view.statusCaptions.size(), 2);
    }

    void orderSurvivesTheWrapOfBothIndices()
    {
        RecordingView view;
        BeaconQueue queue(view);
        // Keep a few waiting so that head and tail wrap at different times.
        int next = 0;
        for (; next < 7; ++next)
            queue.queueBeacon(record(next));
        for (int cycle = 0; cycle < 2500; ++cycle) {
            queue.queueBeacon(record(next++));
            queue.TimerBeaconData_Timer();
        }
        while (queue.queueCount() > 0)
            queue.TimerBeaconData_Timer();
        QCOMPARE(view.processed.size(), next);
        for (int i = 0; i < next; ++i)
            QCOMPARE(view.processed.at(i), i);
    }

    void fullRingWrapsWithoutLosingOrder()
    {
        RecordingView view;
        BeaconQueue queue(view);
        int next = 0;
        for (int round = 0; round < 3; ++round) {
            while (queue.queueCount() < BeaconQueue::Capacity)
                queue.queueBeacon(record(next++));
            for (int i = 0; i < 600; ++i)
                queue.TimerBeaconData_Timer();
        }
        while (queue.queueCount() > 0)
            queue.TimerBeaconData_Timer();
        QCOMPARE(view.processed.size(), next);
        for (int i = 0; i < next; ++i)
            QCOMPARE(view.processed.at(i), i);
        QVERIFY(view.statusCaptions.isEmpty());
    }

    void emptyTickTouchesNothing()
    {
        RecordingView view;
        BeaconQueue queue(view);
        queue.TimerBeaconData_Timer();
        QVERIFY(view.bufferCaptions.isEmpty());
        QVERIFY(view.statusCaptions.isEmpty());
        QVERIFY(view.processed.isEmpty());
        QCOMPARE(view.dispatchCount, 0);
        QVERIFY(!queue.isBusy());
    }

    void nestedTickDoesNothing()
    {
        RecordingView view;
        BeaconQueue queue(view);
        queue.queueBeacon(record(1));
        queue.queueBeacon(record(2));
        int captionsDuringNestedTick = -1;
        view.duringDispatch = [&] {
            const auto before = view.bufferCaptions.size();
            queue.TimerBeaconData_Timer();
            captionsDuringNestedTick = int(view.bufferCaptions.size() - before);
        };
        view.duringProcessing = [&] { queue.TimerBeaconData_Timer(); };
        queue.TimerBeaconData_Timer();
        QCOMPARE(view.processed, QList<int> {1});
        QCOMPARE(captionsDuringNestedTick, 0);
        QCOMPARE(queue.queueCount(), qint16(1));
        QVERIFY(!queue.isBusy());
    }

    void drainedSlotIsClearedAndRecordReleasedAfterProcessing()
    {
        RecordingView view;
        BeaconQueue queue(view);
        std::weak_ptr<const BeaconRecord> watched;
        {
            auto beacon = record(5);
            watched = beacon;
            queue.queueBeacon(std::move(beacon));
        }
        QVERIFY(queue.slotHoldsReference(0));
        bool aliveWhileProcessing = false;
        view.duringProcessing = [&] { aliveWhileProcessing = !watched.expired(); };
        queue.TimerBeaconData_Timer();
        QVERIFY(aliveWhileProcessing);
        QVERIFY(!queue.slotHoldsReference(0));
        QVERIFY(watched.expired());
    }

    void notificationDuringDispatchIsQueuedBehindWaitingBeacons()
    {
        RecordingView view;
        BeaconQueue queue(view);
        queue.queueBeacon(record(1));
        queue.queueBeacon(record(2));
        bool delivered = false;
        view.duringDispatch = [&] {
            if (!delivered) {
                delivered = true;
                queue.queueBeacon(record(3));
            }
        };
        queue.TimerBeaconData_Timer();
        // After the tick's own caption (1 waiting) the notification shows 2.
        QCOMPARE(
            view.bufferCaptions.mid(view.bufferCaptions.size() - 2), (QStringList {"Buffering [1]", "Buffering [2]"}));
        queue.TimerBeaconData_Timer();
        queue.TimerBeaconData_Timer();
        QCOMPARE(view.processed, (QList<int> {1, 2, 3}));
    }
};

QTEST_GUILESS_MAIN(TestBeaconQueue)
#include "tst_beaconqueue.moc"
