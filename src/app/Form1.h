#pragma once

#include "config/Form2.h"
#include "config/SetupTarget.h"
#include "db/DatabaseLink.h"
#include "db/FailureKind.h"
#include "host/BackOff.h"
#include "host/BeaconQueue.h"
#include "host/HostApplication.h"
#include "recording/RecorderView.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class BeaconRecorder;
class LinkHealer;
class LiveRecorderTap;
class LiveStatus;
class RecoveryCoordinator;
class ServiceLog;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;

// What start-up takes from its surroundings; tests replace each part.
struct Form1Options {
    // The folder that holds keldan.ini: the executable's folder, or --program-folder.
    QString programFolder;
    std::function<std::unique_ptr<HostApplication>()> createHost;
    // The host's closing event ends the process at once.
    std::function<void()> endProcess;
    // A failure that no handler traps: shown with its number and text, then
    // the program ends with a non-zero status.
    std::function<void(std::exception_ptr)> fatalError;
};

// The main window. It owns the bridge's state and wires its controls to the
// plain classes that do the work: the beacon queue, the recorder, the
// database link and the settings file.
class Form1 : public QMainWindow,
              public SetupTarget,
              private BeaconQueue::View,
              private RecorderView,
              private DatabaseLink::View
{
    Q_OBJECT
public:
    explicit Form1(Form1Options options, QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up: program folder, first-run defaults and registration, settings,
    // host, weather record, logon. Throws what it does not trap itself.
    void Form_Load();

    void changeConfig(const QString &Key, const QString &value, bool upCase) override;
    // A logon that finds no server yet (refused, starting up) is tried again
    // with the back-off until it opens, or Setup's OK or log-off cancels it.
    void logon() override;
    void logOff() override;
    void reportFatalError(std::exception_ptr failure) override;
    QString convertDecimaltoLatORLon(double LatORLonDecimal, bool Lat, bool withDot) const;

    const QString &dsn() const { return mDSN; }
    const QString &username() const { return mUsername; }
    const QString &password() const { return mPassword; }
    const QString &database() const { return mDatabase; }
    QString programFolder() const;
    HostApplication *host() const { return mUIV.get(); }
    BeaconQueue &queue() { return mQueue; }
    const DatabaseLink &databaseLink() const { return mLink; }
    ServiceLog &serviceLog() { return *mServiceLog; }
    bool isLoading() const { return mLoading; }
    // The beacons yet to be stored: the queue's, and the one a lost link
    // kept. The host's stop and every log line count them so.
    int beaconsWaiting() const;
    // The wait before the next logon attempt; 0 when none is due.
    int logonRetryDelayMs() const;
    BackOff &logonBackOff() { return mLogonBackOff; }
    Form2 *setupWindow() const { return mSetup; }
    // What the window shows, for the live page, and the tap that tells its
    // map of every stored beacon.
    LiveStatus &liveStatus() { return *mLiveStatus; }
    LiveRecorderTap &liveTap() { return *mLiveTap; }
    // Beacons stored from the packet journal since start, apart from the live ones.
    qint64 recovered() const;
    RecoveryCoordinator *recovery() const { return mRecovery.get(); }

public slots:
    void mUIV_NotifyBeaconData(BeaconRecordRef cStn);
    void mUIV_UIView32IsClosing();
    void TimerBeaconData_Timer();
    void menuFileExit_Click();
    void menuSetup_Click();
    void menuAbout_Click();

private:
    void buildControls();
    void loadConfig();
    void writeDefaultConfig();
    void registerWithHost();
    void checkClicked(int checkNumber);
    // One logon; a failure shows on the status line. The healer's reopening
    // uses this, with its own back-off.
    void logonOnce();
    void logonOrRetry();
    void retryLogon();
    // Runs a handler; a failure it does not trap ends the program.
    void guarded(const std::function<void()> &handler);

    // BeaconQueue::View
    void setBufferCaption(const QString &caption) override;
    void setStatusCaption(const QString &caption) override;
    void processBeacon(const BeaconRecordRef &beacon) override;
    void dispatchPendingMessages() override;
    // RecorderView
    int checkValue(int checkNumber) const override;
    void setLatestData(int textNumber, const QString &text) override;
    void setStatus(const QString &caption) override;
    // DatabaseLink::View
    void setStatus(const QString &caption, const QString &detail) override;
    void setLinkConnected(bool connected) override;

    Form1Options mOptions;
    std::unique_ptr<HostApplication> mUIV;
    BeaconQueue mQueue;
    DatabaseLink mLink;
    std::unique_ptr<LinkHealer> mHealer;
    std::unique_ptr<LiveStatus> mLiveStatus;
    std::unique_ptr<LiveRecorderTap> mLiveTap;
    std::unique_ptr<RecoveryCoordinator> mRecovery;
    std::unique_ptr<BeaconRecorder> mRecorder;
    std::unique_ptr<ServiceLog> mServiceLog;
    QString mDSN;
    QString mUsername;
    QString mPassword;
    QString mDatabase;
    bool mLoading = false;
    // True while settings are applied to the boxes: their changes are not
    // clicks and write nothing back.
    bool mApplyingSettings = false;
    QPointer<Form2> mSetup;

    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QCheckBox *Check3 = nullptr;
    QCheckBox *Check4 = nullptr;
    QCheckBox *Check5 = nullptr;
    QLabel *status = nullptr;
    QLabel *buffer = nullptr;
    QLabel *applicationDir = nullptr;
    QTimer *TimerBeaconData = nullptr;
    QTimer *mLogonRetry = nullptr;
    BackOff mLogonBackOff;
    FailureKind mLastLogonFailure = FailureKind::Never;
};
