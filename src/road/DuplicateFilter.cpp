#include "road/DuplicateFilter.h"

QByteArray DuplicateFilter::keyOf(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return {};
    const QByteArrayView header = line.first(colon);
    const qsizetype arrow = header.indexOf('>');
    if (arrow <= 0)
        return {};
    qsizetype destinationEnd = header.indexOf(',', arrow);
    if (destinationEnd < 0)
        destinationEnd = header.size();
    QByteArray key;
    key.reserve(destinationEnd + line.size() - colon);
    key.append(header.first(destinationEnd));
    key.append(line.sliced(colon));
    return key;
}

bool DuplicateFilter::isDuplicate(const QByteArray &key, qint64 nowMs)
{
    forgetOlderThan(nowMs);
    if (mSeen.contains(key))
        return true;
    mSeen.insert(key, nowMs);
    mOrder.emplace_back(nowMs, key);
    if (qsizetype(mOrder.size()) > mMaxKeys) {
        mSeen.remove(mOrder.front().second);
        mOrder.pop_front();
    }
    return false;
}

void DuplicateFilter::forgetOlderThan(qint64 nowMs)
{
    while (!mOrder.empty() && nowMs - mOrder.front().first >= WindowMs) {
        mSeen.remove(mOrder.front().second);
        mOrder.pop_front();
    }
}
