#pragma once

#include "support/HeadlessChromium.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>

// HeadlessChromium's browser kept open on one page, driven over its DevTools
// socket on 127.0.0.1: the test asks the page's script what it shows while
// the page keeps polling the bridge.
class BrowserSession
{
public:
    ~BrowserSession()
    {
        mSocket.close();
        if (mBrowser.state() != QProcess::NotRunning) {
            mBrowser.kill();
            mBrowser.waitForFinished();
        }
    }

    // Empty on success, else why not.
    QString open(const QUrl &url)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
        mBrowser.setProcessEnvironment(environment);
        mBrowser.start(HeadlessChromium::program(),
            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                QStringLiteral("--disable-sync"), QStringLiteral("--no-first-run"),
                QStringLiteral("--remote-debugging-address=127.0.0.1"), QStringLiteral("--remote-debugging-port=0"),
                QStringLiteral("--remote-allow-origins=*"), QStringLiteral("--window-size=1200,900"),
                QStringLiteral("--user-data-dir=") + mProfile.path(), url.toString()});
        static const QRegularExpression listening(QStringLiteral("DevTools listening on ws://127.0.0.1:(\\d+)/"));
        QByteArray said;
        QElapsedTimer waited;
        waited.start();
        int port = 0;
        while (port == 0 && waited.elapsed() < 60'000) {
            if (!mBrowser.waitForReadyRead(1000) && mBrowser.state() == QProcess::NotRunning)
                return QStringLiteral("chromium ended: ") + QString::fromLocal8Bit(said);
            said += mBrowser.readAllStandardError();
            const QRegularExpressionMatch match = listening.match(QString::fromLocal8Bit(said));
            if (match.hasMatch())
                port = match.captured(1).toInt();
        }
        if (port == 0)
            return QStringLiteral("chromium named no DevTools port: ") + QString::fromLocal8Bit(said);

        // The page's own socket, from the list of targets.
        QString pageSocket;
        while (pageSocket.isEmpty() && waited.elapsed() < 60'000) {
            QNetworkAccessManager network;
            QNetworkReply *reply =
                network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(port))));
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
            for (const QJsonValue &target : QJsonDocument::fromJson(reply->readAll()).array()) {
                if (target[QStringLiteral("type")].toString() == QLatin1String("page"))
                    pageSocket = target[QStringLiteral("webSocketDebuggerUrl")].toString();
            }
            reply->deleteLater();
        }
        if (pageSocket.isEmpty())
            return QStringLiteral("chromium listed no page");
        QObject::connect(&mSocket, &QWebSocket::textMessageReceived, [this](const QString &text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.contains(QStringLiteral("id")))
                mReplies.insert(message[QStringLiteral("id")].toInt(), message);
        });
        QEventLoop loop;
        QObject::connect(&mSocket, &QWebSocket::connected, &loop, &QEventLoop::quit);
        QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
        mSocket.open(QUrl(pageSocket));
        loop.exec();
        if (mSocket.state() != QAbstractSocket::ConnectedState)
            return QStringLiteral("the page's DevTools socket did not open: ") + mSocket.errorString();
        return {};
    }

    // The value of a script expression in the page; undefined on failure.
    QJsonValue evaluate(const QString &expression)
    {
        const int id = ++mLastId;
        const QJsonObject call {{QStringLiteral("id"), id},
            {QStringLiteral("method"), QStringLiteral("Runtime.evaluate")},
            {QStringLiteral("params"),
                QJsonObject {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}}}};
        mSocket.sendTextMessage(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
        QElapsedTimer waited;
        waited.start();
        while (!mReplies.contains(id) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const QJsonObject reply = mReplies.take(id);
        return reply[QStringLiteral("result")][QStringLiteral("result")][QStringLiteral("value")];
    }

private:
    QTemporaryDir mProfile;
    QProcess mBrowser;
    QWebSocket mSocket;
    QHash<int, QJsonObject> mReplies;
    int mLastId = 0;
};
