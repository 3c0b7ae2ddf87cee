// keldan-import: stores the beacons of old logs as the bridge would have
// stored them live. See "Importing old logs" in the README.
#include "import/ImportCommand.h"

#include <QCoreApplication>

#include <csignal>
#include <unistd.h>

namespace {

std::atomic_bool stopRequested = false;

extern "C" void requestStop(int)
{
    stopRequested = true;
}

}  // namespace

int main(int argc, char *argv[])
{
    // Without TZ, the C library looks at /etc/localtime again for every local
    // time it converts, two file system calls per line; the zone is the same.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::signal(SIGHUP, requestStop);

    ImportCommand command;
    command.progressStream = stderr;
    command.progressOnTerminal = ::isatty(STDERR_FILENO) == 1;
    command.stop = &stopRequested;
    QTextStream out(stdout);
    QTextStream err(stderr);
    return command.run(QCoreApplication::arguments(), out, err);
}
