#include "settings/FileError.h"

#include <cstring>

FileError::FileError(const QString &operation, const QString &path, int osError)
    : std::runtime_error(
        (QStringLiteral("Cannot %1 %2: %3").arg(operation, path, QString::fromLocal8Bit(std::strerror(osError))))
            .toStdString()),
      mPath(path), mOsError(osError)
{ }
