#include "app/Form1.h"

#include "app/AboutBox.h"
#include "app/ErrorReport.h"
#include "app/HostMenuRegistration.h"
#include "app/ServiceLog.h"
#include "config/Form2.h"
#include "db/DbLog.h"
#include "db/FailureKind.h"
#include "db/OdbcError.h"
#include "host/HostSettingsStore.h"
#include "host/WeatherReadings.h"
#include "linuxhost/LinuxHost.h"
#include "recording/BeaconRecorder.h"
#include "recording/CoordinateText.h"
#include "recording/LinkHealer.h"
#include "recovery/RecoveryCoordinator.h"
#include "recovery/RecoveryMark.h"
#include "settings/SettingsFile.h"
#include "web/LiveRecorderTap.h"
#include "web/LiveStatus.h"
#include "widgets/ControlLayout.h"
#include "widgets/WindowFont.h"
#include "widgets/WindowIcon.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>

namespace {

// The capture switches and the settings key each one is saved under.
struct CaptureSwitch {
    int checkNumber;
    const QString &key;
};
const CaptureSwitch CaptureSwitches[] = {
    {RecorderView::Fixed, SettingsFile::KeyStoreFixed},
    {RecorderView::Mobile, SettingsFile::KeyStoreMobile},
    {RecorderView::Wx, SettingsFile::KeyStoreWx},
    {RecorderView::EnforceExclusions, SettingsFile::KeyEnforceFilter},
};

QLineEdit *latestDataBox(QWidget *parent, const char *name, QRect geometry)
{
    auto *box = placeControl<QLineEdit>(parent, name, geometry);
    box->setReadOnly(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(192, 192, 192));
    box->setPalette(palette);
    return box;
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption, QRect geometry, bool checked)
{
    auto *box = placeControl<QCheckBox>(parent, name, geometry, caption);
    box->setChecked(checked);
    return box;
}

}  // namespace

