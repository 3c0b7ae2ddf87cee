#include "import/ImportSummary.h"

#include "import/LogLineParser.h"

#include <csignal>
#include <cstring>

namespace {

QString row(const QString &label, qint64 count)
{
    return QStringLiteral("  %1 %2\n").arg(label + QLatin1Char(':'), -48).arg(count);
}

struct Reason {
    const char *code;
    const char *words;
};

// The decoder's reason codes (aprs/AprsDecoder.h) in words.
constexpr Reason Reasons[] = {
    {"packet_short", "packet too short"},
    {"packet_nobody", "no information field"},
    {"packet_invalid", "position starts with no known byte"},
    {"srccall_badchars", "source callsign malformed"},
    {"dstcall_none", "no destination"},
    {"dstcall_noax25", "destination not an AX.25 callsign"},
    {"digicall_badchars", "path element malformed"},
    {"unknown", "no decodable format"},
    {"exp_unsupp", "experimental format"},
    {"loc_short", "position too short"},
    {"loc_inv", "position malformed"},
    {"loc_large", "position off the globe"},
    {"loc_amb_inv", "position ambiguity malformed"},
    {"sym_inv_table", "symbol table malformed"},
    {"comp_inv", "compressed position malformed"},
    {"mice_short", "Mic-E too short"},
    {"mice_inv", "Mic-E latitude malformed"},
    {"mice_inv_info", "Mic-E longitude, speed, course or symbol out of range"},
    {"mice_amb_inv", "Mic-E ambiguity malformed"},
    {"mice_amb_large", "Mic-E ambiguity too large"},
    {"obj_short", "object too short"},
    {"obj_inv", "object malformed"},
    {"obj_dec_err", "object position malformed"},
    {"item_short", "item too short"},
    {"item_inv", "item name malformed"},
    {"item_dec_err", "item position malformed"},
    {"nmea_unsupp", "NMEA sentence not supported"},
    {"nmea_inv_cksum", "NMEA checksum wrong"},
    {"nmea_inv_cval", "NMEA coordinate malformed"},
    {"nmea_large_ns", "NMEA latitude too large"},
    {"nmea_large_ew", "NMEA longitude too large"},
    {"nmea_inv_sign", "NMEA hemisphere malformed"},
    {"gprmc_fewfields", "RMC with too few fields"},
    {"gprmc_nofix", "RMC without a fix"},
    {"gprmc_inv_time", "RMC time malformed"},
    {"gprmc_inv_date", "RMC date malformed"},
    {"gpgga_fewfields", "GGA with too few fields"},
    {"gpgga_nofix", "GGA without a fix"},
    {"timestamp_inv_gpgga", "GGA time malformed"},
    {"gpgll_fewfields", "GLL with too few fields"},
    {"gpgll_nofix", "GLL without a fix"},
    {"timestamp_inv_gpgll", "GLL time malformed"},
    {"wx_unsupp", "weather format not supported"},
    {"wx_inv", "weather report without a reading"},
    {"msg_inv", "message malformed"},
    {"tlm_inv", "telemetry malformed"},
    {"tlm_large", "telemetry value too large"},
};

}  // namespace

QString ImportSummary::rejectionText(const char *code)
{
    for (const Reason &reason : Reasons) {
        if (std::strcmp(reason.code, code) == 0)
            return QStringLiteral("%1 (%2)").arg(QLatin1String(reason.words), QLatin1String(code));
    }
    return QStringLiteral("not decodable (%1)").arg(QLatin1String(code));
}

QString ImportSummary::tooLongReason()
{
    return QStringLiteral("too long (over %1 bytes)").arg(LogLineParser::MaxPacketBytes);
}

QString ImportSummary::text() const
{
    QString out;
    if (interrupted)
        out += QStringLiteral("Stopped by a signal (%1); every committed transaction is kept.\n")
                   .arg(stopSignal == SIGINT       ? QStringLiteral("SIGINT")
                           : stopSignal == SIGTERM ? QStringLiteral("SIGTERM")
                                                   : QString::number(stopSignal));
    for (const QString &problem : problems)
        out += QStringLiteral("Problem: %1\n").arg(problem);
    out += QStringLiteral("Files: %1\n").arg(files.size());
    for (qsizetype i = 0; i < files.size(); ++i)
        out += QStringLiteral("  %1: %2\n").arg(files.at(i), fileFormats.value(i));
    out += QStringLiteral("Lines read: %1\n").arg(lines);
    out += row(QStringLiteral("skipped (blank, comment, not received)"), skipped);
    out += row(QStringLiteral("bad (not a TNC2 line)"), bad);
    out += row(QStringLiteral("bad time stamp"), badTime);
    out += row(tooLongReason(), tooLong);
    out += row(QStringLiteral("packets"), packets);
    out += QStringLiteral("Packets: %1\n").arg(packets);
    out += row(QStringLiteral("duplicate (heard again within 30 s)"), duplicates);
    out += row(QStringLiteral("rejected (not decodable)"), undecodable);
    for (auto it = rejections.cbegin(); it != rejections.cend(); ++it)
        out += QStringLiteral("    %1 x %2\n").arg(it.value()).arg(it.key());
    out += row(QStringLiteral("remembered (status, weather without position)"), remembered);
    out += row(QStringLiteral("not a beacon (messages, telemetry, ...)"), dropped);
    out += row(QStringLiteral("beacons"), beacons);
    out += QStringLiteral("Beacons: %1\n").arg(beacons);
    out += row(QStringLiteral("stored"), stored);
    out += row(QStringLiteral("already stored"), alreadyStored);
    out += row(QStringLiteral("excluded (Enforce Exclusions)"), excluded);
    out += row(QStringLiteral("not recorded (capture switch off)"), notRecorded);
    out += row(QStringLiteral("failed (refused by the database)"), refused);
    if (uncommitted > 0)
        out += row(QStringLiteral("not committed"), uncommitted);
    for (auto it = refusals.cbegin(); it != refusals.cend(); ++it)
        out += QStringLiteral("    %1 x %2\n").arg(it.value()).arg(it.key());
    // The counts in the words of the bridge's own log line.
    out += QStringLiteral("In all: received %1, beacons %2, stored %3, failed %4\n")
               .arg(packets)
               .arg(beacons)
               .arg(stored)
               .arg(refused);
    const double rate = seconds > 0 ? double(stored) / seconds : 0;
    out += QStringLiteral("Time: %1 s, %2 beacons stored per second, %3 transactions\n")
               .arg(seconds, 0, 'f', 1)
               .arg(rate, 0, 'f', 0)
               .arg(transactions);
    return out;
}
