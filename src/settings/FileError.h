#pragma once

#include <QString>
#include <stdexcept>

// A file operation that failed, with the OS error number and its text.
class FileError : public std::runtime_error
{
public:
    FileError(const QString &operation, const QString &path, int osError);

    int osError() const { return mOsError; }
    const QString &path() const { return mPath; }
    // "Cannot write /x/keldan.tmp: Is a directory"
    QString text() const { return QString::fromStdString(what()); }

private:
    QString mPath;
    int mOsError;
};
