#include "linuxhost/feeds/SerialKissSource.h"

#include "host/LogCategories.h"

SerialKissSource::SerialKissSource(QString device, qint32 baudRate, QObject *parent)
    : PacketSource(parent), mDevice(std::move(device)), mBaudRate(baudRate > 0 ? baudRate : DefaultBaudRate)
{
    mRetryTimer.setSingleShot(true);
    connect(&mRetryTimer, &QTimer::timeout, this, &SerialKissSource::openNow);
    connect(&mPort, &QSerialPort::readyRead, this, &SerialKissSource::onReadyRead);
    connect(&mPort, &QSerialPort::errorOccurred, this, &SerialKissSource::onError);
}

SerialKissSource::~SerialKissSource()
{
    mRunning = false;
    mPort.disconnect(this);
    mPort.close();
}

QString SerialKissSource::describe() const
{
    return QStringLiteral("SERIAL %1@%2").arg(mDevice).arg(mBaudRate);
}

void SerialKissSource::start()
{
    if (mRunning)
        return;
    mRunning = true;
    mBackoff.reset();
    openNow();
}

void SerialKissSource::stop()
{
    mRunning = false;
    mRetryTimer.stop();
    mPort.close();
    mReader.reset();
}

void SerialKissSource::openNow()
{
    if (!mRunning || mPort.isOpen())
        return;
    mReader.reset();
    // A path works as the port name: /dev/ttyUSB0, or a link such as /tmp/kisstnc.
    mPort.setPortName(mDevice);
    mPort.setBaudRate(mBaudRate);
    mPort.setDataBits(QSerialPort::Data8);
    mPort.setParity(QSerialPort::NoParity);
    mPort.setStopBits(QSerialPort::OneStop);
    mPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!mPort.open(QIODevice::ReadOnly)) {
        retryLater(QStringLiteral("cannot be opened (%1)").arg(mPort.errorString()));
        return;
    }
    mOpenSince.start();
    mTroubleReported = false;
    qCInfo(lcFeed).noquote() << describe() + QStringLiteral(" opened");
    emit opened();
    // Bytes that came before the notifier was set up.
    onReadyRead();
}

void SerialKissSource::onReadyRead()
{
    while (mRunning && mPort.isOpen() && mPort.bytesAvailable() > 0) {
        const QByteArray bytes = mPort.readAll();
        if (bytes.isEmpty())
            break;
        for (const KissReader::Line &line : mReader.read(bytes)) {
            // A line that delivers a whole packet is a good one.
            mBackoff.reset();
            emit packetReceived(line.text, line.radioPort);
            if (!mRunning)
                return;
        }
    }
}

void SerialKissSource::onError(QSerialPort::SerialPortError error)
{
    // Errors while opening are openNow's to report; a timeout is no error here.
    if (!mRunning || !mPort.isOpen() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    if (mOpenSince.elapsed() >= toMs(PacketSource::GoodLinkSeconds))
        mBackoff.reset();
    retryLater(QStringLiteral("lost (%1)").arg(mPort.errorString()));
}

void SerialKissSource::retryLater(const QString &what)
{
    mPort.close();
    mPort.clearError();
    const int delaySeconds = mBackoff.takeDelaySeconds();
    mLastRetryDelaySeconds = delaySeconds;
    if (!mTroubleReported) {
        mTroubleReported = true;
        qCWarning(lcFeed).noquote() << describe() + QLatin1Char(' ') + what
                + QStringLiteral(", trying again until it opens");
    }
    mRetryTimer.start(toMs(delaySeconds));
}
