#include "config/SettingsFile.h"

#include "config/FileError.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file holds a password: it is readable and writable by its owner only.
constexpr mode_t OwnerOnly = 0600;

QByteArray readWholeFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(QStringLiteral("open"), path, errno);
    QByteArray content;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw FileError(QStringLiteral("read"), path, error);
        }
        if (n == 0)
            break;
        content.append(chunk, n);
    }
    ::close(fd);
    return content;
}

// Creates (or empties) path, owner-only, writes content and flushes it to disk.
void writeWholeFile(const QString &path, const QByteArray &content)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, OwnerOnly);
    if (fd < 0)
        throw FileError(QStringLiteral("create"), path, errno);
    auto fail = [&](const QString &operation) {
        const int error = errno;
        ::close(fd);
        throw FileError(operation, path, error);
    };
    // An existing file keeps its mode through O_TRUNC; narrow it as well.
    if (::fchmod(fd, OwnerOnly) != 0)
        fail(QStringLiteral("protect"));
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + written, size_t(content.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("write"));
        }
        written += n;
    }
    if (::fsync(fd) != 0)
        fail(QStringLiteral("flush"));
    if (::close(fd) != 0)
        throw FileError(QStringLiteral("close"), path, errno);
}

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QByteArray asLine(const QString &text)
{
    return text.toUtf8() + "\r\n";
}

bool isPlainFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

}  // namespace

SettingsFile::SettingsFile(const QString &programFolder) : mFolder(programFolder) {}

QString SettingsFile::settingsPath() const
{
    return mFolder + QLatin1Char('/') + FileName;
}

QString SettingsFile::temporaryPath() const
{
    return mFolder + QLatin1Char('/') + TemporaryName;
}

bool SettingsFile::exists(const QString &programFolder)
{
    const QString folder = programFolder + QLatin1Char('/');
    return isPlainFile(folder + UpperCaseFileName) || isPlainFile(folder + FileName);
}

void SettingsFile::adoptUpperCaseName(const QString &programFolder)
{
    const QString upper = programFolder + QLatin1Char('/') + UpperCaseFileName;
    const QString lower = programFolder + QLatin1Char('/') + FileName;
    if (isPlainFile(lower) || !isPlainFile(upper))
        return;
    if (::rename(QFile::encodeName(upper).constData(), QFile::encodeName(lower).constData()) != 0)
        throw FileError(QStringLiteral("rename"), upper, errno);
}

void SettingsFile::writeDefaultConfig() const
{
    writeWholeFile(settingsPath(), asLine(QStringLiteral("DATABASE=TEST")));
}

QStringList SettingsFile::readItems(const QByteArray &content)
{
    // Commas and line ends both end an item; blank items carry nothing.
    QStringList items;
    QString item;
    for (const QChar c : QString::fromUtf8(content)) {
        if (c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!item.isEmpty())
                items.append(item);
            item.clear();
        } else {
            item.append(c);
        }
    }
    if (!item.isEmpty())
        items.append(item);
    return items;
}

SettingsValues SettingsFile::loadConfig() const
{
    SettingsValues values;
    const QStringList items = readItems(readWholeFile(settingsPath()));
    auto valueOf = [](const QString &item, const QString &key) { return item.right(item.size() - key.size()); };
    auto switchOf = [&](const QString &item, const QString &key) {
        return valueOf(item, key).toUpper() == QLatin1String("TRUE");
    };
    // Every key is tested against every item, in this order; a later item wins.
    for (const QString &item : items) {
        if (item.contains(KeyDatabase))
            values.database = valueOf(item, KeyDatabase);
        if (item.contains(KeyUsername))
            values.username = valueOf(item, KeyUsername);
        if (item.contains(KeyDsn))
            values.dsn = valueOf(item, KeyDsn);
        if (item.contains(KeyPassword))
            values.password = valueOf(item, KeyPassword);
        if (item.contains(KeyStoreFixed))
            values.storeFixed = switchOf(item, KeyStoreFixed);
        if (item.contains(KeyEnforceFilter))
            values.enforceFilter = switchOf(item, KeyEnforceFilter);
        if (item.contains(KeyStoreMobile))
            values.storeMobile = switchOf(item, KeyStoreMobile);
        if (item.contains(KeyStoreWx))
            values.storeWx = switchOf(item, KeyStoreWx);
    }
    return values;
}

void SettingsFile::changeConfig(const QString &Key, QString value, bool upCase) const
{
    value.replace(QLatin1Char(','), QLatin1Char('|'));
    if (upCase)
        value = value.toUpper();

    const QString temporary = temporaryPath();
    QByteArray rewritten;
    try {
        bool found = false;
        for (const QString &item : readItems(readWholeFile(settingsPath()))) {
            if (item.contains(Key)) {
                rewritten += asLine(Key + value);
                found = true;
            } else {
                rewritten += asLine(item);
            }
        }
        if (!found)
            rewritten += asLine(Key + value);
        writeWholeFile(temporary, rewritten);
        if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(settingsPath()).constData()) != 0)
            throw FileError(QStringLiteral("replace"), settingsPath(), errno);
    } catch (...) {
        if (QFileInfo(temporary).isFile())
            ::unlink(QFile::encodeName(temporary).constData());
        throw;
    }
    syncFolder(mFolder);
}

QString SettingsFile::boolToConfig(qint16 value)
{
    return value == 0 ? QStringLiteral("FALSE") : QStringLiteral("TRUE");
}
