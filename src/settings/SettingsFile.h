#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What one read of the settings file yields. The connection settings start
// from their built-in values; a switch is set only when a line names it.
struct SettingsValues {
    QString dsn = QStringLiteral("myodbc3-test");
    QString username = QStringLiteral("sa");
    QString password;
    QString database = QStringLiteral("test");
    std::optional<bool> storeFixed;
    std::optional<bool> enforceFilter;
    std::optional<bool> storeMobile;
    std::optional<bool> storeWx;
};

// keldan.ini in the program folder: key-and-value lines ending in CR LF.
// Reading goes item by item (a comma ends an item just as a line end does),
// a key matches wherever it stands in an item, and its value is the item's
// last L - K characters. Every change rewrites the whole file.
class SettingsFile
{
public:
    static inline const QString FileName = QStringLiteral("keldan.ini");
    // The name as a case-insensitive file system may have kept it.
    static inline const QString UpperCaseFileName = QStringLiteral("KELDAN.INI");
    static inline const QString TemporaryName = QStringLiteral("keldan.tmp");

    // The keys, "=" included, in the order every item is tested against them.
    static inline const QString KeyDatabase = QStringLiteral("DATABASE=");
    static inline const QString KeyUsername = QStringLiteral("USERNAME=");
    static inline const QString KeyDsn = QStringLiteral("DSN=");
    static inline const QString KeyPassword = QStringLiteral("PASSWORD=");
    static inline const QString KeyStoreFixed = QStringLiteral("STORE_FIXED=");
    static inline const QString KeyEnforceFilter = QStringLiteral("ENFORE_FILTER=");
    static inline const QString KeyStoreMobile = QStringLiteral("STORE_MOBILE=");
    static inline const QString KeyStoreWx = QStringLiteral("STORE_WX=");

    explicit SettingsFile(const QString &programFolder);

    QString settingsPath() const;
    // Where a change writes first when keldan.ini is a plain file.
    QString temporaryPath() const;

    // True when the folder holds the settings file under its own name or in
    // capitals ("KELDAN.INI"), as a plain file.
    static bool exists(const QString &programFolder);
    // A file present only as "KELDAN.INI" is renamed to "keldan.ini", so
    // every later operation on a case-sensitive file system finds it.
    static void adoptUpperCaseName(const QString &programFolder);

    // Creates or empties the file and writes the one line "DATABASE=TEST".
    void writeDefaultConfig() const;
    SettingsValues loadConfig() const;
    // Sets Key to value in every item that holds Key (or appends it), through
    // keldan.tmp, which is created afresh (a leftover one is removed), written
    // whole, flushed and then renamed over keldan.ini: a failure leaves
    // keldan.ini as it was. When keldan.ini is a symbolic link, the file it
    // points to is replaced, with keldan.tmp in that file's folder. The value
    // is cut at its first CR or LF: it can never add or change a line.
    void changeConfig(const QString &Key, QString value, bool upCase) const;

    // The text before the first CR or LF, the file's own line ends, for a
    // value that must stay on its own line.
    static QString singleLine(const QString &text);
    // content with Key set to value, every item on its own CR LF line. Bytes
    // that are not UTF-8 and blank lines are kept as they are.
    static QByteArray rewritten(const QByteArray &content, const QString &Key, const QString &value);

    static QString boolToConfig(qint16 value);
    static QStringList readItems(const QByteArray &content);

private:
    QString mFolder;
};
