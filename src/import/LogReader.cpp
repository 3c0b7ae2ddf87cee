#include "import/LogReader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <zlib.h>

namespace {

gzFile handle(void *file)
{
    return static_cast<gzFile>(file);
}

}  // namespace

LogReader::LogReader(QString path) : mPath(std::move(path)), mBuffer(64 * 1024, Qt::Uninitialized)
{ }

LogReader::~LogReader()
{
    if (mFile)
        gzclose(handle(mFile));
}

void LogReader::open()
{
    errno = 0;
    gzFile file = gzopen(QFile::encodeName(mPath).constData(), "rb");
    if (!file) {
        const int error = errno;
        throw std::runtime_error(
            QStringLiteral("cannot open %1: %2")
                .arg(mPath, error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("out of memory"))
                .toStdString());
    }
    gzbuffer(file, 256 * 1024);
    mFile = file;
}

bool LogReader::readLine(QByteArray &line)
{
    line.clear();
    gzFile file = handle(mFile);
    while (true) {
        if (!gzgets(file, mBuffer.data(), int(mBuffer.size()))) {
            int code = Z_OK;
            const char *message = gzerror(file, &code);
            if (code != Z_OK && code != Z_BUF_ERROR)
                throw std::runtime_error(QStringLiteral("cannot read %1: %2")
                                             .arg(mPath,
                                                 code == Z_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                                                 : QString::fromLatin1(message))
                                             .toStdString());
            // Z_BUF_ERROR: a .gz file cut off; what came before it is kept.
            return !line.isEmpty();
        }
        const qsizetype length = qsizetype(std::strlen(mBuffer.constData()));
        line.append(mBuffer.constData(), length);
        if (length > 0 && mBuffer.at(length - 1) == '\n')
            return true;
    }
}

qint64 LogReader::position() const
{
    return mFile ? qint64(gzoffset(handle(mFile))) : 0;
}
