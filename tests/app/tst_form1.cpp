#include "app/AboutBox.h"
#include "app/ErrorReport.h"
#include "app/Form1.h"
#include "app/HostMenuRegistration.h"
#include "host/BeaconQueue.h"
#include "host/HostSettingsStore.h"
#include "linuxhost/LinuxHost.h"
#include "settings/FileError.h"

#include "ScriptedBeaconRecord.h"
#include "ScriptedHost.h"
#include "TestDatabases.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void setHostProgramFolder(const QString &folder)
{
    auto store = HostSettingsStore::open();
    if (folder.isNull())
        store->remove("Program Folder");
    else
        store->setValue("Program Folder", folder);
    store->sync();
}

}  // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mConfigHome;
    QTemporaryDir *mFolder = nullptr;
    QList<ErrorReport> mFatalReports;
    int mEndProcessCalls = 0;
    ScriptedHost *mHost = nullptr;

    QString iniPath() const { return mFolder->filePath("keldan.ini"); }

    std::unique_ptr<Form1> makeWindow()
    {
        Form1Options options;
        options.programFolder = mFolder->path();
        options.createHost = [this] {
            auto host = std::make_unique<ScriptedHost>();
            mHost = host.get();
            return host;
        };
        options.endProcess = [this] { ++mEndProcessCalls; };
        options.fatalError = [this](std::exception_ptr failure) { mFatalReports.append(ErrorReport::from(failure)); };
        return std::make_unique<Form1>(options);
    }

    template <typename T>
    static T *control(QWidget &window, const char *name)
    {
        T *found = window.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

    static QAction *action(QWidget &window, const char *name)
    {
        QAction *found = window.findChild<QAction *>(QLatin1String(name));
        if (!found)
            qFatal("no action %s", name);
        return found;
    }

    static QString statusOf(Form1 &window) { return control<QLabel>(window, "status")->text(); }

    // A settings file that points the default data source at an SQLite file
    // holding the four tables.
    TestDatabase prepareSqlite()
    {
        const TestDatabase db = testDatabase("sqlite", mFolder->filePath("bridge.sqlite"));
        recreateTables(db);
        writeFile(iniPath(), ("DATABASE=" + db.database + "\r\n").toUtf8());
        return db;
    }

private slots:
    void initTestCase()
    {
        // The host's settings store lives under XDG_CONFIG_HOME; read once per process.
        qputenv("XDG_CONFIG_HOME", mConfigHome.path().toUtf8());
    }

    void init()
    {
        mFolder = new QTemporaryDir;
        QDir::setCurrent(mFolder->path());
        mFatalReports.clear();
        mEndProcessCalls = 0;
        mHost = nullptr;
        setHostProgramFolder(QString());
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        delete mFolder;
    }

    void controlsAsLaidOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addRow("Frame1") << "Frame1" << QRect(8, 8, 201, 129) << " Latest Data ";
        QTest::addRow("Label1") << "Label1" << QRect(16, 24, 41, 17) << "Callsign";
        QTest::addRow("Text1") << "Text1" << QRect(64, 24, 97, 19) << "";
        QTest::addRow("Label3") << "Label3" << QRect(8, 72, 49, 17) << "Longitude";
        QTest::addRow("Text4 is the wide one") << "Text4" << QRect(64, 96, 129, 19) << "";
        QTest::addRow("Frame2") << "Frame2" << QRect(8, 8, 89, 129) << " Capture ";
        QTest::addRow("Check1") << "Check1" << QRect(8, 24, 73, 17) << "Fixed";
        QTest::addRow("Check2") << "Check2" << QRect(8, 56, 73, 17) << "Mobile";
        QTest::addRow("Check3") << "Check3" << QRect(8, 88, 73, 17) << "WX";
        QTest::addRow("Check5") << "Check5" << QRect(8, 0, 89, 25) << "Enable Bridge";
        QTest::addRow("Check4") << "Check4" << QRect(144, 0, 265, 25) << "Enforce UI-View32 Exclusions";
        QTest::addRow("Picture1 spans the bottom") << "Picture1" << QRect(0, 199, 348, 21) << "";
        QTest::addRow("buffer") << "buffer" << QRect(232, 0, 105, 17) << "Buffering [0]";
        QTest::addRow("status") << "status" << QRect(0, 0, 257, 25) << "";
    }

    void controlsAsLaidOut()
    {
        QFETCH(QString, name);
        auto window = makeWindow();
        QWidget *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QTEST(widget->geometry(), "geometry");
        QString text;
        if (auto *label = qobject_cast<QLabel *>(widget))
            text = label->text();
        else if (auto *box = qobject_cast<QCheckBox *>(widget))
            text = box->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(widget))
            text = frame->title();
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            text = edit->text();
        QTEST(text, "text");
    }

    void windowBeforeSettingsAreLoaded()
    {
        auto window = makeWindow();
        QCOMPARE(window->windowTitle(), QString("Keldan Bridge"));
        QCOMPARE(window->centralWidget()->size(), QSize(348, 220));
        QVERIFY(control<QCheckBox>(*window, "Check1")->isChecked());
        QVERIFY(control<QCheckBox>(*window, "Check2")->isChecked());
        QVERIFY(control<QCheckBox>(*window, "Check3")->isChecked());
        QVERIFY(!control<QCheckBox>(*window, "Check4")->isChecked());
        QVERIFY(control<QCheckBox>(*window, "Check5")->isChecked());
        QCOMPARE(control<QCheckBox>(*window, "Check1")->toolTip(), QString("Capture Fixed Stations"));
        QCOMPARE(control<QCheckBox>(*window, "Check2")->toolTip(), QString("Capture Mobile Stations"));
        QCOMPARE(control<QCheckBox>(*window, "Check3")->toolTip(), QString("Capture WX Stations"));
        QCOMPARE(control<QLineEdit>(*window, "Text2")->palette().color(QPalette::Base), QColor(192, 192, 192));
        QVERIFY(control<QLabel>(*window, "applicationDir")->isHidden());
        QCOMPARE(control<QLabel>(*window, "applicationDir")->text(), QString("applicationDir"));

        QStringList menus;
        for (QAction *a : window->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList {"&File", "Setup", "About"}));
        QCOMPARE(action(*window, "menuFileExit")->text(), QString("E&xit"));

        // Focus order: Text1..Text4, Check1..Check5.
        QStringList order;
        QWidget *w = control<QLineEdit>(*window, "Text1");
        for (int i = 0; i < 9; ++i) {
            order << w->objectName();
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
        }
        QCOMPARE(order,
            (QStringList {"Text1", "Text2", "Text3", "Text4", "Check1", "Check2", "Check3", "Check4", "Check5"}));
    }

    void firstStartWritesDefaultsAndRegisters()
    {
        QTemporaryDir hostFolder;
        setHostProgramFolder(hostFolder.path() + "/");
        auto window = makeWindow();
        window->Form_Load();
        QVERIFY(mFatalReports.isEmpty());
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\n"));
        QCOMPARE(readFile(hostFolder.filePath("KELDAN.XTR")),
            QByteArray("Keldan Bridge\r\n\"" + mFolder->path().toUtf8() + "/KELDAN.EXE\"\r\nTrue\r\nTrue\r\n"));
        QCOMPARE(window->programFolder(), mFolder->path());
        QCOMPARE(window->database(), QString("TEST"));
        QCOMPARE(window->dsn(), QString("myodbc3-test"));
        QCOMPARE(window->username(), QString("sa"));
        QVERIFY(!window->isLoading());
        QVERIFY(mHost);

        // A later start finds the settings and writes neither file again.
        window.reset();
        QFile::remove(hostFolder.filePath("KELDAN.XTR"));
        auto second = makeWindow();
        second->Form_Load();
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\n"));
        QVERIFY(!QFile::exists(hostFolder.filePath("KELDAN.XTR")));

        // With the settings file deleted, the next start is a first start again.
        second.reset();
        writeFile(iniPath(), "DSN=changed\r\n");
        QVERIFY(QFile::remove(iniPath()));
        auto third = makeWindow();
        third->Form_Load();
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\n"));
        QCOMPARE(third->dsn(), QString("myodbc3-test"));
        QCOMPARE(readFile(hostFolder.filePath("KELDAN.XTR")),
            QByteArray("Keldan Bridge\r\n\"" + mFolder->path().toUtf8() + "/KELDAN.EXE\"\r\nTrue\r\nTrue\r\n"));
        QVERIFY(mFatalReports.isEmpty());
    }

    void registration_data()
    {
        QTest::addColumn<QString>("programFolderSuffix");  // appended to the host folder; null: unset
        QTest::addColumn<QString>("expectedFile");         // relative to the host folder's parent
        QTest::addRow("no Program Folder writes nothing") << QString() << QString();
        QTest::addRow("a trailing separator puts it inside") << "/host/"
                                                             << "host/KELDAN.XTR";
        QTest::addRow("no separator puts it beside") << "/host"
                                                     << "hostKELDAN.XTR";
    }

    void registration()
    {
        QFETCH(QString, programFolderSuffix);
        QFETCH(QString, expectedFile);
        QTemporaryDir parent;
        QDir(parent.path()).mkdir("host");
        setHostProgramFolder(programFolderSuffix.isNull() ? QString() : parent.path() + programFolderSuffix);
        HostMenuRegistration::registerWithHost("/opt/keldan bridge");
        QStringList written =
            QDir(parent.path()).entryList(QDir::Files) + QDir(parent.filePath("host")).entryList(QDir::Files);
        if (expectedFile.isEmpty()) {
            QVERIFY(written.isEmpty());
        } else {
            QCOMPARE(written.size(), 1);
            QCOMPARE(readFile(parent.filePath(expectedFile)),
                QByteArray("Keldan Bridge\r\n\"/opt/keldan bridge/KELDAN.EXE\"\r\nTrue\r\nTrue\r\n"));
        }
    }

    void existingMenuFileIsLeftAlone_data()
    {
        QTest::addColumn<QString>("prefix");  // the Program Folder, after the host folder
        QTest::addColumn<bool>("link");       // the name is a link to another file
        QTest::addRow("a plain file") << "/" << false;
        QTest::addRow("a hidden name the existence check misses") << "/." << false;
        QTest::addRow("a link to another file") << "/" << true;
    }

    // Whatever stands at the name is never truncated nor written through.
    void existingMenuFileIsLeftAlone()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, link);
        QTemporaryDir hostFolder;
        const QString path = hostFolder.path() + prefix + "KELDAN.XTR";
        const QString other = hostFolder.filePath("other");
        writeFile(link ? other : path, "mine");
        if (link)
            QVERIFY(QFile::link(other, path));
        setHostProgramFolder(hostFolder.path() + prefix);
        HostMenuRegistration::registerWithHost(mFolder->path());
        QCOMPARE(readFile(path), QByteArray("mine"));
        QCOMPARE(QFileInfo(path).isSymLink(), link);
    }

    void registrationIntoAMissingFolderEndsStartUp()
    {
        setHostProgramFolder(mFolder->filePath("no-such-folder/"));
        auto window = makeWindow();
        try {
            window->Form_Load();
            QFAIL("start-up should have failed");
        } catch (const FileError &e) {
            QCOMPARE(e.osError(), ENOENT);
            QVERIFY2(e.text().contains("KELDAN.XTR"), qPrintable(e.text()));
        }
        // The defaults were written first, so the next start skips registration.
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\n"));
    }

    void upperCaseSettingsFileCountsAsPresent()
    {
        QTemporaryDir hostFolder;
        setHostProgramFolder(hostFolder.path() + "/");
        writeFile(mFolder->filePath("KELDAN.INI"), "DSN=upper\r\nSTORE_WX=FALSE\r\n");
        auto window = makeWindow();
        window->Form_Load();
        QCOMPARE(window->dsn(), QString("upper"));
        QVERIFY(!control<QCheckBox>(*window, "Check3")->isChecked());
        QVERIFY(!QFile::exists(hostFolder.filePath("KELDAN.XTR")));
        QCOMPARE(readFile(iniPath()), QByteArray("DSN=upper\r\nSTORE_WX=FALSE\r\n"));
        // Later changes go to the file that was read.
        control<QCheckBox>(*window, "Check3")->click();
        QCOMPARE(readFile(iniPath()), QByteArray("DSN=upper\r\nSTORE_WX=TRUE\r\n"));
        QVERIFY(mFatalReports.isEmpty());
    }

    void loadingSetsBoxesWithoutWritingBack()
    {
        const QByteArray content("STORE_FIXED=FALSE\r\nENFORE_FILTER=TRUE\r\nSTORE_MOBILE=false\r\nSTORE_WX=TRUE\r\n");
        writeFile(iniPath(), content);
        auto window = makeWindow();
        window->Form_Load();
        QVERIFY(!control<QCheckBox>(*window, "Check1")->isChecked());
        QVERIFY(!control<QCheckBox>(*window, "Check2")->isChecked());
        QVERIFY(control<QCheckBox>(*window, "Check3")->isChecked());
        QVERIFY(control<QCheckBox>(*window, "Check4")->isChecked());
        QCOMPARE(readFile(iniPath()), content);
    }

    void clickingASwitchSavesIt_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("afterFirstClick");
        QTest::addColumn<QByteArray>("afterSecondClick");
        QTest::addRow("Fixed") << "Check1" << QByteArray("DATABASE=TEST\r\nSTORE_FIXED=FALSE\r\n")
                               << QByteArray("DATABASE=TEST\r\nSTORE_FIXED=TRUE\r\n");
        QTest::addRow("Mobile") << "Check2" << QByteArray("DATABASE=TEST\r\nSTORE_MOBILE=FALSE\r\n")
                                << QByteArray("DATABASE=TEST\r\nSTORE_MOBILE=TRUE\r\n");
        QTest::addRow("WX") << "Check3" << QByteArray("DATABASE=TEST\r\nSTORE_WX=FALSE\r\n")
                            << QByteArray("DATABASE=TEST\r\nSTORE_WX=TRUE\r\n");
        QTest::addRow("Enforce") << "Check4" << QByteArray("DATABASE=TEST\r\nENFORE_FILTER=TRUE\r\n")
                                 << QByteArray("DATABASE=TEST\r\nENFORE_FILTER=FALSE\r\n");
        QTest::addRow("Enable Bridge is never saved")
            << "Check5" << QByteArray("DATABASE=TEST\r\n") << QByteArray("DATABASE=TEST\r\n");
    }

    void clickingASwitchSavesIt()
    {
        QFETCH(QString, box);
        auto window = makeWindow();
        window->Form_Load();
        QCheckBox *check = control<QCheckBox>(*window, qPrintable(box));
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QTEST(readFile(iniPath()), "afterFirstClick");
        check->click();
        QTEST(readFile(iniPath()), "afterSecondClick");
        QVERIFY(mFatalReports.isEmpty());
    }

    void disagreeingLinesNeitherNestNorCorrupt()
    {
        writeFile(iniPath(), "STORE_WX=TRUE\r\nSTORE_WX=FALSE\r\n");
        auto window = makeWindow();
        window->Form_Load();
        QVERIFY(!control<QCheckBox>(*window, "Check3")->isChecked());
        control<QCheckBox>(*window, "Check1")->click();
        QCOMPARE(readFile(iniPath()), QByteArray("STORE_WX=TRUE\r\nSTORE_WX=FALSE\r\nSTORE_FIXED=FALSE\r\n"));
        QVERIFY(mFatalReports.isEmpty());
    }

    void aSwitchThatCannotBeSavedEndsTheProgram()
    {
        writeFile(iniPath(), "DATABASE=TEST\r\n");
        auto window = makeWindow();
        window->Form_Load();
        // Root ignores permissions; a folder in the temporary file's place fails for everyone.
        QVERIFY(QDir(mFolder->path()).mkdir("keldan.tmp"));
        control<QCheckBox>(*window, "Check2")->click();
        QCOMPARE(mFatalReports.size(), 1);
        QCOMPARE(mFatalReports.first().number, EISDIR);
        QVERIFY2(mFatalReports.first().message().startsWith("Error 21: Cannot create"),
            qPrintable(mFatalReports.first().message()));
        QCOMPARE(readFile(iniPath()), QByteArray("DATABASE=TEST\r\n"));
    }

    void logonOnTheRealSqliteDataSource()
    {
        prepareSqlite();
        auto window = makeWindow();
        window->Form_Load();
        QCOMPARE(statusOf(*window), QString("Connected: sa@myodbc3-test"));
        QVERIFY(window->databaseLink().connected());
        QCOMPARE(mHost->addOnConnectedWrites, QList<HostBool> {HostTrue});
        QCOMPARE(window->databaseLink().workspace()->name, QString("NewODBCWorkspace"));
        QCOMPARE(window->databaseLink().workspace()->user, QString("admin"));
        QCOMPARE(window->databaseLink().workspace()->type, 1);

        window->logOff();
        QCOMPARE(statusOf(*window), QString("Dis-Connected"));
        QVERIFY(!window->databaseLink().connected());
        QCOMPARE(mHost->addOnConnectedWrites, (QList<HostBool> {HostTrue, HostFalse}));
        // Off again: no host call, the same words.
        window->logOff();
        QCOMPARE(mHost->addOnConnectedWrites.size(), 2);
        QCOMPARE(statusOf(*window), QString("Dis-Connected"));
    }

    void logonToAnUnknownDataSourceShowsTheError()
    {
        writeFile(iniPath(), "DSN=no-such-source\r\n");
        auto window = makeWindow();
        window->Form_Load();
        QCOMPARE(statusOf(*window), QString("Error 6001"));
        QVERIFY2(control<QLabel>(*window, "status")->toolTip().contains("IM002"),
            qPrintable(control<QLabel>(*window, "status")->toolTip()));
        QVERIFY(!window->databaseLink().connected());
        QVERIFY(mHost->addOnConnectedWrites.isEmpty());
        // It will not appear by itself: no retry.
        QCOMPARE(window->logonRetryDelayMs(), 0);
        // Start-up went on: beacons are still queued and drained.
        emit mHost->NotifyBeaconData(std::make_shared<ScriptedBeaconRecord>());
        QCOMPARE(control<QLabel>(*window, "buffer")->text(), QString("Buffering [1]"));
        QTRY_COMPARE(control<QLabel>(*window, "buffer")->text(), QString("Buffering [0]"));
        QTRY_COMPARE(statusOf(*window), QString("Fixed Table (Error Inserting Data into database)"));
    }

    void logonThatFindsNoServerIsTriedAgain_data()
    {
        QTest::addColumn<QString>("driverLines");
        QTest::addColumn<QString>("status");
        QTest::addRow("PostgreSQL") << "Driver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\n"
                                    << "Error 101";
        QTest::addRow("MariaDB") << "Driver=MariaDB Unicode\nServer=127.0.0.1\nPort=%1\n"
                                 << "Error 2002";
    }

    // At boot the bridge may start before its server: the logon is tried
    // again with the back-off, and Setup's OK still takes over at once.
    void logonThatFindsNoServerIsTriedAgain()
    {
        QFETCH(QString, driverLines);
        QFETCH(QString, status);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const QString odbcIni = mFolder->filePath("odbc.ini");
        // A name of its own per row: the driver manager keeps what it read.
        const QString dsn = QString("keldan-not-up-%1").arg(QTest::currentDataTag());
        writeFile(odbcIni, ("[" + dsn + "]\n" + driverLines.arg(port)).toUtf8());
        const QByteArray previousIni = qgetenv("ODBCINI");
        qputenv("ODBCINI", odbcIni.toUtf8());
        const TestDatabase db = prepareSqlite();
        writeFile(iniPath(), ("DSN=" + dsn + "\r\nDATABASE=keldan\r\nUSERNAME=keldan\r\nPASSWORD=keldan\r\n").toUtf8());

        auto window = makeWindow();
        window->logonBackOff().setTimeScale(1);
        window->Form_Load();
        QCOMPARE(statusOf(*window), status);
        QCOMPARE(window->logonRetryDelayMs(), 5);
        // Beacons heard meanwhile wait for the database.
        emit mHost->NotifyBeaconData(std::make_shared<ScriptedBeaconRecord>());
        // The retries fail as the first did, each after a longer wait.
        QTRY_VERIFY(window->logonBackOff().nextDelaySeconds() >= 40);
        QCOMPARE(statusOf(*window), status);
        QVERIFY(window->logonRetryDelayMs() > 0);
        QCOMPARE(window->queue().queueCount(), 1);

        action(*window, "menuSetup")->trigger();
        Form2 *setup = window->setupWindow();
        control<QLineEdit>(*setup, "Text1")->setText("myodbc3-test");
        control<QLineEdit>(*setup, "Text4")->setText(db.database);
        control<QPushButton>(*setup, "Command1")->click();
        qputenv("ODBCINI", previousIni);
        QCOMPARE(statusOf(*window), QString("Connected: keldan@myodbc3-test"));
        QCOMPARE(window->logonRetryDelayMs(), 0);
        QVERIFY(mFatalReports.isEmpty());
        QTRY_COMPARE(window->queue().queueCount(), 0);
        QCOMPARE(queryRows(db, "select count(*) from fixed_data"), QList<QStringList> {{"1"}});
    }

    void aFullQueueSaysSoOnTheStatusLine()
    {
        prepareSqlite();
        auto window = makeWindow();
        window->Form_Load();
        // No tick runs between these: the last one finds the queue full.
        for (int i = 0; i <= BeaconQueue::Capacity; ++i)
            emit mHost->NotifyBeaconData(std::make_shared<ScriptedBeaconRecord>());
        QCOMPARE(statusOf(*window), QString("Buffer full, packet ignored"));
        QCOMPARE(control<QLabel>(*window, "buffer")->text(), QString("Buffering [1000]"));
    }

    // Three weather beacons of one station wait in the queue together, as
    // behind a slow database: each row holds the temperature heard with its
    // beacon, not the latest one.
    void weatherRowsHoldTheReadingsOfTheirBeacon()
    {
        const TestDatabase db = prepareSqlite();
        Form1Options options;
        options.programFolder = mFolder->path();
        LinuxHost *host = nullptr;
        options.createHost = [&host] {
            auto made = std::make_unique<LinuxHost>(HostSettings());
            host = made.get();
            return made;
        };
        options.endProcess = [this] { ++mEndProcessCalls; };
        options.fatalError = [this](std::exception_ptr failure) { mFatalReports.append(ErrorReport::from(failure)); };
        Form1 window(options);
        window.Form_Load();
        // No tick runs between these: all three are queued before the first is stored.
        host->takePacket("N5CALL>APRS:@092345z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900", 0);
        host->takePacket("N5CALL>APRS:@092355z4903.50N/07201.75W_220/004g005t050r000p000P000h50b09900", 0);
        host->takePacket("N5CALL>APRS:@092405z4903.50N/07201.75W_220/004g005t023r000p000P000h50b09900", 0);
        QCOMPARE(window.queue().queueCount(), 3);
        QTRY_COMPARE(window.queue().queueCount(), 0);
        QCOMPARE(queryRows(db, "select temp from wx_data order by rowid"),
            (QList<QStringList> {{"25.0"}, {"10.0"}, {"-5.0"}}));
        QVERIFY(mFatalReports.isEmpty());
    }

    void hostRefusingTheConnectedFlagLeavesTheLinkOpen()
    {
        prepareSqlite();
        auto window = makeWindow();
        window->Form_Load();
        mHost->failSetAddOnConnected = true;
        // logOff tells the host first; its failure stops logOff and reaches the caller.
        QVERIFY_THROWS_EXCEPTION(HostError, window->logOff());
        QVERIFY(window->databaseLink().connected());
        QCOMPARE(statusOf(*window), QString("Connected: sa@myodbc3-test"));
        // logon opens the link, then the host call fails: open, but the error shows.
        window->logon();
        QVERIFY(window->databaseLink().connected());
        QCOMPARE(statusOf(*window), QString("Error 440"));
    }

    void beaconsFlowFromTheHostIntoTheDatabase_data()
    {
        QTest::addColumn<bool>("bridgeEnabled");
        QTest::addRow("Enable Bridge on: stored") << true;
        // The switch is read only when a beacon is taken out of the queue.
        QTest::addRow("Enable Bridge off: queued and drained, nothing stored") << false;
    }

    void beaconsFlowFromTheHostIntoTheDatabase()
    {
        QFETCH(bool, bridgeEnabled);
        const TestDatabase db = prepareSqlite();
        auto window = makeWindow();
        window->Form_Load();
        control<QCheckBox>(*window, "Check5")->setChecked(bridgeEnabled);
        for (int i = 0; i < 5; ++i) {
            ScriptedBeaconRecord::Fields fields;
            fields.callsign = QString("N0CALL-%1").arg(i);
            fields.stationType = StationType::Mobile;
            fields.speed = 12.5f;
            fields.course = qint16(90 + i);
            emit mHost->NotifyBeaconData(std::make_shared<ScriptedBeaconRecord>(fields));
        }
        QCOMPARE(control<QLabel>(*window, "buffer")->text(), QString("Buffering [5]"));
        QTRY_COMPARE(control<QLabel>(*window, "buffer")->text(), QString("Buffering [0]"));
        QCOMPARE(window->queue().queueCount(), qint16(0));
        if (!bridgeEnabled) {
            QCOMPARE(queryRows(db, "select count(*) from stations"), QList<QStringList> {{"0"}});
            QCOMPARE(control<QLineEdit>(*window, "Text1")->text(), QString());
            return;
        }
        QCOMPARE(queryRows(db, "select callsign, type from stations order by callsign").size(), 5);
        QCOMPARE(queryRows(db, "select fk_callsign, course from mobile_data order by fk_callsign").last(),
            (QStringList {"N0CALL-4", "94"}));
        QCOMPARE(control<QLineEdit>(*window, "Text1")->text(), QString("N0CALL-4"));
        QCOMPARE(control<QLineEdit>(*window, "Text2")->text(), QString("51.30.12N"));
        QCOMPARE(control<QLineEdit>(*window, "Text3")->text(), QString("000.07.50W"));
        QCOMPARE(statusOf(*window), QString());
    }

    void setupShowsTheSettingsInForce()
    {
        writeFile(iniPath(), "DSN=src\r\nUSERNAME=me\r\nPASSWORD=secret\r\nDATABASE=db\r\n");
        auto window = makeWindow();
        window->Form_Load();
        action(*window, "menuSetup")->trigger();
        Form2 *setup = window->setupWindow();
        QVERIFY(setup && setup->isVisible());
        QCOMPARE(setup->windowTitle(), QString("Setup"));
        QCOMPARE(control<QLineEdit>(*setup, "Text1")->text(), QString("src"));
        QCOMPARE(control<QLineEdit>(*setup, "Text2")->text(), QString("me"));
        QCOMPARE(control<QLineEdit>(*setup, "Text3")->text(), QString("secret"));
        QCOMPARE(control<QLineEdit>(*setup, "Text3")->displayText(), QString("******"));
        QCOMPARE(control<QLineEdit>(*setup, "Text4")->text(), QString("db"));
        QCOMPARE(control<QPushButton>(*setup, "Command1")->text(), QString("OK"));
        QVERIFY(!control<QPushButton>(*setup, "Command1")->isDefault());
        QCOMPARE(control<QPushButton>(*setup, "Command1")->nextInFocusChain()->objectName(), QString("Command2"));

        // Setup again refills what was typed over.
        control<QLineEdit>(*setup, "Text1")->setText("typed");
        action(*window, "menuSetup")->trigger();
        QCOMPARE(window->setupWindow(), setup);
        QCOMPARE(control<QLineEdit>(*setup, "Text1")->text(), QString("src"));
    }

    void setupClosedWithoutOkStoresNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addRow("Close") << "Command2";
        QTest::addRow("File > Exit") << "menuFileExit";
        QTest::addRow("the close box") << "close box";
    }

    // What was typed is dropped; the file and the link stay as they were.
    void setupClosedWithoutOkStoresNothing()
    {
        QFETCH(QString, how);
        const TestDatabase db = prepareSqlite();
        const QByteArray content = ("DSN=myodbc3-test\r\nUSERNAME=me\r\nDATABASE=" + db.database + "\r\n").toUtf8();
        writeFile(iniPath(), content);
        auto window = makeWindow();
        window->Form_Load();
        QCOMPARE(statusOf(*window), QString("Connected: me@myodbc3-test"));
        action(*window, "menuSetup")->trigger();
        Form2 *setup = window->setupWindow();
        QVERIFY(setup);
        for (const char *box : {"Text1", "Text2", "Text3", "Text4"})
            control<QLineEdit>(*setup, box)->setText("typed");
        if (how == "Command2")
            control<QPushButton>(*setup, "Command2")->click();
        else if (how == "menuFileExit")
            action(*setup, "menuFileExit")->trigger();
        else
            QVERIFY(setup->close());
        QTRY_VERIFY(!window->setupWindow());
        QCOMPARE(readFile(iniPath()), content);
        QCOMPARE(window->username(), QString("me"));
        QCOMPARE(statusOf(*window), QString("Connected: me@myodbc3-test"));
        QVERIFY(window->databaseLink().connected());
        QCOMPARE(mHost->addOnConnectedWrites, QList<HostBool> {HostTrue});
        QVERIFY(mFatalReports.isEmpty());
    }

    void setupOkStoresAllFourAndReconnects()
    {
        const TestDatabase db = prepareSqlite();
        writeFile(iniPath(), ("STORE_WX=FALSE\r\nDATABASE=" + db.database + "\r\n").toUtf8());
        auto window = makeWindow();
        window->Form_Load();
        QCOMPARE(statusOf(*window), QString("Connected: sa@myodbc3-test"));
        action(*window, "menuSetup")->trigger();
        Form2 *setup = window->setupWindow();
        control<QLineEdit>(*setup, "Text2")->setText("Ham,Op");
        control<QLineEdit>(*setup, "Text3")->setText("");
        control<QPushButton>(*setup, "Command1")->click();
        QVERIFY(mFatalReports.isEmpty());
        QCOMPARE(readFile(iniPath()),
            ("STORE_WX=FALSE\r\nDATABASE=" + db.database + "\r\nDSN=myodbc3-test\r\nUSERNAME=Ham|Op\r\nPASSWORD=\r\n")
                .toUtf8());
        QCOMPARE(window->username(), QString("Ham|Op"));
        QCOMPARE(mHost->addOnConnectedWrites, (QList<HostBool> {HostTrue, HostFalse, HostTrue}));
        QCOMPARE(statusOf(*window), QString("Connected: Ham|Op@myodbc3-test"));
        QTRY_VERIFY(!window->setupWindow());
    }

    // Every caption is drawn whole inside its own box, in both windows.
    void captionsFitTheirBoxes()
    {
        writeFile(iniPath(), "DATABASE=db\r\n");
        auto window = makeWindow();
        window->Form_Load();
        action(*window, "menuSetup")->trigger();
        const QList<QWidget *> windows = {window.get(), window->setupWindow()};
        for (QWidget *shown : windows) {
            for (QLabel *label : shown->findChildren<QLabel *>()) {
                if (label->objectName() == "status" || label->text().isEmpty())
                    continue;
                const int needed = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(needed <= label->contentsRect().width(),
                    qPrintable(QString("%1 \"%2\" needs %3 pixels of %4")
                                   .arg(label->objectName(), label->text())
                                   .arg(needed)
                                   .arg(label->contentsRect().width())));
            }
        }
    }

    // Where the two overlap, buffer is drawn over the status text, not
    // through it: its box looks the same whatever the status line says.
    void bufferCoversALongStatus()
    {
        auto window = makeWindow();
        auto *status = control<QLabel>(*window, "status");
        auto *buffer = control<QLabel>(*window, "buffer");
        QWidget *strip = buffer->parentWidget();
        buffer->setText("Buffering [12]");
        status->setText(QString());
        const QImage quiet = strip->grab(buffer->geometry()).toImage();
        status->setText(QString(60, QChar('W')));
        const QImage crowded = strip->grab(buffer->geometry()).toImage();
        QCOMPARE(crowded, quiet);
        // And the status text is drawn on the window's colour, not on whatever lies beneath.
        QVERIFY(status->autoFillBackground());
        QCOMPARE(status->backgroundRole(), QPalette::Window);
    }

    void setupKeepsEachValueOnOneLine_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::addRow("a password pasted with its line end") << "Text3"
                                                             << "pw\n"
                                                             << "pw";
        QTest::addRow("a password with a second line") << "Text3"
                                                       << "pw\nDSN=other"
                                                       << "pw";
        QTest::addRow("CR LF in the user name") << "Text2"
                                                << "me\r\nPASSWORD=x"
                                                << "me";
        QTest::addRow("a DSN that starts with a line break") << "Text1"
                                                             << "\nDATABASE=x"
                                                             << "";
        // Only CR and LF end a line of keldan.ini; every other character stays.
        const QList<QPair<const char *, QChar>> kept = {{"a vertical tab", QChar(0x0B)}, {"a form feed", QChar(0x0C)},
            {"U+0085", QChar(0x85)}, {"U+2028", QChar(0x2028)}, {"U+2029", QChar(0x2029)}};
        for (const auto &[name, c] : kept) {
            const QString password = QString("pw") + c + "PASSWORD=x";
            QTest::addRow("%s in the password", name) << "Text3" << password << password;
        }
    }

    // What reaches keldan.ini is one line per key: a pasted second line can
    // neither add a line nor change another key's. The value comes back whole
    // when Setup opens again.
    void setupKeepsEachValueOnOneLine()
    {
        QFETCH(QString, box);
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        const TestDatabase db = prepareSqlite();
        writeFile(iniPath(), ("DATABASE=" + db.database + "\r\n").toUtf8());
        auto window = makeWindow();
        window->Form_Load();
        action(*window, "menuSetup")->trigger();
        Form2 *setup = window->setupWindow();
        auto *edit = control<QLineEdit>(*setup, qPrintable(box));
        edit->selectAll();
        QApplication::clipboard()->setText(pasted);
        edit->paste();
        QCOMPARE(edit->text(), kept);

        // The file as it would be written, to be compared line by line.
        QStringList values = {"myodbc3-test", "sa", "", db.database};
        values[box.mid(4).toInt() - 1] = kept;
        control<QPushButton>(*setup, "Command1")->click();
        QCOMPARE(readFile(iniPath()),
            QString("DATABASE=%4\r\nDSN=%1\r\nUSERNAME=%2\r\nPASSWORD=%3\r\n")
                .arg(values[0], values[1], values[2], values[3])
                .toUtf8());

        QTRY_VERIFY(!window->setupWindow());
        action(*window, "menuSetup")->trigger();
        QCOMPARE(control<QLineEdit>(*window->setupWindow(), qPrintable(box))->text(), kept);
    }

    void aboutMessage_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("ending");
        QTest::addRow("this release") << 1 << 1 << 1 << " Version 1.1.1";
        QTest::addRow("no padding, no zeros dropped") << 1 << 10 << 0 << " Version 1.10.0";
    }

    void aboutMessage()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        const QString message = AboutBox::message(major, minor, revision);
        QVERIFY(message.startsWith("Keldan Bridge by "));
        QVERIFY(!message.contains('\n'));
        QTEST(message.mid(message.lastIndexOf(" Version")), "ending");
    }

    void aboutBoxHasOneOkButton()
    {
        auto window = makeWindow();
        QString shownText;
        int buttons = -1;
        QMessageBox::Icon icon = QMessageBox::Critical;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownText = box->text();
            buttons = int(box->buttons().size());
            icon = box->icon();
            box->accept();
        });
        action(*window, "menuAbout")->trigger();
        QCOMPARE(buttons, 1);
        QCOMPARE(icon, QMessageBox::NoIcon);
        // "Version" and its number are never parted by a line break.
        QVERIFY2(shownText.endsWith(QString("Version") + QChar(0x00A0) + "1.1.1"), qPrintable(shownText));
    }

    void hostClosingEndsAtOnce()
    {
        prepareSqlite();
        auto window = makeWindow();
        window->Form_Load();
        emit mHost->NotifyBeaconData(std::make_shared<ScriptedBeaconRecord>());
        emit mHost->UIView32IsClosing();
        QCOMPARE(mEndProcessCalls, 1);
        QCOMPARE(statusOf(*window), QString("Connected: sa@myodbc3-test"));
        QCOMPARE(window->queue().queueCount(), qint16(1));
    }

    void exitClosesTheWindowOnly()
    {
        prepareSqlite();
        auto window = makeWindow();
        window->Form_Load();
        window->show();
        action(*window, "menuFileExit")->trigger();
        QVERIFY(!window->isVisible());
        QCOMPARE(statusOf(*window), QString("Connected: sa@myodbc3-test"));
        QVERIFY(window->databaseLink().connected());
        QCOMPARE(mEndProcessCalls, 0);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
