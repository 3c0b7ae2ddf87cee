#include "DireWolfRig.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QNetworkInterface>

namespace {

constexpr int SampleRate = 44100;

// The samples of a RIFF/WAVE file: everything in its "data" chunk.
QByteArray wavSamples(const QByteArray &wav)
{
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = quint32(uchar(wav[at + 4])) | quint32(uchar(wav[at + 5])) << 8
            | quint32(uchar(wav[at + 6])) << 16 | quint32(uchar(wav[at + 7])) << 24;
        if (id == "data")
            return wav.mid(at + 8, qsizetype(size));
        at += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

}  // namespace

DireWolfRig::DireWolfRig(QString workDir) : mWorkDir(std::move(workDir))
{
    mDireWolf.setProcessChannelMode(QProcess::MergedChannels);
}

DireWolfRig::~DireWolfRig()
{
    stop();
}

QString DireWolfRig::networkProblem()
{
    QStringList others;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (!(interface.flags() & QNetworkInterface::IsLoopBack))
            others << interface.name();
    }
    if (others.isEmpty())
        return {};
    return QStringLiteral("network interfaces besides loopback (%1): Dire Wolf would listen on them; "
                          "run this test through scripts/direwolf-e2e.sh")
        .arg(others.join(QStringLiteral(", ")));
}

bool DireWolfRig::makeAudio(const QList<QByteArray> &packets, QString *error)
{
    const QString listPath = QDir(mWorkDir).filePath(QStringLiteral("packets.txt"));
    const QString wavPath = QDir(mWorkDir).filePath(QStringLiteral("packets.wav"));
    QFile list(listPath);
    if (!list.open(QIODevice::WriteOnly)) {
        *error = list.errorString();
        return false;
    }
    for (const QByteArray &packet : packets)
        list.write(packet + '\n');
    list.close();

    QProcess gen;
    gen.setProcessChannelMode(QProcess::MergedChannels);
    gen.start(QStringLiteral("gen_packets"),
        {QStringLiteral("-r"), QString::number(SampleRate), QStringLiteral("-o"), wavPath, listPath});
    if (!gen.waitForFinished(60'000) || gen.exitStatus() != QProcess::NormalExit || gen.exitCode() != 0) {
        *error = QStringLiteral("gen_packets failed: ") + QString::fromLocal8Bit(gen.readAll());
        return false;
    }
    QFile wav(wavPath);
    if (!wav.open(QIODevice::ReadOnly)) {
        *error = wav.errorString();
        return false;
    }
    mSamples = wavSamples(wav.readAll());
    if (mSamples.isEmpty()) {
        *error = QStringLiteral("gen_packets wrote no audio");
        return false;
    }
    return true;
}

bool DireWolfRig::start(quint16 kissPort, QString *error, quint16 agwPort)
{
    const QString confPath = QDir(mWorkDir).filePath(QStringLiteral("direwolf.conf"));
    QFile conf(confPath);
    if (!conf.open(QIODevice::WriteOnly)) {
        *error = conf.errorString();
        return false;
    }
    conf.write(QStringLiteral("ADEVICE stdin null\n"
                              "ARATE %1\n"
                              "ACHANNELS 1\n"
                              "CHANNEL 0\n"
                              "MYCALL N0CALL\n"
                              "MODEM 1200\n"
                              "AGWPORT %3\n"
                              "KISSPORT %2\n")
                   .arg(SampleRate)
                   .arg(kissPort)
                   .arg(agwPort)
                   .toLatin1());
    conf.close();

    // -t 0: no colours in the output we keep.
    mDireWolf.start(
        QStringLiteral("direwolf"), {QStringLiteral("-c"), confPath, QStringLiteral("-t"), QStringLiteral("0")});
    if (!mDireWolf.waitForStarted(10'000)) {
        *error = QStringLiteral("direwolf did not start: ") + mDireWolf.errorString();
        return false;
    }
    const QByteArray kissReady =
        "Ready to accept KISS TCP client application 0 on port " + QByteArray::number(kissPort);
    const QByteArray agwReady = "Ready to accept AGW client application 0 on port " + QByteArray::number(agwPort);
    QDeadlineTimer deadline(20'000);
    while (!mOutput.contains(kissReady) || (agwPort != 0 && !mOutput.contains(agwReady))) {
        if (deadline.hasExpired() || mDireWolf.state() != QProcess::Running) {
            *error = QStringLiteral("direwolf is not serving KISS and AGW:\n") + output();
            return false;
        }
        mDireWolf.waitForReadyRead(200);
        mOutput += mDireWolf.readAll();
    }
    return true;
}

void DireWolfRig::play()
{
    mDireWolf.write(mSamples);
    mDireWolf.write(QByteArray(SampleRate * 2, '\0'));
}

void DireWolfRig::stop()
{
    if (mDireWolf.state() == QProcess::NotRunning)
        return;
    mDireWolf.closeWriteChannel();
    mDireWolf.terminate();
    if (!mDireWolf.waitForFinished(5000)) {
        mDireWolf.kill();
        mDireWolf.waitForFinished(5000);
    }
    mOutput += mDireWolf.readAll();
}

QString DireWolfRig::output()
{
    if (mDireWolf.state() != QProcess::NotRunning)
        mOutput += mDireWolf.readAll();
    return QString::fromLocal8Bit(mOutput);
}
