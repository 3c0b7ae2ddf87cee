#include "app/HostMenuRegistration.h"

#include "host/HostSettingsStore.h"
#include "settings/FileDescriptor.h"
#include "settings/FileError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <optional>

QString HostMenuRegistration::hostProgramFolder()
{
    return HostSettingsStore::open()->value(QStringLiteral("Program Folder"), QString()).toString();
}

QByteArray HostMenuRegistration::menuFileContent(const QString &programFolder)
{
    const QString lines =
        QStringLiteral("Keldan Bridge\r\n\"") + programFolder + QStringLiteral("/KELDAN.EXE\"\r\nTrue\r\nTrue\r\n");
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
    // Made only where nothing stands: a file the check above misses (a hidden
    // name, a link) is never truncated or written through.
    std::optional<FileDescriptor> file;
    try {
        file.emplace(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644, QStringLiteral("create"));
    } catch (const FileError &e) {
        if (e.osError() == EEXIST)
            return;
        throw;
    }
    file->writeAll(content);
    file->close();
}
