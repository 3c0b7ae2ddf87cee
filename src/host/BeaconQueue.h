#pragma once

#include "host/BeaconRecord.h"

#include <QString>
#include <array>

// The bounded ring between the host's notifications and the database work.
// The notification only stores a reference; the drain timer takes one beacon
// per tick, in arrival order, and hands it on. 1001 slots hold at most 1000
// beacons, so the full test is a count and one slot always stays free.
class BeaconQueue
{
public:
    // What the queue touches outside itself: the two captions, the beacon's
    // processing and the one pass of pending messages inside a tick.
    class View
    {
    public:
        virtual ~View() = default;
        virtual void setBufferCaption(const QString &caption) = 0;
        virtual void setStatusCaption(const QString &caption) = 0;
        virtual void processBeacon(const BeaconRecordRef &beacon) = 0;
        virtual void dispatchPendingMessages() = 0;
    };

    static constexpr qint16 SlotCount = 1001;
    static constexpr qint16 Capacity = 1000;

    explicit BeaconQueue(View &view) : mView(view) { }

    void queueBeacon(BeaconRecordRef cStn);
    qint16 queueCount() const { return queueLength; }
    // The caller makes sure the queue is not empty.
    BeaconRecordRef dequeueBeacon();
    // One drain tick; a tick that arrives while another runs returns at once.
    void TimerBeaconData_Timer();

    bool isBusy() const { return busy; }
    // Beacons refused because the queue was full, since start.
    qint64 refused() const { return mRefused; }
    bool slotHoldsReference(int index) const { return beaconQueue.at(index) != nullptr; }

    static QString bufferCaption(qint16 count);

private:
    View &mView;
    std::array<BeaconRecordRef, SlotCount> beaconQueue {};
    qint16 queueTail = 0;
    qint16 queueHead = 0;
    qint16 queueLength = 0;
    bool busy = false;
    qint64 mRefused = 0;
};
