#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <sys/types.h>

struct archive;

// Reads a log line by line, once, as a stream: a file, a pipe, a named pipe
// or standard input ("-"), plain or compressed with gzip, xz or bzip2
// (libarchive tells them apart by the first bytes, whatever the file is
// called). Nothing is read twice, so a pipe imports as a file does.
// A line holds at most MaxLineBytes bytes: room for a packet of a live
// feed's 512 bytes after a stamp, a port and aprx's escapes (each control
// byte written as up to 11). A longer line is skipped to its line end and
// reported as TooLong, never kept whole. NUL bytes stay inside the line. Failures carry the OS error text or
// libarchive's.
class LogReader
{
public:
    static constexpr qsizetype MaxLineBytes = 8192;

    enum class Result { Line, TooLong, End };

    // stop: a signal number set by a signal handler; a read that a signal
    // interrupts ends the stream once it is non-zero.
    explicit LogReader(QString path, const std::atomic_int *stop = nullptr);
    ~LogReader();
    LogReader(const LogReader &) = delete;
    LogReader &operator=(const LogReader &) = delete;

    // Throws std::runtime_error when the file cannot be opened.
    void open();
    // The next line without its line end (LF; a CR before it is the
    // parser's). Throws std::runtime_error on a read error (a damaged file).
    Result readLine(QByteArray &line);
    // Bytes of the input (compressed bytes for a compressed file) read so far.
    qint64 position() const;
    QString path() const { return mPath; }
    // True for "-", pipes, sockets and character devices: what can be read once only.
    static bool isStream(const QString &path);

private:
    static ssize_t readCallback(archive *a, void *self, const void **buffer);
    bool fill();

    QString mPath;
    const std::atomic_int *mStop;
    int mFd = -1;
    bool mOwnFd = false;
    archive *mArchive = nullptr;
    QByteArray mRaw;  // bytes read from the file, before decompression
    const char *mData = nullptr;
    qsizetype mSize = 0;
    qsizetype mAt = 0;
    bool mEnd = false;
};
