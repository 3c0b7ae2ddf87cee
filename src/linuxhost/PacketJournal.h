#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <thread>

// The packet journal: every packet the host hears, one JournalLine each, in a
// file per UTC day (FOLDER/YYYY-MM-DD.log). Lines are gathered in memory and
// written at least once a second, so a packet costs the feed no disk access.
// A finished day is compressed to YYYY-MM-DD.log.gz on a worker thread; the
// files of today and the keepDays days before it are kept, older ones removed.
//
// A write that fails (a full disk, a folder gone) never holds a packet back:
// the journal drops what it held, says so once in the log, and tries again
// RetryMs later, cutting the file back to its last whole line.
class PacketJournal : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlushMs = 1000;
    static constexpr int RetryMs = 30'000;
    // Lines held beyond this many bytes are written at once.
    static constexpr qsizetype FlushBytes = 64 * 1024;

    using Clock = std::function<QDateTime()>;
    // The file write; a seam for tests. Returns the bytes written, or -1.
    using Writer = std::function<qint64(QFile &, QByteArrayView)>;

    // folder: the journal's own folder (created when missing); keepDays >= 1.
    PacketJournal(const QString &folder, int keepDays, Clock clock = {}, QObject *parent = nullptr);
    ~PacketJournal() override;

    // One packet, stamped with the clock's time now.
    void write(qint16 radioPort, QByteArrayView packet) { write(radioPort, packet, now()); }
    // One packet heard at heardAt: the host stamps a packet once and gives
    // the journal and the beacon the same time, so that recovery finds the
    // stored beacon by the time the journal holds.
    void write(qint16 radioPort, QByteArrayView packet, const QDateTime &heardAt);
    // Writes what is held; false when the write failed.
    bool flush();

    // The journal's files, oldest first: YYYY-MM-DD.log and .log.gz.
    static QStringList files(const QString &folder);
    static QString fileName(QDate day) { return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".log"); }

    QString folder() const { return mFolder; }
    // False from a failed write until a write succeeds again.
    bool isWriting() const { return !mFailed; }
    // Lines dropped since the start because they could not be written.
    qint64 droppedLines() const { return mDroppedLines; }
    // Waits for the worker compressing finished days (tests, shutdown).
    void waitForCompression();
    void setWriter(Writer writer) { mWriter = std::move(writer); }

    // Compresses the finished log file path to path.gz, then removes it; in
    // gzip's own format, so gzip -d reads it back.
    static bool compress(const QString &path);

private:
    void openDay(QDate day);
    void finishDays(QDate today);
    QDateTime now() const;

    QString mFolder;
    int mKeepDays;
    Clock mClock;
    Writer mWriter;
    QFile mFile;
    QDate mDay;
    QByteArray mHeld;
    qsizetype mHeldLines = 0;
    bool mFailed = false;
    QDateTime mRetryAt;
    qint64 mDroppedLines = 0;
    QTimer mFlushTimer;
    std::thread mCompressor;
};
