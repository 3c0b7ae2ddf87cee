#include "linuxhost/feeds/KissTcpSource.h"

KissTcpSource::KissTcpSource(QString host, quint16 port, QObject *parent)
    : TcpFeedSource(QStringLiteral("KISS"), std::move(host), port, parent)
{ }

void KissTcpSource::bytesArrived(QByteArrayView bytes)
{
    for (const KissReader::Line &line : mReader.read(bytes))
        deliver(line.text, line.radioPort);
}

void KissTcpSource::linkReset()
{
    mReader.reset();
}
