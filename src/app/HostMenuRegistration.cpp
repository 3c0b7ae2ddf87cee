#include "app/HostMenuRegistration.h"

#include "config/FileError.h"
#include "host/HostSettingsStore.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QString HostMenuRegistration::hostProgramFolder()
{
    return HostSettingsStore::open()->value(QStringLiteral("Program Folder"), QString()).toString();
}

QByteArray HostMenuRegistration::menuFileContent(const QString &programFolder)
{
    const QString lines = QStringLiteral("Keldan Bridge\r\n\"") + programFolder + QStringLiteral("/KELDAN.EXE\"\r\nTrue\r\nTrue\r\n");
    return lines.toLocal8Bit();
}

void HostMenuRegistration::registerWithHost(const QString &programFolder)
{
    const QString hostFolder = hostProgramFolder();
    if (hostFolder.isEmpty())
        return;
    const QString path = hostFolder + MenuFileName;
    const QFileInfo existing(path);
    if (existing.isFile() && !existing.isHidden())
        return;

    const QByteArray content = menuFileContent(programFolder);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw FileError(QStringLiteral("create"), path, errno);
    if (::write(fd, content.constData(), size_t(content.size())) != content.size()) {
        const int error = errno;
        ::close(fd);
        throw FileError(QStringLiteral("write"), path, error);
    }
    if (::close(fd) != 0)
        throw FileError(QStringLiteral("close"), path, errno);
}
