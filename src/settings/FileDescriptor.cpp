#include "settings/FileDescriptor.h"

#include "settings/FileError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FileDescriptor::FileDescriptor(const QString &path, int flags, mode_t mode, const QString &operation) : mPath(path)
{
    mFd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, mode);
    if (mFd < 0)
        fail(operation);
}

FileDescriptor::~FileDescriptor()
{
    if (mFd >= 0)
        ::close(mFd);
}

void FileDescriptor::fail(const QString &operation) const
{
    throw FileError(operation, mPath, errno);
}

QByteArray FileDescriptor::readAll()
{
    QByteArray content;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(mFd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("read"));
        }
        if (n == 0)
            return content;
        content.append(chunk, n);
    }
}

void FileDescriptor::writeAll(const QByteArray &content)
{
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(mFd, content.constData() + written, size_t(content.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("write"));
        }
        written += n;
    }
}

void FileDescriptor::sync()
{
    if (::fsync(mFd) != 0)
        fail(QStringLiteral("flush"));
}

void FileDescriptor::close()
{
    const int fd = mFd;
    mFd = -1;
    // Linux releases the descriptor even when close reports a failure, so it
    // is never closed twice.
    if (fd >= 0 && ::close(fd) != 0)
        fail(QStringLiteral("close"));
}
