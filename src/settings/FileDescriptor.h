#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// An open file descriptor that is closed however the code that holds it ends.
// Every failure throws FileError with the path, the operation and the OS error.
class FileDescriptor
{
public:
    // open(2) with O_CLOEXEC added; operation names the failure ("create").
    FileDescriptor(const QString &path, int flags, mode_t mode, const QString &operation);
    ~FileDescriptor();

    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return mFd; }
    const QString &path() const { return mPath; }

    // Reads to the end; an interrupted read is tried again.
    QByteArray readAll();
    // Writes every byte: a short write goes on from where it stopped, an
    // interrupted one is tried again.
    void writeAll(const QByteArray &content);
    // Flushes the file's data to the disk.
    void sync();
    // Closes now, so that a failing close is reported; the destructor's
    // close cannot report one.
    void close();

private:
    [[noreturn]] void fail(const QString &operation) const;

    QString mPath;
    int mFd = -1;
};
