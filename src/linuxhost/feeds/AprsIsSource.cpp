#include "linuxhost/feeds/AprsIsSource.h"

#include "version/KeldanVersion.h"

AprsIsSource::AprsIsSource(
    QString host, quint16 port, QString callsign, QString passcode, QString filter, QObject *parent)
    : TcpFeedSource(QStringLiteral("APRS-IS"), std::move(host), port, parent), mCallsign(std::move(callsign)),
      mPasscode(std::move(passcode)), mFilter(std::move(filter))
{
    setIdleTimeoutSeconds(IdleTimeoutSeconds);
}

QByteArray AprsIsSource::loginLine(const QString &callsign, const QString &passcode, const QString &filter)
{
    QString line =
        QStringLiteral("user %1 pass %2 vers Keldan %3").arg(callsign, passcode, QLatin1String(KeldanVersion::Text));
    if (!filter.isEmpty())
        line += QStringLiteral(" filter ") + filter;
    return line.toUtf8() + "\r\n";
}

void AprsIsSource::linkUp()
{
    send(loginLine(mCallsign, mPasscode, mFilter));
}

void AprsIsSource::bytesArrived(QByteArrayView bytes)
{
    mLines.clear();
    mSplitter.feed(bytes, mLines);
    for (const QByteArray &line : std::as_const(mLines)) {
        if (!line.startsWith('#'))
            deliver(line, 0);
    }
}

void AprsIsSource::linkReset()
{
    mSplitter.reset();
}
