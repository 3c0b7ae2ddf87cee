#pragma once

#include <QLoggingCategory>
#include <QMutex>
#include <QStringList>

#include <cstdio>

// Collects the program's own log lines (categories keldan.*) for one test
// instead of writing them to standard error; other messages go on as before.
// The host's thread logs too: the lists are guarded.
class LogCapture
{
public:
    LogCapture()
    {
        sCurrent = this;
        mPrevious = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(mPrevious);
        sCurrent = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The messages as written, without time, level or category.
    QStringList messages() const
    {
        QMutexLocker lock(&mLock);
        return mMessages;
    }
    // "level category: message", e.g. "warning keldan.db: ...".
    QStringList lines() const
    {
        QMutexLocker lock(&mLock);
        return mLines;
    }
    void clear()
    {
        QMutexLocker lock(&mLock);
        mMessages.clear();
        mLines.clear();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (!sCurrent || !context.category || qstrncmp(context.category, "keldan.", 7) != 0) {
            if (sCurrent && sCurrent->mPrevious)
                sCurrent->mPrevious(type, context, message);
            else
                std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
            return;
        }
        static const char *const words[] = {"debug", "warning", "error", "fatal", "info"};
        QMutexLocker lock(&sCurrent->mLock);
        sCurrent->mMessages.append(message);
        sCurrent->mLines.append(
            QStringLiteral("%1 %2: %3").arg(QLatin1String(words[int(type)]), QLatin1String(context.category), message));
    }

    static inline LogCapture *sCurrent = nullptr;
    QtMessageHandler mPrevious = nullptr;
    mutable QMutex mLock;
    QStringList mMessages;
    QStringList mLines;
};
