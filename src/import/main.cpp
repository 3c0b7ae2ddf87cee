// keldan-import: stores the beacons of old logs as the bridge would have
// stored them live. See "Importing old logs" in the README.
#include "import/ImportCommand.h"

#include <QCoreApplication>

#include <csignal>
#include <unistd.h>

namespace {

// The signal that asks to stop, or 0.
std::atomic_int stopRequested = 0;

extern "C" void requestStop(int signal)
{
    stopRequested = signal;
}

}  // namespace

int main(int argc, char *argv[])
{
    // Without TZ, the C library looks at /etc/localtime again for every local
    // time it converts, two file system calls per line; the zone is the same.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    // Without SA_RESTART: a signal also ends a read that waits on a pipe.
    struct sigaction action {
    };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    ImportCommand command;
    command.progressStream = stderr;
    command.progressOnTerminal = ::isatty(STDERR_FILENO) == 1;
    command.stop = &stopRequested;
    QTextStream out(stdout);
    QTextStream err(stderr);
    return command.run(QCoreApplication::arguments(), out, err);
}
