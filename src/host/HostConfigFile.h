#pragma once

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

// The host's settings as one file an administrator writes, such as the
// service's /etc/keldan/keldan.conf (keldan --config FILE, keldan.conf(5)):
// one "Key = value" a line. A line whose first non-blank character is # or ;
// is a comment, a blank line is skipped. A key keeps its inner spaces
// ("Feed 2", "Time Zone"); a value is taken as it stands between the "=" and
// the line's end, trimmed: no quotes, no lists, no comment after it. An empty
// value is an empty setting ("Web =" turns the live page off). The program
// never writes the file.
class HostConfigFile
{
public:
    struct Contents {
        QMap<QString, QString> values;
        // One line each: "line 7: ...", or why the file cannot be read.
        QStringList problems;
    };

    // The keys the file may hold. Every key that starts with "Feed" is let
    // through: the host's settings tell a feed key from a lookalike.
    static const QStringList &keys();
    static bool isKnownKey(const QString &key);

    static Contents parse(const QByteArray &text);
    static Contents read(const QString &path);
    // A settings store on the file, read-only; its values are parse()'s.
    // Lines with problems are left out of it.
    static std::unique_ptr<QSettings> open(const QString &path);
};
