#include "app/LogOutput.h"

#include <QStringList>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sJournal = false;

struct Level {
    int priority;
    const char *word;
};

// Syslog priorities, as sd-daemon(3) lists them.
Level levelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return {7, "debug"};
    case QtInfoMsg:
        return {6, "info"};
    case QtWarningMsg:
        return {4, "warning"};
    case QtCriticalMsg:
        return {3, "error"};
    case QtFatalMsg:
        return {2, "fatal"};
    }
    return {6, "info"};
}

void writeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray text = LogOutput::format(
        type, context.category, message, sJournal, sJournal ? QDateTime() : QDateTime::currentDateTime());
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

}  // namespace

void LogOutput::install()
{
    sJournal = stderrIsJournal();
    qInstallMessageHandler(writeMessage);
}

bool LogOutput::stderrIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    if (colon <= 0)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = stream.left(colon).toULongLong(&deviceOk);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&inodeOk);
    struct stat info = {};
    if (!deviceOk || !inodeOk || fstat(STDERR_FILENO, &info) != 0)
        return false;
    return qulonglong(info.st_dev) == device && qulonglong(info.st_ino) == inode;
}

QByteArray LogOutput::format(
    QtMsgType type, const char *category, const QString &message, bool journal, const QDateTime &now)
{
    const Level level = levelOf(type);
    QByteArray lead;
    if (journal)
        lead = '<' + QByteArray::number(level.priority) + '>';
    else
        lead = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8() + ' ';
    lead += level.word;
    lead += ' ';
    lead += category ? category : "default";
    lead += ": ";
    QByteArray out;
    // Drivers end some diagnostics with a newline of their own.
    qsizetype length = message.size();
    while (length > 0 && message.at(length - 1).isSpace())
        --length;
    const QStringList lines = message.left(length).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Continuation lines keep the priority and are indented below the first.
        if (i == 0)
            out += lead;
        else if (journal)
            out += '<' + QByteArray::number(level.priority) + ">    ";
        else
            out += "    ";
        out += lines.at(i).toUtf8();
        out += '\n';
    }
    return out;
}
