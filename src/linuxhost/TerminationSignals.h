#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the thread that owns
// this object. The handler only writes the signal number into a socket pair
// (all it may safely do); a socket notifier reads it in the event loop. Any
// second signal ends the process the default way at once, so a program that
// takes its time to stop (or is stuck) can still be stopped.
// One instance at a time: the handlers are process-wide.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when another instance holds the handlers or the socket pair
    // could not be made.
    bool isActive() const { return mActive; }

signals:
    void received(int signalNumber);

private:
    void drain();

    std::unique_ptr<QSocketNotifier> mNotifier;
    bool mActive = false;
};
