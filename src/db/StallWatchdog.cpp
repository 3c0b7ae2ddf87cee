#include "db/StallWatchdog.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

StallWatchdog::StallWatchdog(int socket, std::chrono::milliseconds limit)
    : mSocket(socket), mLimit(limit), mThread([this] { run(); })
{ }

StallWatchdog::~StallWatchdog()
{
    {
        std::lock_guard lock(mMutex);
        mStopping = true;
    }
    mChanged.notify_one();
    mThread.join();
}

StallWatchdog::Watch::Watch(StallWatchdog *watchdog) : mWatchdog(watchdog)
{
    if (mWatchdog)
        mWatchdog->arm();
}

StallWatchdog::Watch::~Watch()
{
    if (mWatchdog)
        mWatchdog->disarm();
}

void StallWatchdog::arm()
{
    {
        std::lock_guard lock(mMutex);
        mArmed = true;
        mDeadline = std::chrono::steady_clock::now() + mLimit;
    }
    mChanged.notify_one();
}

void StallWatchdog::disarm()
{
    std::lock_guard lock(mMutex);
    mArmed = false;
}

void StallWatchdog::run()
{
    std::unique_lock lock(mMutex);
    while (!mStopping) {
        if (!mArmed) {
            mChanged.wait(lock);
            continue;
        }
        const auto deadline = mDeadline;
        if (mChanged.wait_until(lock, deadline) == std::cv_status::timeout && mArmed && mDeadline == deadline) {
            // Shut down, not closed: the descriptor stays the driver's, so no
            // other file can take its number while the driver still uses it.
            ::shutdown(mSocket, SHUT_RDWR);
            mArmed = false;
        }
    }
}

int StallWatchdog::findSocket(int clientPort, int serverPort)
{
    DIR *folder = opendir("/proc/self/fd");
    if (!folder)
        return -1;
    int found = -1;
    while (const dirent *entry = readdir(folder)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        sockaddr_storage local {};
        sockaddr_storage peer {};
        socklen_t localSize = sizeof(local);
        socklen_t peerSize = sizeof(peer);
        if (getsockname(int(fd), reinterpret_cast<sockaddr *>(&local), &localSize) != 0
            || getpeername(int(fd), reinterpret_cast<sockaddr *>(&peer), &peerSize) != 0)
            continue;
        auto port = [](const sockaddr_storage &address) -> int {
            if (address.ss_family == AF_INET)
                return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
            if (address.ss_family == AF_INET6)
                return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
            return -1;
        };
        if (port(local) == clientPort && port(peer) == serverPort) {
            found = int(fd);
            break;
        }
    }
    closedir(folder);
    return found;
}
