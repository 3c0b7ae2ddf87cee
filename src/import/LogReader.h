#pragma once

#include <QByteArray>
#include <QString>

// Reads a log line by line, plain or gzip-compressed (zlib tells them apart
// by the first bytes, whatever the file is called). Failures carry the OS
// error text or zlib's.
class LogReader
{
public:
    explicit LogReader(QString path);
    ~LogReader();
    LogReader(const LogReader &) = delete;
    LogReader &operator=(const LogReader &) = delete;

    // Throws std::runtime_error when the file cannot be opened.
    void open();
    // The next line without its line end; false at the end of the file.
    // Throws std::runtime_error on a read error (a damaged .gz file).
    bool readLine(QByteArray &line);
    // Bytes of the file (compressed bytes for .gz) read so far.
    qint64 position() const;
    QString path() const { return mPath; }

private:
    QString mPath;
    void *mFile = nullptr;  // gzFile
    QByteArray mBuffer;
};
