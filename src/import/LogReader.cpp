#include "import/LogReader.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype ReadBytes = 256 * 1024;

[[noreturn]] void fail(const QString &what, const QString &path, const QString &reason)
{
    throw std::runtime_error(QStringLiteral("cannot %1 %2: %3").arg(what, path, reason).toStdString());
}

QString osError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

LogReader::LogReader(QString path, const std::atomic_int *stop) : mPath(std::move(path)), mStop(stop)
{ }

LogReader::~LogReader()
{
    if (mArchive)
        archive_read_free(mArchive);
    if (mOwnFd && mFd >= 0)
        ::close(mFd);
}

bool LogReader::isStream(const QString &path)
{
    if (path == QLatin1String("-"))
        return true;
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

ssize_t LogReader::readCallback(archive *a, void *self, const void **buffer)
{
    auto *reader = static_cast<LogReader *>(self);
    while (true) {
        const ssize_t got = ::read(reader->mFd, reader->mRaw.data(), size_t(reader->mRaw.size()));
        if (got >= 0) {
            *buffer = reader->mRaw.constData();
            return got;
        }
        if (errno != EINTR) {
            archive_set_error(a, errno, "%s", std::strerror(errno));
            return -1;
        }
        // A signal: the stream ends here when it asks to stop.
        if (reader->mStop && reader->mStop->load())
            return 0;
    }
}

void LogReader::open()
{
    if (mPath == QLatin1String("-")) {
        mFd = STDIN_FILENO;
    } else {
        // A named pipe waits here for its writer; a signal to stop ends the wait.
        do {
            mFd = ::open(QFile::encodeName(mPath).constData(), O_RDONLY | O_CLOEXEC);
        } while (mFd < 0 && errno == EINTR && !(mStop && mStop->load()));
        if (mFd < 0)
            fail(QStringLiteral("open"), mPath, errno == EINTR ? QStringLiteral("stopped") : osError(errno));
        mOwnFd = true;
        struct stat st {
        };
        if (::fstat(mFd, &st) == 0 && S_ISDIR(st.st_mode))
            fail(QStringLiteral("open"), mPath, osError(EISDIR));
    }
    mRaw.resize(ReadBytes);
    mArchive = archive_read_new();
    if (!mArchive)
        fail(QStringLiteral("open"), mPath, QStringLiteral("out of memory"));
    // Only these: their bids look at a few bytes, so a pipe's first line is
    // read as soon as it arrives (some other filters read far ahead to bid).
    archive_read_support_filter_gzip(mArchive);
    archive_read_support_filter_bzip2(mArchive);
    archive_read_support_filter_xz(mArchive);
    archive_read_support_filter_lzma(mArchive);
    archive_read_support_filter_zstd(mArchive);
    archive_read_support_format_raw(mArchive);
    archive_read_support_format_empty(mArchive);
    if (archive_read_open(mArchive, this, nullptr, &LogReader::readCallback, nullptr) != ARCHIVE_OK)
        fail(QStringLiteral("read"), mPath, QString::fromLocal8Bit(archive_error_string(mArchive)));
    archive_entry *entry = nullptr;
    const int header = archive_read_next_header(mArchive, &entry);
    if (header == ARCHIVE_EOF)
        mEnd = true;
    else if (header != ARCHIVE_OK && header != ARCHIVE_WARN)
        fail(QStringLiteral("read"), mPath, QString::fromLocal8Bit(archive_error_string(mArchive)));
}

bool LogReader::fill()
{
    if (mEnd)
        return false;
    const void *block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    const int status = archive_read_data_block(mArchive, &block, &size, &offset);
    if (status == ARCHIVE_EOF) {
        mEnd = true;
        return false;
    }
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
        mEnd = true;
        fail(QStringLiteral("read"), mPath, QString::fromLocal8Bit(archive_error_string(mArchive)));
    }
    mData = static_cast<const char *>(block);
    mSize = qsizetype(size);
    mAt = 0;
    return true;
}

LogReader::Result LogReader::readLine(QByteArray &line)
{
    line.clear();
    bool tooLong = false;
    bool any = false;
    while (true) {
        if (mAt >= mSize && !fill())
            break;
        if (mAt >= mSize)
            continue;
        any = true;
        const char *start = mData + mAt;
        const auto *newline = static_cast<const char *>(std::memchr(start, '\n', size_t(mSize - mAt)));
        const qsizetype piece = newline ? qsizetype(newline - start) : mSize - mAt;
        if (!tooLong) {
            // A CR before the LF does not count towards the cap.
            if (line.size() + piece > MaxLineBytes + 1) {
                tooLong = true;
                line.clear();
            } else {
                line.append(start, piece);
            }
        }
        mAt += piece;
        if (newline) {
            ++mAt;
            break;
        }
    }
    if (!tooLong && line.size() > MaxLineBytes && !line.endsWith('\r'))
        tooLong = true;
    if (tooLong) {
        line.clear();
        return Result::TooLong;
    }
    return any ? Result::Line : Result::End;
}

qint64 LogReader::position() const
{
    return mArchive ? qint64(archive_filter_bytes(mArchive, -1)) : 0;
}
