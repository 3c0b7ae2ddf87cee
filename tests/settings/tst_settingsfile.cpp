#include "settings/FileError.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

mode_t modeOf(const QString &path)
{
    struct stat info {
    };
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

QString switchText(const std::optional<bool> &state)
{
    return state ? (*state ? "on" : "off") : "-";
}

}  // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *mFolder = nullptr;
    QString iniPath() const { return mFolder->filePath("keldan.ini"); }
    QString tmpPath() const { return mFolder->filePath("keldan.tmp"); }

private slots:
    void init() { mFolder = new QTemporaryDir; }
    void cleanup() { delete mFolder; }

    void defaultFileIsOneOwnerOnlyLine()
    {
        SettingsFile(mFolder->path()).writeDefaultConfig();
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\n"));
        QCOMPARE(modeOf(iniPath()), mode_t(0600));

        const SettingsValues values = SettingsFile(mFolder->path()).loadConfig();
        QCOMPARE(values.database, QString("TEST"));
        QCOMPARE(values.dsn, QString("myodbc3-test"));
        QCOMPARE(values.username, QString("sa"));
        QCOMPARE(values.password, QString());
    }

    void loadConfig_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("switches");  // fixed, enforce, mobile, wx

        QTest::addRow("empty file keeps the built-in values") << QByteArray() << "myodbc3-test"
                                                              << "sa"
                                                              << ""
                                                              << "test"
                                                              << "- - - -";
        QTest::addRow("every key") << QByteArray(
            "DSN=d\r\nUSERNAME=u\r\nPASSWORD=p\r\nDATABASE=b\r\nSTORE_FIXED=FALSE\r\n"
            "ENFORE_FILTER=TRUE\r\nSTORE_MOBILE=FALSE\r\nSTORE_WX=TRUE\r\n")
                                   << "d"
                                   << "u"
                                   << "p"
                                   << "b"
                                   << "off on off on";
        QTest::addRow("XDSN=abc matches and keeps its last four characters") << QByteArray("XDSN=abc\r\n") << "=abc"
                                                                             << "sa"
                                                                             << ""
                                                                             << "test"
                                                                             << "- - - -";
        QTest::addRow("PASSWORD=aDSN=b sets both") << QByteArray("PASSWORD=aDSN=b\r\n") << "WORD=aDSN=b"
                                                   << "sa"
                                                   << "aDSN=b"
                                                   << "test"
                                                   << "- - - -";
        QTest::addRow("keys are case-sensitive") << QByteArray("dsn=x\r\n") << "myodbc3-test"
                                                 << "sa"
                                                 << ""
                                                 << "test"
                                                 << "- - - -";
        QTest::addRow("a comma ends an item") << QByteArray("NOTE=a,DSN=b\r\n") << "b"
                                              << "sa"
                                              << ""
                                              << "test"
                                              << "- - - -";
        QTest::addRow("the later line wins") << QByteArray("DSN=first\r\nDSN=second\r\n") << "second"
                                             << "sa"
                                             << ""
                                             << "test"
                                             << "- - - -";
        QTest::addRow("a bar stays a bar") << QByteArray("DSN=a|b\r\n") << "a|b"
                                           << "sa"
                                           << ""
                                           << "test"
                                           << "- - - -";
        QTest::addRow("blanks are kept") << QByteArray("USERNAME= sa \r\n") << "myodbc3-test"
                                         << " sa "
                                         << ""
                                         << "test"
                                         << "- - - -";
        QTest::addRow("line feeds alone end lines too") << QByteArray("DSN=x\nUSERNAME=y") << "x"
                                                        << "y"
                                                        << ""
                                                        << "test"
                                                        << "- - - -";
        QTest::addRow("STORE_WX=true checks") << QByteArray("STORE_WX=true\r\n") << "myodbc3-test"
                                              << "sa"
                                              << ""
                                              << "test"
                                              << "- - - on";
        QTest::addRow("STORE_WX=yes unchecks") << QByteArray("STORE_WX=yes\r\n") << "myodbc3-test"
                                               << "sa"
                                               << ""
                                               << "test"
                                               << "- - - off";
        QTest::addRow("STORE_WX=1 unchecks") << QByteArray("STORE_WX=1\r\n") << "myodbc3-test"
                                             << "sa"
                                             << ""
                                             << "test"
                                             << "- - - off";
        QTest::addRow("bare STORE_WX= unchecks") << QByteArray("STORE_WX=\r\n") << "myodbc3-test"
                                                 << "sa"
                                                 << ""
                                                 << "test"
                                                 << "- - - off";
        QTest::addRow("UTF-8 values") << QByteArray("PASSWORD=Ærø°\r\n") << "myodbc3-test"
                                      << "sa"
                                      << "Ærø°"
                                      << "test"
                                      << "- - - -";
    }

    void loadConfig()
    {
        QFETCH(QByteArray, content);
        writeFile(iniPath(), content);
        const SettingsValues values = SettingsFile(mFolder->path()).loadConfig();
        QTEST(values.dsn, "dsn");
        QTEST(values.username, "username");
        QTEST(values.password, "password");
        QTEST(values.database, "database");
        const QString switches = QStringList {switchText(values.storeFixed), switchText(values.enforceFilter),
            switchText(values.storeMobile), switchText(values.storeWx)}
                                     .join(' ');
        QTEST(switches, "switches");
    }

    void changeConfig_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("upCase");
        QTest::addColumn<QByteArray>("after");

        QTest::addRow("a new key is appended")
            << QByteArray("DATABASE=TEST\r\n") << "STORE_FIXED="
            << "FALSE" << false << QByteArray("DATABASE=TEST\r\nSTORE_FIXED=FALSE\r\n");
        QTest::addRow("an existing key is replaced in place") << QByteArray("DSN=a\r\nUSERNAME=b\r\n") << "DSN="
                                                              << "z" << false << QByteArray("DSN=z\r\nUSERNAME=b\r\n");
        QTest::addRow("every matching line is replaced") << QByteArray("DSN=a\r\nX=1\r\nDSN=b\r\n") << "DSN="
                                                         << "c" << false << QByteArray("DSN=c\r\nX=1\r\nDSN=c\r\n");
        QTest::addRow("commas are stored as bars") << QByteArray("DATABASE=TEST\r\n") << "DSN="
                                                   << "a,b,c" << false << QByteArray("DATABASE=TEST\r\nDSN=a|b|c\r\n");
        QTest::addRow("upCase upper-cases the value") << QByteArray() << "DATABASE="
                                                      << "test" << true << QByteArray("DATABASE=TEST\r\n");
        QTest::addRow("lower case is kept as typed") << QByteArray() << "USERNAME="
                                                     << "MixedCase" << false << QByteArray("USERNAME=MixedCase\r\n");
        QTest::addRow("an empty file gets the one line") << QByteArray() << "STORE_WX="
                                                         << "TRUE" << false << QByteArray("STORE_WX=TRUE\r\n");
        QTest::addRow("an empty password") << QByteArray("PASSWORD=old\r\n") << "PASSWORD="
                                           << "" << false << QByteArray("PASSWORD=\r\n");
        QTest::addRow("NOTE=a,b becomes two lines") << QByteArray("NOTE=a,b\r\n") << "DSN="
                                                    << "x" << false << QByteArray("NOTE=a\r\nb\r\nDSN=x\r\n");
        QTest::addRow("a DSN= change swallows PASSWORD=aDSN=b") << QByteArray("PASSWORD=aDSN=b\r\n") << "DSN="
                                                                << "x" << false << QByteArray("DSN=x\r\n");
        QTest::addRow("line feeds become CR LF") << QByteArray("A=1\nB=2") << "C="
                                                 << "3" << false << QByteArray("A=1\r\nB=2\r\nC=3\r\n");
        QTest::addRow("bytes that are not UTF-8 are kept")
            << QByteArray("NOTE=caf\xe9 \xff\r\nDSN=a\r\n") << "DSN="
            << "b" << false << QByteArray("NOTE=caf\xe9 \xff\r\nDSN=b\r\n");
        QTest::addRow("blank lines are kept") << QByteArray("A=1\r\n\r\nDSN=a\n\nB=2\r\n") << "DSN="
                                              << "b" << false << QByteArray("A=1\r\n\r\nDSN=b\r\n\r\nB=2\r\n");
        QTest::addRow("a line break ends the value")
            << QByteArray("DSN=a\r\nPASSWORD=old\r\n") << "PASSWORD="
            << "pw\nDSN=other" << false << QByteArray("DSN=a\r\nPASSWORD=pw\r\n");
        QTest::addRow("a CR ends the value") << QByteArray() << "PASSWORD="
                                             << "pw\r" << false << QByteArray("PASSWORD=pw\r\n");
    }

    void changeConfig()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, upCase);
        writeFile(iniPath(), before);
        SettingsFile(mFolder->path()).changeConfig(key, value, upCase);
        QTEST(readFile(iniPath()), "after");
        QVERIFY(!QFile::exists(tmpPath()));
    }

    void changedFileIsOwnerOnly()
    {
        writeFile(iniPath(), "DATABASE=TEST\r\n");
        QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        // A leftover temporary file with wide permissions is narrowed too.
        writeFile(tmpPath(), "junk");
        ::chmod(QFile::encodeName(tmpPath()).constData(), 0666);
        SettingsFile(mFolder->path()).changeConfig("DSN=", "x", false);
        QCOMPARE(modeOf(iniPath()), mode_t(0600));
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\nDSN=x\r\n"));
    }

    // keldan.ini as a link stays a link; the file it points to, in another
    // folder, is what changes, through a keldan.tmp of that folder.
    void linkedSettingsFileStaysALink()
    {
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath("settings.ini");
        writeFile(target, "DATABASE=TEST\r\n");
        QVERIFY(QFile::link(target, iniPath()));
        SettingsFile(mFolder->path()).changeConfig("DSN=", "x", false);
        QVERIFY(QFileInfo(iniPath()).isSymLink());
        QCOMPARE(QFileInfo(iniPath()).symLinkTarget(), target);
        QCOMPARE(readFile(target), QByteArray("DATABASE=TEST\r\nDSN=x\r\n"));
        QCOMPARE(modeOf(target), mode_t(0600));
        QVERIFY(!QFileInfo::exists(elsewhere.filePath("keldan.tmp")));
        QVERIFY(!QFileInfo::exists(tmpPath()));
    }

    // A keldan.tmp planted as a link is removed, never written through: its
    // target keeps its bytes and never sees the password.
    void plantedTemporaryLinkIsNotFollowed_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::addRow("a link to a file") << false;
        QTest::addRow("a link to nothing") << true;
    }

    void plantedTemporaryLinkIsNotFollowed()
    {
        QFETCH(bool, dangling);
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath("victim");
        if (!dangling)
            writeFile(victim, "precious");
        QVERIFY(QFile::link(victim, tmpPath()));
        writeFile(iniPath(), "DATABASE=TEST\r\n");
        SettingsFile(mFolder->path()).changeConfig("PASSWORD=", "secret", false);
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\nPASSWORD=secret\r\n"));
        QCOMPARE(readFile(victim), dangling ? QByteArray("<missing>") : QByteArray("precious"));
        QVERIFY(!QFileInfo(tmpPath()).isSymLink());
        QVERIFY(!QFileInfo::exists(tmpPath()));
    }

    void failedChangeLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<bool>("folderStandsAtTmp");
        QTest::addColumn<bool>("settingsMissing");
        QTest::addColumn<int>("osError");
        QTest::addColumn<QString>("messageStart");
        QTest::addRow("a folder where keldan.tmp must go") << true << false << int(EISDIR) << "Cannot create";
        QTest::addRow("the settings file is missing") << false << true << int(ENOENT) << "Cannot open";
    }

    void failedChangeLeavesTheFileAsItWas()
    {
        QFETCH(bool, folderStandsAtTmp);
        QFETCH(bool, settingsMissing);
        QFETCH(int, osError);
        QFETCH(QString, messageStart);
        const QByteArray original("DATABASE=TEST\r\nSTORE_WX=TRUE\r\n");
        if (!settingsMissing)
            writeFile(iniPath(), original);
        if (folderStandsAtTmp)
            QVERIFY(QDir(mFolder->path()).mkdir("keldan.tmp"));
        try {
            SettingsFile(mFolder->path()).changeConfig("STORE_WX=", "FALSE", false);
            QFAIL("the change should have failed");
        } catch (const FileError &e) {
            QCOMPARE(e.osError(), osError);
            QVERIFY2(e.text().startsWith(messageStart), qPrintable(e.text()));
            QVERIFY2(e.text().contains("keldan."), qPrintable(e.text()));
        }
        QCOMPARE(readFile(iniPath()), settingsMissing ? QByteArray("<missing>") : original);
        QCOMPARE(QFileInfo(tmpPath()).isFile(), false);
    }

    void existsAcceptsBothSpellings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("exists");
        QTest::addRow("keldan.ini") << "keldan.ini" << false << true;
        QTest::addRow("KELDAN.INI") << "KELDAN.INI" << false << true;
        QTest::addRow("Keldan.ini is neither probe") << "Keldan.ini" << false << false;
        QTest::addRow("a folder is no settings file") << "keldan.ini" << true << false;
        QTest::addRow("nothing") << "" << false << false;
    }

    void existsAcceptsBothSpellings()
    {
        QFETCH(QString, name);
        QFETCH(bool, isFolder);
        if (!name.isEmpty()) {
            if (isFolder)
                QVERIFY(QDir(mFolder->path()).mkdir(name));
            else
                writeFile(mFolder->filePath(name), "DSN=x\r\n");
        }
        QTEST(SettingsFile::exists(mFolder->path()), "exists");
    }

    void upperCaseFileIsRenamedBeforeUse()
    {
        writeFile(mFolder->filePath("KELDAN.INI"), "DSN=upper\r\n");
        SettingsFile::adoptUpperCaseName(mFolder->path());
        QVERIFY(QFile::exists(iniPath()));
        QVERIFY(!QFile::exists(mFolder->filePath("KELDAN.INI")));
        QCOMPARE(SettingsFile(mFolder->path()).loadConfig().dsn, QString("upper"));
        SettingsFile(mFolder->path()).changeConfig("DSN=", "lower", false);
        QCOMPARE(readFile(iniPath()), QByteArray("DSN=lower\r\n"));
    }

    void lowerCaseFileWinsOverUpperCase()
    {
        writeFile(mFolder->filePath("KELDAN.INI"), "DSN=upper\r\n");
        writeFile(iniPath(), "DSN=lower\r\n");
        SettingsFile::adoptUpperCaseName(mFolder->path());
        QCOMPARE(readFile(mFolder->filePath("KELDAN.INI")), QByteArray("DSN=upper\r\n"));
        QCOMPARE(SettingsFile(mFolder->path()).loadConfig().dsn, QString("lower"));
    }

    void boolToConfig_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("word");
        QTest::addRow("unchecked") << 0 << "FALSE";
        QTest::addRow("checked") << 1 << "TRUE";
        QTest::addRow("host True") << -1 << "TRUE";
    }

    void boolToConfig()
    {
        QFETCH(int, value);
        QTEST(SettingsFile::boolToConfig(qint16(value)), "word");
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
