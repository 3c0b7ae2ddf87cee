#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// Debian's Chromium without a window, as root and offline: each call is a
// fresh browser with a fresh profile that loads one page and quits. What the
// page's console said (script errors included) comes back in log.
class HeadlessChromium
{
public:
    static QString program() { return QStringLiteral("/usr/bin/chromium"); }
    static bool available() { return QFileInfo(program()).isExecutable(); }

    QString log;
    QString failure;  // empty when the browser ran and exited 0

    // The DOM once the page's scripts have run, as HTML text.
    QByteArray dumpDom(const QUrl &url) { return run({QStringLiteral("--dump-dom"), url.toString()}); }

    // What a window of the given size shows, scroll bars hidden.
    QImage screenshot(const QUrl &url, int width, int height)
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("page.png"));
        run({QStringLiteral("--hide-scrollbars"), QStringLiteral("--window-size=%1,%2").arg(width).arg(height),
            QStringLiteral("--screenshot=") + file, url.toString()});
        return QImage(file);
    }

private:
    QByteArray run(const QStringList &arguments)
    {
        QTemporaryDir profile;
        QProcess browser;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
        browser.setProcessEnvironment(environment);
        browser.start(program(),
            QStringList {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                QStringLiteral("--disable-sync"), QStringLiteral("--no-first-run"),
                QStringLiteral("--enable-logging=stderr"), QStringLiteral("--v=0"),
                QStringLiteral("--user-data-dir=") + profile.path()}
                + arguments);
        failure.clear();
        if (!browser.waitForFinished(180'000)) {
            browser.kill();
            browser.waitForFinished();
            failure = QStringLiteral("chromium did not finish in 180 s");
        }
        log = QString::fromLocal8Bit(browser.readAllStandardError());
        if (failure.isEmpty() && (browser.exitStatus() != QProcess::NormalExit || browser.exitCode() != 0))
            failure = QStringLiteral("chromium failed (%1): %2").arg(browser.exitCode()).arg(log.right(2000));
        return browser.readAllStandardOutput();
    }
};
