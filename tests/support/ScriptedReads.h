#pragma once

#include "host/HostTypes.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The property reads of a host object made in a test: every read is logged
// by name, and any read (every one, or only the n-th of a property) can be
// made to fail the way a host call fails, with HostError.
class ScriptedReads
{
public:
    // occurrence 0 fails every read of property; n fails only its n-th read.
    void failRead(const QString &property, int occurrence = 0) { mFailures.insert(property, occurrence); }
    void clearFailures() { mFailures.clear(); }

    const QStringList &reads() const { return mReads; }
    int readCount(const QString &property) const { return int(mReads.count(property)); }
    void clearReads()
    {
        mReads.clear();
        mCounts.clear();
    }

    template <typename T>
    T read(const char *property, const T &value) const
    {
        const QString name = QString::fromLatin1(property);
        mReads.append(name);
        const int count = ++mCounts[name];
        const auto failure = mFailures.constFind(name);
        if (failure != mFailures.constEnd() && (failure.value() == 0 || failure.value() == count))
            throw HostError("reading " + std::string(property) + " failed");
        return value;
    }

private:
    QHash<QString, int> mFailures;
    mutable QStringList mReads;
    mutable QHash<QString, int> mCounts;
};
