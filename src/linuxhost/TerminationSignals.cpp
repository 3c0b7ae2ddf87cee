#include "linuxhost/TerminationSignals.h"

#include "host/LogCategories.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int HandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

int sPair[2] = {-1, -1};
volatile sig_atomic_t sPending = 0;
struct sigaction sPrevious[3];
bool sInstalled = false;

extern "C" void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    if (sPending) {
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
        errno = savedErrno;
        return;
    }
    sPending = 1;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = write(sPair[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (sInstalled)
        return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sPair) != 0) {
        qCWarning(lcHost).noquote() << QStringLiteral("Signals: no socket pair (%1), SIGTERM ends the program without "
                                                      "notice")
                                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    sPending = 0;
    mNotifier = std::make_unique<QSocketNotifier>(sPair[0], QSocketNotifier::Read);
    connect(mNotifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(HandledSignals[i], &action, &sPrevious[i]);
    sInstalled = true;
    mActive = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!mActive)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(HandledSignals[i], &sPrevious[i], nullptr);
    mNotifier.reset();
    close(sPair[0]);
    close(sPair[1]);
    sPair[0] = sPair[1] = -1;
    sInstalled = false;
}

void TerminationSignals::drain()
{
    unsigned char bytes[16];
    int last = 0;
    ssize_t got = 0;
    while ((got = read(sPair[0], bytes, sizeof bytes)) > 0)
        last = bytes[got - 1];
    if (last != 0)
        emit received(last);
}