Form1::Form1(Form1Options options, QWidget *parent)
    : QMainWindow(parent), mOptions(std::move(options)), mQueue(*this), mLiveStatus(std::make_unique<LiveStatus>())
{
    buildControls();
    // A lost server: logOff and logon again, as Setup's OK does.
    mHealer = std::make_unique<LinkHealer>(mLink, [this] {
        try {
            logOff();
        } catch (...) {
            // A dead connection may fail to close; logon replaces it anyway.
        }
        logonOnce();
        return mLink.connected();
    });
    mHealer->setShowStatus([this](const QString &caption) { setStatus(caption); });
    mLiveTap = std::make_unique<LiveRecorderTap>(*mHealer);
    mHealer->setOnStored([this](const QString &statement) { mLiveTap->statementStored(statement); });
    mRecorder = std::make_unique<BeaconRecorder>(static_cast<RecorderView &>(*this), *mLiveTap);
    mLogonRetry = new QTimer(this);
    mLogonRetry->setSingleShot(true);
    connect(mLogonRetry, &QTimer::timeout, this, &Form1::logonOrRetry);
    mServiceLog = std::make_unique<ServiceLog>(
        [this] {
            ServiceLog::Counts counts;
            if (const auto *linuxHost = qobject_cast<const LinuxHost *>(mUIV.get())) {
                const HostCounters host = linuxHost->counters();
                counts.received = host.received;
                counts.beacons = host.beacons;
            }
            counts.stored = mHealer->stored();
            counts.failed = mHealer->failureLog().failures();
            counts.refused = mQueue.refused();
            counts.waiting = beaconsWaiting();
            counts.recovered = recovered();
            return counts;
        },
        [this] { mHealer->failureLog().minutePassed(); });
    mLiveStatus->setCounts([this] {
        const ServiceLog::Counts counts = mServiceLog->counts();
        LiveCounts live;
        live.received = counts.received;
        live.beacons = counts.beacons;
        live.stored = counts.stored;
        live.failed = counts.failed;
        live.refused = counts.refused;
        live.waiting = counts.waiting;
        live.kept = mHealer->keptStatements().size();
        return live;
    });

    // The drain timer ticks from the moment the window exists.
    TimerBeaconData = new QTimer(this);
    TimerBeaconData->setObjectName(QStringLiteral("TimerBeaconData"));
    TimerBeaconData->setTimerType(Qt::PreciseTimer);
    TimerBeaconData->setInterval(10);
    connect(TimerBeaconData, &QTimer::timeout, this, &Form1::TimerBeaconData_Timer);
    TimerBeaconData->start();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Keldan Bridge"));
    setWindowIcon(keldanWindowIcon());
    setFont(keldanWindowFont());

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(5220), twips(3300));
    setCentralWidget(client);

    // Beneath Picture3, never seen: start-up puts the program folder here.
    applicationDir = placeControl<QLabel>(
        client, "applicationDir", twipsRect(3480, 720, 2295, 375), QStringLiteral("applicationDir"));
    applicationDir->hide();

    QWidget *Picture2 = placeControl<QWidget>(client, "Picture2", twipsRect(0, 0, 3375, 2295));
    auto *Frame1 =
        placeControl<QGroupBox>(Picture2, "Frame1", twipsRect(120, 120, 3015, 1935), QStringLiteral(" Latest Data "));
    placeControl<QLabel>(Frame1, "Label1", twipsRect(240, 360, 615, 255), QStringLiteral("Callsign"));
    Text1 = latestDataBox(Frame1, "Text1", twipsRect(960, 360, 1455, 285));
    placeControl<QLabel>(Frame1, "Label2", twipsRect(240, 720, 615, 255), QStringLiteral("Latitude"));
    Text2 = latestDataBox(Frame1, "Text2", twipsRect(960, 720, 1455, 285));
    placeControl<QLabel>(Frame1, "Label3", twipsRect(120, 1080, 735, 255), QStringLiteral("Longitude"));
    Text3 = latestDataBox(Frame1, "Text3", twipsRect(960, 1080, 1455, 285));
    placeControl<QLabel>(Frame1, "Label4", twipsRect(480, 1440, 375, 255), QStringLiteral("Date"));
    Text4 = latestDataBox(Frame1, "Text4", twipsRect(960, 1440, 1935, 285));

    QWidget *Picture3 = placeControl<QWidget>(client, "Picture3", twipsRect(3480, 0, 1695, 2295));
    auto *Frame2 =
        placeControl<QGroupBox>(Picture3, "Frame2", twipsRect(120, 120, 1335, 1935), QStringLiteral(" Capture "));
    Check1 = checkBox(Frame2, "Check1", QStringLiteral("Fixed"), twipsRect(120, 360, 1095, 255), true);
    Check1->setToolTip(QStringLiteral("Capture Fixed Stations"));
    Check2 = checkBox(Frame2, "Check2", QStringLiteral("Mobile"), twipsRect(120, 840, 1095, 255), true);
    Check2->setToolTip(QStringLiteral("Capture Mobile Stations"));
    Check3 = checkBox(Frame2, "Check3", QStringLiteral("WX"), twipsRect(120, 1320, 1095, 255), true);
    Check3->setToolTip(QStringLiteral("Capture WX Stations"));

    QWidget *Picture4 = placeControl<QWidget>(client, "Picture4", twipsRect(0, 2400, 5175, 495));
    Check5 = checkBox(Picture4, "Check5", QStringLiteral("Enable Bridge"), twipsRect(120, 0, 1335, 375), true);
    Check4 = checkBox(
        Picture4, "Check4", QStringLiteral("Enforce UI-View32 Exclusions"), twipsRect(2160, 0, 3975, 375), false);

    // The status strip spans the window's bottom edge.
    QWidget *Picture1 = placeControl<QWidget>(client, "Picture1", twipsRect(0, 2985, 5220, 315));
    status = placeControl<QLabel>(Picture1, "status", twipsRect(0, 0, 3855, 375), QString());
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    buffer = placeControl<QLabel>(Picture1, "buffer", twipsRect(3480, 0, 1575, 255), BeaconQueue::bufferCaption(0));
    buffer->raise();
    // The two overlap: each paints its whole box in the window's colour, so
    // buffer covers a long status text instead of printing through it.
    for (QLabel *label : {status, buffer}) {
        label->setBackgroundRole(QPalette::Window);
        label->setAutoFillBackground(true);
    }

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Check3);
    setTabOrder(Check3, Check4);
    setTabOrder(Check4, Check5);

    // A program change of a box is reported like a click, as the toolkit the
    // bridge grew up on did; the handlers decide what to write.
    connect(Check1, &QCheckBox::stateChanged, this, [this] { checkClicked(RecorderView::Fixed); });
    connect(Check2, &QCheckBox::stateChanged, this, [this] { checkClicked(RecorderView::Mobile); });
    connect(Check3, &QCheckBox::stateChanged, this, [this] { checkClicked(RecorderView::Wx); });
    connect(Check4, &QCheckBox::stateChanged, this, [this] { checkClicked(RecorderView::EnforceExclusions); });

    QMenu *menuFile = menuBar()->addMenu(QStringLiteral("&File"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    QAction *menuFileExit = menuFile->addAction(QStringLiteral("E&xit"));
    menuFileExit->setObjectName(QStringLiteral("menuFileExit"));
    connect(menuFileExit, &QAction::triggered, this, &Form1::menuFileExit_Click);
    QAction *menuSetup = menuBar()->addAction(QStringLiteral("Setup"));
    menuSetup->setObjectName(QStringLiteral("menuSetup"));
    connect(menuSetup, &QAction::triggered, this, &Form1::menuSetup_Click);
    QAction *menuAbout = menuBar()->addAction(QStringLiteral("About"));
    menuAbout->setObjectName(QStringLiteral("menuAbout"));
    connect(menuAbout, &QAction::triggered, this, &Form1::menuAbout_Click);
}

QString Form1::programFolder() const
{
    return applicationDir->text();
}

void Form1::Form_Load()
{
    applicationDir->setText(mOptions.programFolder);
    mLoading = true;
    if (!SettingsFile::exists(programFolder())) {
        writeDefaultConfig();
        registerWithHost();
    }
    SettingsFile::adoptUpperCaseName(programFolder());
    loadConfig();

    mUIV = mOptions.createHost();
    connect(mUIV.get(), &HostApplication::NotifyBeaconData, this, &Form1::mUIV_NotifyBeaconData);
    connect(mUIV.get(), &HostApplication::UIView32IsClosing, this, &Form1::mUIV_UIView32IsClosing);
    mRecorder->attachHost(mUIV.get());
    // A service stop lets the queue, and what a lost link kept, be stored first.
    mUIV->setBeaconsWaiting(beaconsWaiting());
    // What the queue refused or a stop left behind is read back from the packet journal.
    if (auto *linuxHost = qobject_cast<LinuxHost *>(mUIV.get()); linuxHost && linuxHost->journal()) {
        RecoveryCoordinator::Setup setup;
        setup.markPath = RecoveryMark::path(programFolder());
        setup.journalFolder = linuxHost->journal()->folder();
        QStringList ignored;
        setup.station.readStation(*HostSettingsStore::open(), ignored);
        setup.checks = [this] {
            return QList<int> {0, checkValue(1), checkValue(2), checkValue(3), checkValue(4), checkValue(5)};
        };
        mRecovery = std::make_unique<RecoveryCoordinator>(std::move(setup));
    }

    mRecorder->weatherRecord() = std::make_shared<WeatherReadings>();
    logon();
    mLoading = false;
}

void Form1::writeDefaultConfig()
{
    SettingsFile(programFolder()).writeDefaultConfig();
}

void Form1::registerWithHost()
{
    HostMenuRegistration::registerWithHost(programFolder());
}

void Form1::loadConfig()
{
    const SettingsValues values = SettingsFile(programFolder()).loadConfig();
    mDatabase = values.database;
    mUsername = values.username;
    mDSN = values.dsn;
    mPassword = values.password;

    const bool wasApplying = mApplyingSettings;
    mApplyingSettings = true;
    auto apply = [](QCheckBox *box, const std::optional<bool> &state) {
        if (state)
            box->setChecked(*state);
    };
    apply(Check1, values.storeFixed);
    apply(Check4, values.enforceFilter);
    apply(Check2, values.storeMobile);
    apply(Check3, values.storeWx);
    mApplyingSettings = wasApplying;
}

void Form1::changeConfig(const QString &Key, const QString &value, bool upCase)
{
    SettingsFile(programFolder()).changeConfig(Key, value, upCase);
    loadConfig();
}

void Form1::checkClicked(int checkNumber)
{
    if (mLoading || mApplyingSettings)
        return;
    guarded([&] {
        for (const CaptureSwitch &captureSwitch : CaptureSwitches) {
            if (captureSwitch.checkNumber == checkNumber)
                changeConfig(captureSwitch.key, SettingsFile::boolToConfig(qint16(checkValue(checkNumber))), false);
        }
    });
}

// Never throws: a failure ends as "Error <number>" on the status line, with
// the whole diagnostic as its tooltip.
void Form1::logon()
{
    mLogonRetry->stop();
    mLogonBackOff.reset();
    logonOrRetry();
}

// A logon that found no server is tried again with the back-off.
void Form1::logonOrRetry()
{
    logonOnce();
    if (!mLink.connected() && mayPass(mLastLogonFailure))
        retryLogon();
    else
        mLogonBackOff.reset();
}

void Form1::logonOnce()
{
    mLastLogonFailure = FailureKind::Never;
    try {
        mLink.logon(mDSN, mUsername, mPassword, mDatabase, *this);
        if (mRecovery && mLink.connected())
            mRecovery->linkUp(DatabaseLink::driverConnectString(mDatabase, mUsername, mPassword, mDSN));
    } catch (...) {
        try {
            throw;
        } catch (const OdbcError &e) {
            mLastLogonFailure = failureKind(e, QString());
        } catch (...) { }
        const ErrorReport report = ErrorReport::from(std::current_exception());
        setStatus(report.caption(), report.text);
    }
}

void Form1::retryLogon()
{
    const int delaySeconds = mLogonBackOff.takeDelaySeconds();
    qCWarning(lcDb).noquote() << QStringLiteral("no server to log on to (%1); trying again in %2 s")
                                     .arg(describeFailureKind(mLastLogonFailure))
                                     .arg(delaySeconds);
    mLogonRetry->start(mLogonBackOff.toTimerMs(delaySeconds));
}

int Form1::logonRetryDelayMs() const
{
    return mLogonRetry->isActive() ? mLogonRetry->interval() : 0;
}

void Form1::logOff()
{
    mLogonRetry->stop();
    if (mRecovery)
        mRecovery->linkDown();
    mLink.logOff(*this);
}

void Form1::setLinkConnected(bool connected)
{
    if (!mUIV)
        throw HostError("no host application is attached");
    mUIV->setAddOnConnected(connected ? HostTrue : HostFalse);
    mLiveStatus->setLinkConnected(connected);
}

QString Form1::convertDecimaltoLatORLon(double LatORLonDecimal, bool Lat, bool withDot) const
{
    return ::convertDecimaltoLatORLon(LatORLonDecimal, Lat, withDot);
}

void Form1::reportFatalError(std::exception_ptr failure)
{
    mOptions.fatalError(failure);
}

void Form1::guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        reportFatalError(std::current_exception());
    }
}

