#include "linuxhost/feeds/AprsIsSource.h"

AprsIsSource::AprsIsSource(QString host, quint16 port, QString callsign, QString passcode, QString filter,
                           QObject *parent)
    : TcpFeedSource(QStringLiteral("APRS-IS"), std::move(host), port, parent), mCallsign(std::move(callsign)),
      mPasscode(std::move(passcode)), mFilter(std::move(filter))
{
    setIdleTimeoutSeconds(IdleTimeoutSeconds);
}

QByteArray AprsIsSource::loginLine(const QString &callsign, const QString &passcode, const QString &filter)
{
    QString line = QStringLiteral("user %1 pass %2 vers Keldan %3.%4.%5")
                       .arg(callsign, passcode)
                       .arg(KELDAN_VERSION_MAJOR)
                       .arg(KELDAN_VERSION_MINOR)
                       .arg(KELDAN_VERSION_PATCH);
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
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            const QByteArrayView rest = bytes.sliced(start);
            if (!mOverlong && mPartial.size() + rest.size() <= MaxLineBytes) {
                mPartial.append(rest);
            } else {
                mOverlong = true;
                mPartial.clear();
            }
            return;
        }
        const QByteArrayView piece = bytes.sliced(start, end - start);
        if (mOverlong) {
            mOverlong = false;
        } else if (mPartial.isEmpty()) {
            takeLine(piece);
        } else {
            mPartial.append(piece);
            takeLine(mPartial);
            mPartial.clear();
        }
        start = end + 1;
    }
}

void AprsIsSource::takeLine(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty() || line.front() == '#' || line.size() > MaxLineBytes)
        return;
    emit packetReceived(line.toByteArray(), 0, false);
}

void AprsIsSource::linkReset()
{
    mPartial.clear();
    mOverlong = false;
}
