#pragma once

#include <QString>

// Drops "KELDAN.XTR" into the host's program folder so that the host lists
// the bridge in its menu. The folder comes from the host's "Program Folder"
// setting and is used as a plain prefix: no separator is added.
class HostMenuRegistration
{
public:
    static inline const QString MenuFileName = QStringLiteral("KELDAN.XTR");

    // Reads "Program Folder" from the host's settings store; empty when unset.
    static QString hostProgramFolder();
    // The four CR LF lines of the menu file.
    static QByteArray menuFileContent(const QString &programFolder);
    // Writes nothing when the host folder is unset or anything stands at the
    // file's name already (the file is created exclusively, never
    // overwritten); throws FileError when it cannot be created or written.
    static void registerWithHost(const QString &programFolder);
};
