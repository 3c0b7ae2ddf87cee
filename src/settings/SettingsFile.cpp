#include "settings/SettingsFile.h"

#include "settings/FileDescriptor.h"
#include "settings/FileError.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file holds a password: it is readable and writable by its owner only.
constexpr mode_t OwnerOnly = 0600;

QByteArray readWholeFile(const QString &path)
{
    return FileDescriptor(path, O_RDONLY, 0, QStringLiteral("open")).readAll();
}

// Narrows an open file to owner-only, writes content, flushes it to disk and
// closes it.
void writeWholeFile(FileDescriptor &file, const QByteArray &content)
{
    // An existing file keeps its mode through O_TRUNC; narrow it as well.
    if (::fchmod(file.get(), OwnerOnly) != 0)
        throw FileError(QStringLiteral("protect"), file.path(), errno);
    file.writeAll(content);
    file.sync();
    file.close();
}

// The lines of content without their line ends (CR LF, LF or a lone CR), as
// bytes: text that is not UTF-8 is carried through untouched.
QList<QByteArray> splitLines(const QByteArray &content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const char c = content.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(content.mid(start, i - start));
        if (c == '\r' && i + 1 < content.size() && content.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < content.size())
        lines.append(content.mid(start));
    return lines;
}

// The folder part of a path ("/a/b" for "/a/b/keldan.ini").
QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

// The file a path names after every symbolic link is followed.
QString resolvedPath(const QString &path)
{
    char *resolved = ::realpath(QFile::encodeName(path).constData(), nullptr);
    if (!resolved)
        throw FileError(QStringLiteral("open"), path, errno);
    const QString result = QFile::decodeName(resolved);
    ::free(resolved);
    return result;
}

void syncFolder(const QString &folder)
{
    try {
        FileDescriptor(folder, O_RDONLY | O_DIRECTORY, 0, QStringLiteral("open")).sync();
    } catch (const FileError &) {
        // The rename is done; a folder that cannot be flushed changes nothing.
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

SettingsFile::SettingsFile(const QString &programFolder) : mFolder(programFolder)
{ }

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
    FileDescriptor file(settingsPath(), O_WRONLY | O_CREAT | O_TRUNC, OwnerOnly, QStringLiteral("create"));
    writeWholeFile(file, asLine(QStringLiteral("DATABASE=TEST")));
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

QString SettingsFile::singleLine(const QString &text)
{
    // Only the file's own line ends: the reader keeps every other character
    // (a vertical tab, U+2028 ...) inside the value.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\r') || text.at(i) == QLatin1Char('\n'))
            return text.left(i);
    }
    return text;
}

QByteArray SettingsFile::rewritten(const QByteArray &content, const QString &Key, const QString &value)
{
    const QByteArray key = Key.toUtf8();
    const QByteArray keyLine = asLine(Key + value);
    QByteArray result;
    bool found = false;
    for (const QByteArray &line : splitLines(content)) {
        if (line.isEmpty()) {
            result += "\r\n";
            continue;
        }
        // A comma ends an item as a line end does; each item gets its own line.
        for (const QByteArray &item : line.split(',')) {
            if (item.isEmpty())
                continue;
            if (item.contains(key)) {
                result += keyLine;
                found = true;
            } else {
                result += item + "\r\n";
            }
        }
    }
    if (!found)
        result += keyLine;
    return result;
}

void SettingsFile::changeConfig(const QString &Key, QString value, bool upCase) const
{
    value = singleLine(value);
    value.replace(QLatin1Char(','), QLatin1Char('|'));
    if (upCase)
        value = value.toUpper();

    // A keldan.ini that is a symbolic link stays one: the file it points to is
    // replaced, through a temporary file in that file's own folder.
    const QString target = resolvedPath(settingsPath());
    const QByteArray content = rewritten(readWholeFile(target), Key, value);
    const QString folder = folderOf(target);
    const QString temporary = folder + QLatin1Char('/') + TemporaryName;
    const QByteArray temporaryName = QFile::encodeName(temporary);

    // A leftover keldan.tmp, whatever it is, is never written through: it is
    // removed, and the new one made where nothing stands.
    if (::unlink(temporaryName.constData()) != 0 && errno != ENOENT)
        throw FileError(QStringLiteral("create"), temporary, errno);
    FileDescriptor file(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, OwnerOnly, QStringLiteral("create"));
    try {
        writeWholeFile(file, content);
        if (::rename(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
            throw FileError(QStringLiteral("replace"), target, errno);
    } catch (...) {
        ::unlink(temporaryName.constData());
        throw;
    }
    syncFolder(folder);
}

QString SettingsFile::boolToConfig(qint16 value)
{
    return value == 0 ? QStringLiteral("FALSE") : QStringLiteral("TRUE");
}
