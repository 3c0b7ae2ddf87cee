#include "linuxhost/HostLog.h"

#include <QDateTime>

#include <cstdio>

namespace {
HostLog::Sink &currentSink()
{
    static HostLog::Sink sink;
    return sink;
}
}  // namespace

QString HostLog::stamped(const QString &message)
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char(' ') + message;
}

void HostLog::write(const QString &message)
{
    const QString line = stamped(message);
    if (currentSink()) {
        currentSink()(line);
        return;
    }
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void HostLog::setSink(Sink sink)
{
    currentSink() = std::move(sink);
}