void Form1::mUIV_NotifyBeaconData(BeaconRecordRef cStn)
{
    const qint64 refusedBefore = mQueue.refused();
    mQueue.queueBeacon(std::move(cStn));
    if (mQueue.refused() != refusedBefore) {
        mServiceLog->beaconRefused();
        if (mRecovery)
            mRecovery->beaconMissed();
    }
    mUIV->setBeaconsWaiting(beaconsWaiting());
}

int Form1::beaconsWaiting() const
{
    return mQueue.queueCount() + (mHealer->mayDrain() ? 0 : 1);
}

qint64 Form1::recovered() const
{
    return mRecovery ? mRecovery->recovered() : 0;
}

void Form1::mUIV_UIView32IsClosing()
{
    mServiceLog->writeSummary();
    mOptions.endProcess();
}

void Form1::TimerBeaconData_Timer()
{
    // While the link heals, or the first logon waits for its server,
    // beacons wait in the queue.
    if (mHealer->mayDrain() && !mLogonRetry->isActive()) {
        mQueue.TimerBeaconData_Timer();
        if (mRecovery && mQueue.queueCount() == 0 && mHealer->mayDrain() && mLink.connected())
            mRecovery->queueDrained();
    }
    if (mUIV)
        mUIV->setBeaconsWaiting(beaconsWaiting());
}

