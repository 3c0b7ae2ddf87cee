#pragma once

#include "recovery/JournalRecovery.h"

#include <QObject>

#include <atomic>

// Runs one recovery at a time on its own thread, over its own connection, so
// the window's thread and the live drain never wait for it.
class RecoveryWorker : public QObject
{
    Q_OBJECT
public:
    struct Job {
        QString connectString;  // as the driver manager takes it
        QString journalFolder;
        QDateTime afterUtc;
        QDateTime upToUtc;
        StationSettings station;
        QList<int> checks;
    };

    explicit RecoveryWorker(const std::atomic_bool &stop) : mStop(stop) { }

    // On the worker's thread: opens a connection, recovers, closes it.
    void run(const RecoveryWorker::Job &job);

signals:
    void finished(const JournalRecovery::Result &result);

private:
    const std::atomic_bool &mStop;
};
