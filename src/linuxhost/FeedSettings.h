#pragma once

#include "linuxhost/feeds/AgwSource.h"
#include "linuxhost/feeds/KissTcpSource.h"
#include "linuxhost/feeds/SerialKissSource.h"

#include <QString>
#include <QStringList>

// One feed of the Linux host as its key reads: "Feed" is feed 1, "Feed 2" feed
// 2, and so on up to "Feed 99".
//   kiss://HOST:PORT            KISS over TCP
//   agw://HOST[:PORT]           the AGW packet engine protocol, AgwSource's port by default
//   aprs-is://HOST:PORT         an APRS-IS server
//   serial:DEVICE[@BAUD]        KISS on a serial line, SerialKissSource's rate by default
//   file:PATH                   a log of TNC2 lines, or a named pipe
struct FeedSettings {
    enum class Kind { Kiss, Agw, AprsIs, Serial, Log };

    static constexpr int MaxNumber = 99;

    int number = 1;
    QString text = QStringLiteral("kiss://127.0.0.1:%1").arg(KissTcpSource::DefaultPort);
    Kind kind = Kind::Kiss;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = KissTcpSource::DefaultPort;
    QString path;  // the log file or the serial device
    qint32 baudRate = SerialKissSource::DefaultBaudRate;
    // What cannot be used, in words; such a feed is left out.
    QStringList problems;

    bool isUsable() const { return problems.isEmpty(); }
    QString key() const { return number == 1 ? QStringLiteral("Feed") : QStringLiteral("Feed %1").arg(number); }
};
