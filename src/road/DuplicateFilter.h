#pragma once

#include <QByteArray>
#include <QHash>

#include <deque>
#include <utility>

// Recognises a packet heard again within 30 s, as an APRS-IS server does: the
// same source, destination and information field, whatever the path (a
// digipeater's copy, or another igate's). The window runs from the first copy.
// It holds at most MaxKeys packets: a flood beyond that (over 3000 distinct
// packets a second) forgets the oldest first, so memory stays bounded.
class DuplicateFilter
{
public:
    static constexpr qint64 WindowMs = 30'000;
    static constexpr qsizetype MaxKeys = 100'000;

    explicit DuplicateFilter(qsizetype maxKeys = MaxKeys) : mMaxKeys(maxKeys) { }

    // The key of "SRC>DEST,PATH:info": "SRC>DEST:info"; empty when the line
    // has no header.
    static QByteArray keyOf(QByteArrayView line);

    // True when key was seen less than WindowMs before nowMs; otherwise
    // remembers it. nowMs never goes back.
    bool isDuplicate(const QByteArray &key, qint64 nowMs);

private:
    void forgetOlderThan(qint64 nowMs);

    qsizetype mMaxKeys;
    QHash<QByteArray, qint64> mSeen;
    std::deque<std::pair<qint64, QByteArray>> mOrder;
};