void Form1::menuFileExit_Click()
{
    close();
}

void Form1::menuSetup_Click()
{
    guarded([&] {
        if (!mSetup) {
            mSetup = new Form2(*this, this);
            mSetup->setAttribute(Qt::WA_DeleteOnClose);
        }
        mSetup->show();
        mSetup->raise();
        mSetup->setDatabase(mDatabase);
        mSetup->setDSN(mDSN);
        mSetup->setUsername(mUsername);
        mSetup->setPassword(mPassword);
    });
}

void Form1::menuAbout_Click()
{
    AboutBox::show(this);
}

void Form1::setBufferCaption(const QString &caption)
{
    buffer->setText(caption);
    mLiveStatus->setBuffer(caption);
}

void Form1::setStatusCaption(const QString &caption)
{
    setStatus(caption);
}

void Form1::processBeacon(const BeaconRecordRef &beacon)
{
    mLiveTap->beaconTaken(beacon);
    mRecorder->processBeacon(beacon);
    mLiveTap->beaconDone();
}

void Form1::dispatchPendingMessages()
{
    QCoreApplication::processEvents();
}

int Form1::checkValue(int checkNumber) const
{
    const QCheckBox *boxes[] = {Check1, Check2, Check3, Check4, Check5};
    return boxes[checkNumber - 1]->isChecked() ? 1 : 0;
}

void Form1::setLatestData(int textNumber, const QString &text)
{
    QLineEdit *boxes[] = {Text1, Text2, Text3, Text4};
    boxes[textNumber - 1]->setText(text);
    mLiveStatus->setLatest(textNumber, text);
}

void Form1::setStatus(const QString &caption)
{
    setStatus(caption, QString());
}

void Form1::setStatus(const QString &caption, const QString &detail)
{
    status->setText(caption);
    status->setToolTip(detail);
    mLiveStatus->setStatus(caption);
}
