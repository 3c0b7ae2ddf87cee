#pragma once

#include <QHash>
#include <QString>

#include <iterator>
#include <list>
#include <utility>

// What the host keeps per station (its latest status text, its latest weather
// report), bounded for a bridge left alone for months: a station not heard
// for MaxAgeMs is forgotten, and beyond MaxStations the one heard longest ago
// goes first. Every packet of a station counts as hearing it (touch), so a
// station that keeps beaconing keeps its status text however old it is.
template <typename Value>
class StationMemory
{
public:
    static constexpr qint64 MaxAgeMs = 24LL * 60 * 60 * 1000;
    static constexpr qsizetype MaxStations = 50'000;

    explicit StationMemory(qsizetype maxStations = MaxStations, qint64 maxAgeMs = MaxAgeMs)
        : mMaxStations(maxStations), mMaxAgeMs(maxAgeMs)
    { }

    // nowMs is a steady clock that never goes back.
    void insert(const QString &callsign, Value value, qint64 nowMs)
    {
        forgetOlderThan(nowMs);
        const auto found = mIndex.find(callsign);
        if (found != mIndex.end())
            mOrder.erase(*found);
        mOrder.push_back(Entry {callsign, std::move(value), nowMs});
        mIndex.insert(callsign, std::prev(mOrder.end()));
        while (qsizetype(mOrder.size()) > mMaxStations) {
            mIndex.remove(mOrder.front().callsign);
            mOrder.pop_front();
        }
    }

    // The station was heard: what is kept for it stays another MaxAgeMs.
    // Returns what is kept, or nullptr.
    const Value *touch(const QString &callsign, qint64 nowMs)
    {
        forgetOlderThan(nowMs);
        const auto found = mIndex.constFind(callsign);
        if (found == mIndex.constEnd())
            return nullptr;
        const auto entry = *found;
        entry->heardMs = nowMs;
        mOrder.splice(mOrder.end(), mOrder, entry);
        return &entry->value;
    }

    const Value *find(const QString &callsign) const
    {
        const auto found = mIndex.constFind(callsign);
        return found == mIndex.constEnd() ? nullptr : &(*found)->value;
    }

    qsizetype size() const { return mIndex.size(); }

private:
    struct Entry {
        QString callsign;
        Value value;
        qint64 heardMs;
    };

    // The list runs from the station heard longest ago to the latest.
    void forgetOlderThan(qint64 nowMs)
    {
        while (!mOrder.empty() && nowMs - mOrder.front().heardMs >= mMaxAgeMs) {
            mIndex.remove(mOrder.front().callsign);
            mOrder.pop_front();
        }
    }

    qsizetype mMaxStations;
    qint64 mMaxAgeMs;
    std::list<Entry> mOrder;
    QHash<QString, typename std::list<Entry>::iterator> mIndex;
};
