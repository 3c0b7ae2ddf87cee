#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

// A real radio path without a radio: gen_packets turns TNC2 lines into 1200
// baud AFSK audio, and Dire Wolf decodes that audio from its standard input
// and serves the frames as KISS over TCP and, when asked, over its AGW port.
// Tests connect their clients first and then play the audio.
//
// Dire Wolf listens on all addresses, so a rig only runs where the network
// has nothing but loopback: start the test through scripts/direwolf-e2e.sh.
// A whole-bridge test (host, main window, database) can use the same rig.
class DireWolfRig
{
public:
    explicit DireWolfRig(QString workDir);
    ~DireWolfRig();
    DireWolfRig(const DireWolfRig &) = delete;
    DireWolfRig &operator=(const DireWolfRig &) = delete;

    // Empty when only loopback interfaces exist; otherwise why not.
    static QString networkProblem();

    // Makes the audio for these packets (one TNC2 line each).
    bool makeAudio(const QList<QByteArray> &packets, QString *error);
    // Starts Dire Wolf with its KISS server on kissPort (and its AGW server on
    // agwPort, unless 0) and waits until it accepts clients.
    bool start(quint16 kissPort, QString *error, quint16 agwPort = 0);
    // Sends the audio, then a second of silence so that the last frame is
    // decoded; standard input stays open until stop().
    void play();
    void stop();

    // What Dire Wolf printed: its decodes, for a failing test's message.
    QString output();

private:
    QString mWorkDir;
    QByteArray mSamples;  // 16-bit mono at 44100 Hz, no WAV header
    QProcess mDireWolf;
    QByteArray mOutput;
};
