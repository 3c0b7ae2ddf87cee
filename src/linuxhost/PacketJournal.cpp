#include "linuxhost/PacketJournal.h"

#include "host/LogCategories.h"
#include "road/JournalLine.h"

#include <QDir>
#include <QRegularExpression>

#include <zlib.h>

namespace {

const QRegularExpression &journalName()
{
    static const QRegularExpression name(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})\\.log(\\.gz)?$"));
    return name;
}

QDate dayOf(const QString &fileName)
{
    const QRegularExpressionMatch match = journalName().match(fileName);
    return match.hasMatch() ? QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd")) : QDate();
}

qint64 writeToFile(QFile &file, QByteArrayView bytes)
{
    return file.write(bytes.data(), bytes.size());
}

}  // namespace

PacketJournal::PacketJournal(const QString &folder, int keepDays, Clock clock, QObject *parent)
    : QObject(parent), mFolder(folder), mKeepDays(qMax(1, keepDays)), mClock(std::move(clock)), mWriter(writeToFile),
      mFlushTimer(this)  // moves with the journal to the host's thread
{
    QDir().mkpath(mFolder);
    mFlushTimer.setInterval(FlushMs);
    connect(&mFlushTimer, &QTimer::timeout, this, [this] { flush(); });
    mFlushTimer.start();
    // Days an earlier run left unfinished are compressed now.
    finishDays(now().date());
}

PacketJournal::~PacketJournal()
{
    flush();
    mFile.close();
    waitForCompression();
}

QDateTime PacketJournal::now() const
{
    return (mClock ? mClock() : QDateTime::currentDateTimeUtc()).toUTC();
}

void PacketJournal::write(qint16 radioPort, QByteArrayView packet, const QDateTime &heardAtAnyZone)
{
    const QDateTime heardAt = heardAtAnyZone.toUTC();
    const QDate day = heardAt.date();
    if (day != mDay) {
        flush();
        mFile.close();
        mDay = day;
        finishDays(day);
    }
    if (mFailed && heardAt < mRetryAt) {
        ++mDroppedLines;
        return;
    }
    mHeld += JournalLine::format(heardAt, radioPort, packet);
    ++mHeldLines;
    if (mHeld.size() >= FlushBytes)
        flush();
}

void PacketJournal::openDay(QDate day)
{
    mFile.close();
    mFile.setFileName(QDir(mFolder).filePath(fileName(day)));
    QDir().mkpath(mFolder);
    mFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

bool PacketJournal::flush()
{
    if (mHeld.isEmpty())
        return !mFailed;
    if (!mFile.isOpen())
        openDay(mDay);
    const qint64 sizeBefore = mFile.isOpen() ? mFile.size() : 0;
    const qint64 written = mFile.isOpen() ? mWriter(mFile, mHeld) : -1;
    if (written == mHeld.size()) {
        if (mFailed) {
            qCInfo(lcHost).noquote() << QStringLiteral("Journal: writing to %1 again; %2 packets were not journaled")
                                            .arg(mFile.fileName())
                                            .arg(mDroppedLines);
            mFailed = false;
        }
        mHeld.clear();
        mHeldLines = 0;
        return true;
    }
    // A part of a line would spoil the next one: the file is cut back, whatever
    // the write said it wrote.
    if (mFile.isOpen() && mFile.size() != sizeBefore)
        mFile.resize(sizeBefore);
    const QString why = mFile.errorString();
    mFile.close();
    mDroppedLines += mHeldLines;
    mHeld.clear();
    mHeldLines = 0;
    if (!mFailed) {
        qCWarning(lcHost).noquote() << QStringLiteral(
            "Journal: cannot write %1 (%2); packets are not journaled until it can, tried again every %3 s")
                                           .arg(mFile.fileName(), why)
                                           .arg(RetryMs / 1000);
    }
    mFailed = true;
    mRetryAt = now().addMSecs(RetryMs);
    return false;
}

QStringList PacketJournal::files(const QString &folder)
{
    QStringList found;
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (dayOf(name).isValid())
            found << QDir(folder).filePath(name);
    }
    return found;
}

void PacketJournal::waitForCompression()
{
    if (mCompressor.joinable())
        mCompressor.join();
}

// On the worker: every .log of a day before today is compressed, and every
// file older than the days kept removed.
void PacketJournal::finishDays(QDate today)
{
    waitForCompression();
    mCompressor = std::thread([folder = mFolder, today, keepDays = mKeepDays] {
        const QDate oldestKept = today.addDays(-keepDays);
        for (const QString &path : files(folder)) {
            const QString name = QFileInfo(path).fileName();
            const QDate day = dayOf(name);
            if (day < oldestKept)
                QFile::remove(path);
            else if (day < today && name.endsWith(QLatin1String(".log")))
                compress(path);
        }
    });
}

bool PacketJournal::compress(const QString &path)
{
    const QString target = path + QStringLiteral(".gz");
    const QString part = target + QStringLiteral(".part");
    if (QFile::exists(target))  // compressed before a stop that left the log behind
        return QFile::remove(path);
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    gzFile out = gzopen(QFile::encodeName(part).constData(), "wb6");
    if (!out)
        return false;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(256 * 1024);
        ok = !chunk.isEmpty() && gzwrite(out, chunk.constData(), unsigned(chunk.size())) == int(chunk.size());
    }
    ok = gzclose(out) == Z_OK && ok;
    if (!ok || !QFile::rename(part, target)) {
        QFile::remove(part);
        qCWarning(lcHost).noquote() << QStringLiteral("Journal: cannot compress %1; it is kept as it is").arg(path);
        return false;
    }
    QFile::remove(path);
    return true;
}
